#include "ui/vesk_view.h"

#include <algorithm>

#include <wx/clipbrd.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "devices/device_mapping.h"
#include "ui/command_ids.h"
#include "ui/doc_manager.h"
#include "ui/log_list_ctrl.h"
#include "ui/overview_window.h"
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
    EVT_MENU(wxID_COPY, CVeskView::OnCopy)
    EVT_UPDATE_UI(wxID_COPY, CVeskView::OnUpdateCopy)
    EVT_MENU(ID_PLAY_START, CVeskView::OnPlayStart)
    EVT_MENU(ID_PLAY_STOP, CVeskView::OnPlayStop)
    EVT_UPDATE_UI(ID_PLAY_START, CVeskView::OnUpdateChannelOpen)
    EVT_UPDATE_UI(ID_PLAY_STOP, CVeskView::OnUpdatePlayStop)
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
    : m_drainTimer(this) {
    m_bExtendedDisplay = 0;
}

CVeskView::~CVeskView() {
    // The receive thread, the cyclic jobs and a play end here, while everything they use still
    // exists.
    m_session.Close();
    m_drainTimer.Stop();
    if (m_dlgSend)
        delete m_dlgSend.get();
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
    // The window starts wide enough for all eight columns, as far as the screen allows.
    if (!m_frame->IsShown()) {
        const int wanted =
            list->ColumnsWidth() + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, list);
        const int screen = wxDisplay(m_frame).GetClientArea().width;
        const wxSize client = m_frame->GetClientSize();
        if (client.x < wanted)
            m_frame->SetClientSize(std::min(wanted, screen - 20), client.y);
    }
    // The log and the overview share the client area; one of them is shown.
    auto* overview = new COverviewWindow(m_frame, m_session);
    m_overview = overview;
    overview->Hide();
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(list, 1, wxEXPAND);
    sizer->Add(overview, 1, wxEXPAND);
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
    m_bShowData = 1;
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
    CanResetTime(m_channel);
    m_session.m_overview.RestartTimes();
}

void CVeskView::OnShowData(wxCommandEvent&) {
    m_bShowData = m_bShowData ? 0 : 1;
    CanEnableNotify(m_channel, m_bShowData);
}

void CVeskView::OnStandby(wxCommandEvent&) {
    CanCommand(m_channel, CAN_CMD_STANDBY);
}

void CVeskView::OnClearOverrun(wxCommandEvent&) {
    CanCommand(m_channel, CAN_CMD_CLEAR_OVERRUN);
}

void CVeskView::OnAbortTransmission(wxCommandEvent&) {
    CanCommand(m_channel, CAN_CMD_ABORT_TX);
}

void CVeskView::OnExtendedDisplay(wxCommandEvent&) {
    CanCommand(m_channel,
               m_bExtendedDisplay ? CAN_CMD_FORMAT_REPORT_OFF : CAN_CMD_FORMAT_REPORT_ON);
    m_bExtendedDisplay = m_bExtendedDisplay ? 0 : 1;
}

void CVeskView::OnClearScreen(wxCommandEvent&) {
    if (m_list)
        m_list->ClearRows();
    if (m_bShowOverview && m_overview) {
        m_session.m_overview.Clear();
        m_session.m_trueLoad.Reset();
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
    event.Enable(CanIsOpen(m_channel) != 0);
}

void CVeskView::OnUpdateShowData(wxUpdateUIEvent& event) {
    event.Check(m_bShowData != 0);
}

void CVeskView::OnUpdateExtendedDisplay(wxUpdateUIEvent& event) {
    event.Enable(CanIsOpen(m_channel) != 0);
    event.Check(m_bExtendedDisplay != 0);
}

// --- The log table's feed ----------------------------------------------------------------------

void CVeskView::WatchForRows() {
    if (m_drainTimer.IsRunning() || !m_list)
        return;
    if (CanIsOpen(m_channel) || m_log.HasPending())
        m_drainTimer.Start(kDrainIntervalMs);
}

std::size_t CVeskView::DrainRows() {
    return m_list ? m_list->ShowNewRows() : 0;
}

void CVeskView::OnDrainTimer(wxTimerEvent&) {
    DrainTick();
}

void CVeskView::DrainTick() {
    DrainRows();
    if (m_bShowOverview && m_overview)
        m_overview->ShowRows(MonitorSession::ArrivalClockNs());
    // A closed channel delivers nothing more; once its last rows are shown the timer rests, so a
    // closed program uses no processor time.
    if (!CanIsOpen(m_channel) && !m_log.HasPending())
        m_drainTimer.Stop();
}
