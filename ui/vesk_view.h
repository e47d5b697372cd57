// The log view: owns the monitoring session (the process's channel, the log, the automatic
// replies) and the transmit dialog, and handles the CAN menu's commands.
//
// The session ends its channel before anything the channel's callback touches goes; the
// transmit dialog and the log table, which use the session, go before it.
//
// Command handlers live in two files: vesk_view.cpp holds the ones without a dialog and every
// enable rule; vesk_view_commands.cpp holds the ones that run a dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/docview.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "ui/send_dlg.h"

#include "channel/can_channel.h"
#include "monitor/monitor_session.h"

class CLogListCtrl;
class COverviewWindow;
class CPlotWindow;
class CSignalDetail;
class CFindBar;
class CSignalSendDlg;
class wxFrame;

class CVeskView : public wxView {
    // First, so that it is made before and ended after everything that refers into it.
    MonitorSession m_session;

  public:
    CVeskView();
    ~CVeskView() override;

    // --- State shared with the commands, their dialogs and the status bar ---------------------
    // The session owns the channel and everything its callback touches, and keeps its own rules:
    // the view changes it only through its operations. The names below are the view's own for
    // what the session holds, read-only.
    MonitorSession& Session() { return m_session; }
    const MonitorSession& Session() const { return m_session; }
    LogModel& m_log = m_session.Log();
    AutoReplies& m_replies = m_session.Replies();
    const FilterValues& m_filters = m_session.Filters();
    const int& m_nBaudrate = m_session.Baudrate();                // bit/s, applied at every open
    const int& m_bShowData = m_session.ShowData();                // event delivery on
    const int& m_bExtendedDisplay = m_session.ExtendedDisplay();  // frame-format reporting on
    CanChannel* const m_channel = m_session.Channel();
    // Hidden until "Botschaften senden". A child of the list window that the view destroys
    // before the list; the reference empties itself should the window go first.
    wxWeakRef<CSendDlg> m_dlgSend;
    // "Datenbank-Botschaft senden", made at its first command; null before.
    CSignalSendDlg* GetSignalSendDlg() const;

    // The log table, also the parent of every dialog of the view. Null before OnCreate.
    CLogListCtrl* GetList() const;
    wxWindow* GetListWindow() const;
    // --- CAN databases -------------------------------------------------------------------------
    // Loads the files (a box names each that cannot be read, the others load) and shows the
    // signal detail under the log and the overview while any is loaded.
    void LoadDatabases(const std::vector<std::string>& paths);
    // The databases of the last run (a box names those that are gone) and then `paths`.
    void RestoreDatabases(const std::vector<std::string>& paths);
    void ClearDatabases();
    CSignalDetail* GetSignalDetail() const;
    // Shows the signals of the frame selected in the list that is shown.
    void UpdateSignalDetail();

    // The overview by identifier, shown instead of the log while "Übersicht nach ID" is checked.
    COverviewWindow* GetOverview() const;
    bool IsOverviewShown() const { return m_bShowOverview; }
    void ShowOverview(bool show);

    // "Anzeige anhalten": the log and the overview stay as they are on screen while delivery,
    // recording, replies, the overview's counts and both bus loads go on; let go, the newest
    // rows come into view at the top.
    bool IsHeld() const { return m_bHold; }
    void Hold(bool hold);

    // The bar over the log and the overview: identifier filter and text search.
    CFindBar* GetFindBar() const { return m_findBar; }
    void ShowFindBar(bool show);
    // Selects the next row of the list shown whose cells contain `text`; the status line says
    // what was found.
    void FindNext(const wxString& text);
    // The bar's count of the rows its filter hides in the list shown.
    void ShowHiddenRows();
    // --- Signals over time (vesk_view_plot.cpp) -----------------------------------------------
    // The live "Signalverlauf" window, opened or brought to the front.
    CPlotWindow* ShowPlot();
    // A trace's signals in a window of their own; null when it could not be read or was cancelled
    // (a box says why).
    CPlotWindow* PlotTrace(const std::string& path, bool showProgress = true);
    void OnViewPlot(wxCommandEvent& event);
    void OnPlotTrace(wxCommandEvent& event);
    // Both need a database.
    void OnUpdatePlot(wxUpdateUIEvent& event);

    // --- wxView --------------------------------------------------------------------------------
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC* dc) override;  // draws nothing: a printed page stays empty
    void OnChangeFilename() override;

    // --- Commands (vesk_view_commands.cpp) -----------------------------------------------------
    void OnCanOpen(wxCommandEvent& event);
    void OnBaudrate(wxCommandEvent& event);
    void OnHwAcceptance(wxCommandEvent& event);
    void OnSoftAcceptance(wxCommandEvent& event);
    void OnAutoReplies(wxCommandEvent& event);
    void OnSendMessages(wxCommandEvent& event);
    void OnSendDbMessage(wxCommandEvent& event);
    void OnRecordStart(wxCommandEvent& event);
    // Starts recording into `path`; a file that cannot be written is reported. True when it runs.
    bool StartRecording(const std::string& path);
    void OnPlayStart(wxCommandEvent& event);
    // Sends the trace file `path` onto the bus through the open channel; a file that cannot be
    // read is reported. True when the play runs.
    bool StartPlaying(const std::string& path);
    // The open sequence after the device was chosen: open, then hardware filter, software
    // filter, baud rate, event delivery; failures reported to the operator. True when open.
    bool OpenChannel(int device, int mode, int format);

    // --- Commands (vesk_view.cpp) --------------------------------------------------------------
    void OnCanClose(wxCommandEvent& event);
    void OnResetTime(wxCommandEvent& event);
    void OnShowData(wxCommandEvent& event);
    void OnStandby(wxCommandEvent& event);
    void OnClearOverrun(wxCommandEvent& event);
    void OnAbortTransmission(wxCommandEvent& event);
    void OnExtendedDisplay(wxCommandEvent& event);
    void OnClearScreen(wxCommandEvent& event);
    void OnRecordStop(wxCommandEvent& event);
    void OnViewOverview(wxCommandEvent& event);
    void OnViewHold(wxCommandEvent& event);
    void OnDbLoad(wxCommandEvent& event);
    void OnDbClear(wxCommandEvent& event);
    void OnUpdateDbClear(wxUpdateUIEvent& event);
    void OnUpdateSendDbMessage(wxUpdateUIEvent& event);
    // Copies the selected rows of the view that is shown, tab-separated.
    void OnCopy(wxCommandEvent& event);
    void OnPlayStop(wxCommandEvent& event);

    void OnUpdateChannelOpen(wxUpdateUIEvent& event);
    void OnUpdateShowData(wxUpdateUIEvent& event);
    void OnUpdateExtendedDisplay(wxUpdateUIEvent& event);
    void OnUpdateRecordStop(wxUpdateUIEvent& event);
    void OnUpdatePlayStop(wxUpdateUIEvent& event);
    void OnUpdateViewOverview(wxUpdateUIEvent& event);
    void OnUpdateViewHold(wxUpdateUIEvent& event);
    void OnViewFind(wxCommandEvent& event);
    void OnUpdateViewFind(wxUpdateUIEvent& event);
    void OnViewFindNext(wxCommandEvent& event);
    void OnUpdateCopy(wxUpdateUIEvent& event);

    // --- The log table's feed ------------------------------------------------------------------
    // Starts the drain timer when rows can arrive (the channel is open or rows are waiting); the
    // frame calls it on every idle pass, so an open by any command is noticed at once.
    void WatchForRows();
    // Takes the waiting rows into the table now; returns how many.
    std::size_t DrainRows();
    bool IsDraining() const { return m_drainTimer.IsRunning(); }
    // One tick of the drain timer: shows the waiting rows, and stops the timer once no more rows
    // can come.
    void DrainTick();

    static constexpr int kDrainIntervalMs = 50;

  private:
    void OnDrainTimer(wxTimerEvent& event);
    void LoadSettings();

    wxWeakRef<CLogListCtrl> m_list;
    wxWeakRef<COverviewWindow> m_overview;
    wxWeakRef<CSignalDetail> m_signals;
    wxWeakRef<CFindBar> m_findBar;
    wxWeakRef<CSignalSendDlg> m_dlgSignalSend;
    wxWeakRef<CPlotWindow> m_plot;
    void ShowDatabaseState();
    bool m_bShowOverview = false;
    bool m_bHold = false;
    wxFrame* m_frame = nullptr;
    wxTimer m_drainTimer;

    wxDECLARE_DYNAMIC_CLASS(CVeskView);
    wxDECLARE_EVENT_TABLE();
};
