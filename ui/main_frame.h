// The main window: menu, accelerators, tool bar, the five status bar panes, and the log view's
// window as its client area.
#pragma once

#include <array>
#include <chrono>

#include <wx/docview.h>
#include <wx/string.h>

class CVeskView;
class MonitorSession;
class wxDocManager;

class CMainFrame : public wxDocParentFrame {
  public:
    // The five panes every run has; while a recording or a play runs a sixth (kPaneRecording)
    // follows them with the file's name and the events written, or how many frames were sent.
    enum Pane { kPaneMessage, kPaneHwFilter, kPaneSoftFilter, kPaneBusLoad, kPaneNumLock, kPanes };
    static constexpr int kPaneRecording = kPanes;

    CMainFrame(wxDocManager* manager, const wxString& title);

    // The view whose channel and filters the panes show; null before it exists.
    CVeskView* GetView() const;

    // The pane texts, set on idle but only when they changed (a status bar redraws on every set).
    void OnUpdateHwFilter();
    void OnUpdateSoftFilter();
    void OnUpdateBusLoad();
    void OnUpdateNumLock();
    // Shows or removes the sixth pane; reports a recording that a write error ended and a play
    // that has ended.
    void OnUpdateRecording();
    void UpdatePanes();

  private:
    void CreateMenuBar();
    void CreateAccelerators();
    void CreateToolBarButtons();
    void CreateStatusPanes();
    void SetPaneText(Pane pane, const wxString& text);
    void ReportPlayEnd(MonitorSession& session);

    void OnIdle(wxIdleEvent& event);
    void OnViewToolBar(wxCommandEvent& event);
    void OnViewStatusBar(wxCommandEvent& event);
    void OnUpdateViewToolBar(wxUpdateUIEvent& event);
    void OnUpdateViewStatusBar(wxUpdateUIEvent& event);
    void OnUpdateNoHandler(wxUpdateUIEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnDropFiles(wxDropFilesEvent& event);

  public:
    // Opens each dropped file as the open command would; the view's window forwards its drops.
    void OpenDroppedFiles(const wxDropFilesEvent& event);

  private:
    std::array<wxString, kPanes> m_paneTexts;
    std::array<int, kPanes> m_paneWidths{};
    int m_gripWidth = 0;
    wxString m_recordingText;
    std::size_t m_recordingPaneChars = 0;
    static constexpr int kRecordingPaneMs = 500;
    std::chrono::steady_clock::time_point m_recordingShownAt{};
    static constexpr int kNumLockPollMs = 200;
    std::chrono::steady_clock::time_point m_numLockCheckedAt{};

    wxDECLARE_EVENT_TABLE();
};
