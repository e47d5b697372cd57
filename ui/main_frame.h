// The main window: menu, accelerators, tool bar, the five status bar panes, and the log view's
// window as its client area.
#pragma once

#include <array>
#include <chrono>
#include <vector>

#include <wx/docview.h>
#include <wx/string.h>

#include "ui/help_book.h"

class CVeskView;
class MonitorSession;
class wxDocManager;

class CMainFrame : public wxDocParentFrame {
  public:
    // The five panes of the design, then the channel's state (bit rate, mode, format, replies),
    // always; while the view is held, a recording or a play runs, one more (kPaneRecording)
    // says so with the file's name and the events written, or how many frames were sent.
    enum Pane { kPaneMessage, kPaneHwFilter, kPaneSoftFilter, kPaneBusLoad, kPaneNumLock, kPanes };
    static constexpr int kPaneChannel = kPanes;
    static constexpr int kPaneRecording = kPanes + 1;

    CMainFrame(wxDocManager* manager, const wxString& title);

    // The view whose channel and filters the panes show; null before it exists.
    CVeskView* GetView() const;

    // The pane texts, set on idle but only when they changed (a status bar redraws on every set).
    void OnUpdateHwFilter();
    void OnUpdateSoftFilter();
    void OnUpdateBusLoad();
    void OnUpdateNumLock();
    // Shows the channel's pane, and shows or removes the one after it; reports a recording that
    // a write error ended and a play that has ended.
    void OnUpdateRecording();
    void UpdatePanes();

    // The width at which the status bar shows the prompt and an open channel's state whole.
    int StatusBarWidth() const { return m_statusBarWidth; }

    // The program's help; its viewer opens on F1, Shift+F1, the help tool and the menu "?".
    CHelpBook& Help() { return m_help; }

  private:
    void CreateMenuBar();
    void CreateAccelerators();
    void CreateToolBarButtons();
    void CreateStatusPanes();
    void SetPaneText(Pane pane, const wxString& text);
    // The widths of the channel's pane and the activity pane (0: none): as their texts need,
    // but leaving the message pane room for its prompt (and at least a third of what the
    // fixed panes leave).
    void LayOutStatePanes(int channelWidth, int activityWidth);
    void OnStatusBarMotion(wxMouseEvent& event);
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
    wxString m_channelText;
    std::size_t m_recordingPaneChars = 0;
    int m_recordingPaneWidth = 0;
    int m_channelPaneWidth = 0;
    int m_paneMargin = 0;
    int m_promptWidth = 0;
    int m_statusBarWidth = 0;
    std::vector<int> m_appliedWidths;
    int m_tipPane = -1;
    static constexpr int kRecordingPaneMs = 500;
    std::chrono::steady_clock::time_point m_recordingShownAt{};
    static constexpr int kNumLockPollMs = 200;
    std::chrono::steady_clock::time_point m_numLockCheckedAt{};
    CHelpBook m_help;

    wxDECLARE_EVENT_TABLE();
};
