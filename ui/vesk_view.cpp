#include "ui/vesk_view.h"

#include <algorithm>

#include <wx/clipbrd.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "can/frame_records.h"
#include "can/record_class.h"
#include "devices/device_mapping.h"
#include "log/log_row.h"
#include "monitor/frame_signals.h"
#include "platform/message_box.h"
#include "ui/command_ids.h"
#include "ui/doc_manager.h"
#include "ui/find_bar.h"
#include "ui/log_list_ctrl.h"
#include "ui/main_frame.h"
#include "ui/overview_window.h"
#include "ui/plot_window.h"
#include "ui/signal_detail.h"
#include "ui/signal_send_dlg.h"
#include "ui/utf8_text.h"

wxIMPLEMENT_DYNAMIC_CLASS(CVeskView, wxView);

// clang-format off
wxBEGIN_EVENT_TABLE(CVeskView, wxView)
    EVT_MENU(ID_CAN_OPEN, CVeskView::OnCanOpen)
    EVT_MENU(ID_CAN_CLOSE, CVeskView::OnCanClose)
    EVT_MENU(ID_CAN_BAUDRATE, CVeskView::OnBaudrate)
    EVT_MENU(ID_CAN_HW_FILTER, CVeskView::OnHwAcceptance)
    EVT_MENU(ID_CAN_SOFT_FILTER, CVeskView::OnSoftAcceptance)
    EVT_MENU(ID_CAN_AUTO_REPLIES, CVeskView::OnAutoReplies)
    EVT_MENU(ID_CAN_SEND, CVeskView::OnSendMessages)
    EVT_MENU(ID_CAN_SEND_DB, CVeskView::OnSendDbMessage)
    EVT_UPDATE_UI(ID_CAN_SEND_DB, CVeskView::OnUpdateSendDbMessage)
    EVT_MENU(ID_CAN_RESET_TIME, CVeskView::OnResetTime)
    EVT_MENU(ID_CAN_SHOW_DATA, CVeskView::OnShowData)
    EVT_MENU(ID_CAN_STANDBY, CVeskView::OnStandby)
    EVT_MENU(ID_CAN_CLEAR_OVERRUN, CVeskView::OnClearOverrun)
    EVT_MENU(ID_CAN_ABORT_TX, CVeskView::OnAbortTransmission)
    EVT_MENU(ID_CAN_EXTENDED_DISPLAY, CVeskView::OnExtendedDisplay)
    EVT_MENU(ID_VIEW_CLEAR_SCREEN, CVeskView::OnClearScreen)
    EVT_MENU(ID_RECORD_START, CVeskView::OnRecordStart)
    EVT_MENU(ID_RECORD_STOP, CVeskView::OnRecordStop)
    EVT_UPDATE_UI(ID_RECORD_STOP, CVeskView::OnUpdateRecordStop)
    EVT_MENU(ID_VIEW_OVERVIEW, CVeskView::OnViewOverview)
    EVT_UPDATE_UI(ID_VIEW_OVERVIEW, CVeskView::OnUpdateViewOverview)
    EVT_MENU(ID_VIEW_HOLD, CVeskView::OnViewHold)
    EVT_UPDATE_UI(ID_VIEW_HOLD, CVeskView::OnUpdateViewHold)
    EVT_MENU(ID_VIEW_FIND, CVeskView::OnViewFind)
    EVT_UPDATE_UI(ID_VIEW_FIND, CVeskView::OnUpdateViewFind)
    EVT_MENU(ID_VIEW_FIND_NEXT, CVeskView::OnViewFindNext)
    EVT_MENU(ID_DB_LOAD, CVeskView::OnDbLoad)
    EVT_MENU(ID_DB_CLEAR, CVeskView::OnDbClear)
    EVT_UPDATE_UI(ID_DB_CLEAR, CVeskView::OnUpdateDbClear)
    EVT_MENU(wxID_COPY, CVeskView::OnCopy)
    EVT_UPDATE_UI(wxID_COPY, CVeskView::OnUpdateCopy)
    EVT_MENU(ID_PLAY_START, CVeskView::OnPlayStart)
    EVT_MENU(ID_PLAY_STOP, CVeskView::OnPlayStop)
    EVT_UPDATE_UI(ID_PLAY_START, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_PLAY_STOP, CVeskView::OnUpdatePlayStop)
    EVT_MENU(ID_VIEW_PLOT, CVeskView::OnViewPlot)
    EVT_MENU(ID_PLOT_TRACE, CVeskView::OnPlotTrace)
    EVT_UPDATE_UI(ID_VIEW_PLOT, CVeskView::OnUpdatePlot)
    EVT_UPDATE_UI(ID_PLOT_TRACE, CVeskView::OnUpdatePlot)
    EVT_UPDATE_UI(ID_CAN_CLOSE, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_BAUDRATE, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_HW_FILTER, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_SOFT_FILTER, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_RESET_TIME, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_STANDBY, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_CLEAR_OVERRUN, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_ABORT_TX, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_CAN_SHOW_DATA, CVeskView::OnUpdateShowData)
    EVT_UPDATE_UI(ID_CAN_EXTENDED_DISPLAY, CVeskView::OnUpdateExtendedDisplay)
    EVT_TIMER(wxID_ANY, CVeskView::OnDrainTimer)
wxEND_EVENT_TABLE()
    // clang-format on

    CVeskView::CVeskView()
    : m_drainTimer(this) {}

CVeskView::~CVeskView() {
    // The receive thread, the cyclic jobs and a play end here, while everything they use still
    // exists.
    m_session.Close();
    m_drainTimer.Stop();
    if (m_plot) {
        m_plot->DetachSession();
        m_plot->Destroy();
    }
    if (m_dlgSend)
        delete m_dlgSend.get();
    if (m_dlgSignalSend)
        delete m_dlgSignalSend.get();
    if (m_signals)
        m_signals->Destroy();
    if (m_overview)
        m_overview->Destroy();
    if (m_list)
        m_list->Destroy();
}

CLogListCtrl* CVeskView::GetList() const {
    return m_list.get();
}

wxWindow* CVeskView::GetListWindow() const {
    return m_list.get();
}

COverviewWindow* CVeskView::GetOverview() const {
    return m_overview.get();
}

bool CVeskView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags))
        return false;
    auto* manager = wxDynamicCast(doc->GetDocumentManager(), CVeskDocManager);
    m_frame = manager ? manager->GetMainFrame() : nullptr;
    if (!m_frame)
        return false;
    SetFrame(m_frame);

    auto* list = new CLogListCtrl(m_frame, m_log);
    m_list = list;
    // The window starts wide enough for all eight columns and the status bar's texts, as far as
    // the screen allows.
    if (!m_frame->IsShown()) {
        const auto* frame = dynamic_cast<const CMainFrame*>(m_frame);
        const int wanted =
            std::max(list->ColumnsWidth() + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, list),
                     frame ? frame->StatusBarWidth() : 0);
        const int screen = wxDisplay(m_frame).GetClientArea().width;
        const wxSize client = m_frame->GetClientSize();
        if (client.x < wanted)
            m_frame->SetClientSize(std::min(wanted, screen - 20), client.y);
    }
    // The log and the overview share the client area; one of them is shown.
    auto* overview = new COverviewWindow(m_frame, m_session);
    m_overview = overview;
    overview->Hide();
    // The signals of the selected frame, under either, while a database is loaded.
    auto* signals = new CSignalDetail(m_frame);
    m_signals = signals;
    signals->Hide();
    signals->onPlot = [this](const std::string& message, const std::string& signal) {
        ShowPlot()->ChooseSignal(message, signal, true);
    };
    // A selection changes what "Kopieren" offers: the tool bar is asked at once, since on a quiet
    // bus no later idle pass may come within the tool bar's update interval.
    const auto selectionChanged = [this](wxListEvent& e) {
        e.Skip();
        UpdateSignalDetail();
        if (wxToolBar* bar = m_frame->GetToolBar())
            bar->UpdateWindowUI();
    };
    for (wxListCtrl* l :
         {static_cast<wxListCtrl*>(list), static_cast<wxListCtrl*>(overview->List())}) {
        l->Bind(wxEVT_LIST_ITEM_SELECTED, selectionChanged);
        l->Bind(wxEVT_LIST_ITEM_DESELECTED, selectionChanged);
        // The space bar holds and lets go of the view, as the Pause key does.
        l->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
            if (e.GetKeyCode() == WXK_SPACE && e.GetModifiers() == wxMOD_NONE)
                Hold(!m_bHold);
            else
                e.Skip();
        });
    }
    auto* findBar = new CFindBar(
        m_frame,
        [this](const IdFilter& filter) {
            m_list->SetIdFilter(filter);
            m_overview->SetIdFilter(filter);
            ShowHiddenRows();
            UpdateSignalDetail();
        },
        [this](const wxString& text) { FindNext(text); });
    m_findBar = findBar;
    findBar->Hide();
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(findBar, 0, wxEXPAND | wxTOP | wxBOTTOM, 2);
    sizer->Add(list, 1, wxEXPAND);
    sizer->Add(overview, 1, wxEXPAND);
    sizer->Add(signals, 0, wxEXPAND);
    m_frame->SetSizer(sizer);
    m_frame->SendSizeEvent();

    // The transmit dialog stays hidden until its command shows it; should its window fail, that
    // command finds no dialog and says so.
    auto* send = new CSendDlg();
    if (send->Create(list, m_channel)) {
        m_dlgSend = send;
    } else {
        delete send;
    }

    LoadSettings();
    Activate(true);
    return true;
}

void CVeskView::LoadSettings() {
    m_session.LoadSettings();
    // A recording started before any open names the first adapter.
    m_session.SetAdapterName(AdapterName(0));
}

void CVeskView::OnDraw(wxDC*) {}

void CVeskView::OnChangeFilename() {
    if (!m_frame || !GetDocument())
        return;
    m_frame->SetTitle(GetDocument()->GetUserReadableName() + U8(" - vesk"));
}

// --- Commands without a dialog ---------------------------------------------------------------

void CVeskView::OnCanClose(wxCommandEvent&) {
    m_session.Close();
}

void CVeskView::OnResetTime(wxCommandEvent&) {
    m_session.ResetTime();
}

void CVeskView::OnShowData(wxCommandEvent&) {
    m_session.SetShowData(!m_bShowData);
}

void CVeskView::OnStandby(wxCommandEvent&) {
    m_session.Command(CAN_CMD_STANDBY);
}

void CVeskView::OnClearOverrun(wxCommandEvent&) {
    m_session.Command(CAN_CMD_CLEAR_OVERRUN);
}

void CVeskView::OnAbortTransmission(wxCommandEvent&) {
    m_session.Command(CAN_CMD_ABORT_TX);
}

void CVeskView::OnExtendedDisplay(wxCommandEvent&) {
    m_session.SetExtendedDisplay(!m_bExtendedDisplay);
}

void CVeskView::OnClearScreen(wxCommandEvent&) {
    if (m_list)
        m_list->ClearRows();
    if (m_bShowOverview && m_overview) {
        m_session.ClearOverview();
        m_overview->ClearRows();
    }
}

void CVeskView::OnViewOverview(wxCommandEvent&) {
    ShowOverview(!m_bShowOverview);
}

void CVeskView::ShowOverview(bool show) {
    if (!m_list || !m_overview || !m_frame)
        return;
    m_bShowOverview = show;
    if (m_bShowOverview)
        m_overview->ShowRows(MonitorSession::ArrivalClockNs(), true);
    m_list->Show(!m_bShowOverview);
    m_overview->Show(m_bShowOverview);
    m_frame->Layout();
}

void CVeskView::OnUpdateViewOverview(wxUpdateUIEvent& event) {
    event.Check(m_bShowOverview);
}

void CVeskView::OnViewHold(wxCommandEvent&) {
    Hold(!m_bHold);
}

void CVeskView::OnUpdateViewHold(wxUpdateUIEvent& event) {
    event.Check(m_bHold);
}

void CVeskView::OnViewFind(wxCommandEvent&) {
    ShowFindBar(!(m_findBar && m_findBar->IsShown()));
}

void CVeskView::OnUpdateViewFind(wxUpdateUIEvent& event) {
    event.Check(m_findBar && m_findBar->IsShown());
}

void CVeskView::OnViewFindNext(wxCommandEvent&) {
    if (!m_findBar)
        return;
    if (!m_findBar->IsShown() || m_findBar->FindField()->GetValue().empty()) {
        ShowFindBar(true);
        m_findBar->FindField()->SetFocus();
        return;
    }
    FindNext(m_findBar->FindField()->GetValue());
}

void CVeskView::ShowFindBar(bool show) {
    if (!m_findBar || !m_frame)
        return;
    m_findBar->Show(show);
    m_frame->Layout();
    if (show) {
        m_findBar->FilterField()->SetFocus();
        m_findBar->FilterField()->SelectAll();
        ShowHiddenRows();
    }
}

void CVeskView::ShowHiddenRows() {
    if (!m_findBar || !m_findBar->IsShown() || !m_list || !m_overview)
        return;
    if (m_bShowOverview)
        m_findBar->ShowHidden(m_overview->HiddenRows(),
                              m_overview->HiddenRows() + m_overview->RowCount());
    else
        m_findBar->ShowHidden(m_list->HiddenRows(), m_log.RowCount());
}

void CVeskView::FindNext(const wxString& text) {
    if (!m_list || !m_overview || text.empty())
        return;
    CFastReportList* list = m_bShowOverview ? m_overview->List() : m_list.get();
    const long selected = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    const long row = list->FindRow(text.utf8_string(), selected + 1);
    wxString note;
    if (row < 0) {
        note = wxString::Format(U8("„%s“ nicht gefunden."), text);
    } else {
        list->SelectOnly(row);
        note = wxString::Format(U8("„%s“ gefunden in Zeile %ld."), text, row + 1);
        if (row <= selected)
            note += U8(" Die Suche hat oben neu begonnen.");
    }
    if (m_frame && m_frame->GetStatusBar())
        m_frame->GetStatusBar()->SetStatusText(note, 0);
}

void CVeskView::Hold(bool hold) {
    if (hold == m_bHold)
        return;
    m_bHold = hold;
    if (m_bHold)
        return;
    // The rows that came meanwhile (the newest 5000) go in at once, and the top is shown.
    DrainTick();
    if (m_list && m_list->GetItemCount() > 0)
        m_list->EnsureVisible(0);
}

void CVeskView::OnCopy(wxCommandEvent&) {
    wxString text;
    if (m_bShowOverview && m_overview)
        text = m_overview->SelectedRowsText();
    else if (m_list)
        text = m_list->SelectedRowsText();
    if (text.empty())
        return;
    wxClipboardLocker locker;
    if (!!locker)
        wxTheClipboard->SetData(new wxTextDataObject(text));
}

void CVeskView::OnUpdateCopy(wxUpdateUIEvent& event) {
    if (m_bShowOverview)
        event.Enable(m_overview && m_overview->HasSelection());
    else
        event.Enable(m_list && m_list->GetSelectedItemCount() > 0);
}

void CVeskView::OnRecordStop(wxCommandEvent&) {
    m_session.StopRecording();
}

void CVeskView::OnUpdateRecordStop(wxUpdateUIEvent& event) {
    event.Enable(m_session.IsRecording());
}

void CVeskView::OnPlayStop(wxCommandEvent&) {
    m_session.StopPlaying();
}

void CVeskView::OnUpdatePlayStop(wxUpdateUIEvent& event) {
    event.Enable(m_session.IsPlaying());
}

void CVeskView::OnUpdateChannelOpen(wxUpdateUIEvent& event) {
    event.Enable(m_session.IsOpen());
}

void CVeskView::OnUpdateShowData(wxUpdateUIEvent& event) {
    event.Check(m_bShowData != 0);
}

void CVeskView::OnUpdateExtendedDisplay(wxUpdateUIEvent& event) {
    event.Enable(m_session.IsOpen());
    event.Check(m_bExtendedDisplay != 0);
}

// --- The log table's feed ----------------------------------------------------------------------

void CVeskView::WatchForRows() {
    if (m_drainTimer.IsRunning() || !m_list)
        return;
    if (m_session.IsOpen() || m_log.HasPending())
        m_drainTimer.Start(kDrainIntervalMs);
}

std::size_t CVeskView::DrainRows() {
    return m_list ? m_list->ShowNewRows() : 0;
}

void CVeskView::OnDrainTimer(wxTimerEvent&) {
    DrainTick();
}

void CVeskView::DrainTick() {
    // Held, the rows wait in the log's inbox, which keeps the newest of them as the table would.
    if (m_bHold)
        return;
    DrainRows();
    if (m_bShowOverview && m_overview)
        m_overview->ShowRows(MonitorSession::ArrivalClockNs());
    ShowHiddenRows();
    // The overview's selected row takes the newest values (the log's rows do not change).
    if (m_bShowOverview)
        UpdateSignalDetail();
    // A closed channel delivers nothing more; once its last rows are shown the timer rests, so a
    // closed program uses no processor time.
    if (!m_session.IsOpen() && !m_log.HasPending())
        m_drainTimer.Stop();
}

// --- CAN databases ---------------------------------------------------------------------------

CSignalDetail* CVeskView::GetSignalDetail() const {
    return m_signals.get();
}

void CVeskView::LoadDatabases(const std::vector<std::string>& paths) {
    std::string problems;
    std::size_t warnings = 0;
    {
        wxBusyCursor busy;  // a large database takes a moment
        for (const std::string& path : paths) {
            std::string error;
            std::vector<std::string> skipped;
            if (!m_session.LoadDatabase(path, error, skipped))
                problems += error + "\n";
            warnings += skipped.size();
        }
    }
    ShowDatabaseState();
    if (!problems.empty())
        platform::MessageBox(problems, "vesk", platform::MessageIcon::kError);
    if (warnings > 0 && m_frame && m_frame->GetStatusBar()) {
        m_frame->GetStatusBar()->SetStatusText(
            wxString::Format(U8("Datenbanken geladen; %zu Einträge übersprungen."), warnings), 0);
    }
}

void CVeskView::RestoreDatabases(const std::vector<std::string>& paths) {
    std::string problems;
    for (const std::string& problem : m_session.RestoreDatabases())
        problems += problem + "\n";
    ShowDatabaseState();
    if (!problems.empty()) {
        platform::MessageBox(problems + "Die übrigen Datenbanken sind geladen.", "vesk",
                             platform::MessageIcon::kExclamation);
    }
    if (!paths.empty())
        LoadDatabases(paths);
}

void CVeskView::ClearDatabases() {
    m_session.ClearDatabases();
    ShowDatabaseState();
}

void CVeskView::ShowDatabaseState() {
    if (!m_signals || !m_frame)
        return;
    const bool any = !m_session.Databases().Empty();
    m_signals->SetDatabaseNames(wxString::FromUTF8(m_session.Databases().Names()));
    if (m_signals->IsShown() != any) {
        m_signals->Show(any);
        m_frame->Layout();
    }
    UpdateSignalDetail();
    if (m_overview)
        m_overview->ShowRows(MonitorSession::ArrivalClockNs(), true);
    if (m_dlgSignalSend)
        m_dlgSignalSend->FillMessages();
}

void CVeskView::UpdateSignalDetail() {
    if (!m_signals || !m_signals->IsShown())
        return;
    const auto databases = m_session.Databases().Set();
    if (m_bShowOverview) {
        const OverviewRow* row = m_overview ? m_overview->SelectedRow() : nullptr;
        if (!row || row->other) {
            m_signals->ShowNothing(U8("Keine Botschaft ausgewählt."));
            return;
        }
        const int length = row->remote ? 0 : std::min<int>(row->dlc, 8);
        m_signals->ShowSignals(
            DecodeFrameSignals(*databases, row->id, row->extended, row->remote, row->data, length),
            row->changedMask);
        return;
    }
    const long item = m_list ? m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) : -1;
    if (item < 0) {
        m_signals->ShowNothing(U8("Keine Botschaft ausgewählt."));
        return;
    }
    const LogRow& row = m_list->ModelRow(item);
    if (!can::IsFrameType(row.msg.type)) {
        m_signals->ShowNothing(U8("Ein Busereignis hat keine Signale."));
        return;
    }
    const can::Frame f = can::FrameOfRecord(row.msg);
    m_signals->ShowSignals(
        DecodeFrameSignals(*databases, f.id, f.extended, f.rtr, f.data.data(), f.DataBytes()));
}

void CVeskView::OnDbLoad(wxCommandEvent&) {
    wxFileDialog dlg(m_frame, U8("Datenbank laden"), wxString(), wxString(),
                     U8("CAN-Datenbanken (*.dbc)|*.dbc;*.DBC|Alle Dateien (*)|*"),
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_MULTIPLE);
    if (dlg.ShowModal() != wxID_OK)
        return;
    wxArrayString paths;
    dlg.GetPaths(paths);
    std::vector<std::string> files;
    for (const wxString& p : paths)
        files.push_back(p.utf8_string());
    LoadDatabases(files);
}

void CVeskView::OnDbClear(wxCommandEvent&) {
    ClearDatabases();
}

void CVeskView::OnUpdateDbClear(wxUpdateUIEvent& event) {
    event.Enable(!m_session.Databases().Empty());
}

CSignalSendDlg* CVeskView::GetSignalSendDlg() const {
    return m_dlgSignalSend.get();
}

void CVeskView::OnUpdateSendDbMessage(wxUpdateUIEvent& event) {
    event.Enable(m_session.IsOpen() && !m_session.Databases().Empty());
}
