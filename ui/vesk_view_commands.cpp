// The view's commands that run a dialog: open the channel, baud rate, the two filters, the
// automatic replies, showing the two transmit dialogs, and the file dialogs of recording and
// playing.
#include <memory>
#include <optional>
#include <string>

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include "devices/device_mapping.h"
#include "platform/error.h"
#include "platform/message_box.h"
#include "trace/trace_reader.h"
#include "ui/acceptance_dlg.h"
#include "ui/auto_messages_dlg.h"
#include "ui/baudrate_dlg.h"
#include "ui/number_text.h"
#include "ui/open_channel_dlg.h"
#include "ui/send_dlg.h"
#include "ui/signal_send_dlg.h"
#include "ui/utf8_text.h"
#include "ui/vesk_view.h"

namespace {

// Runs a filter dialog on the pair of values and writes both back on OK, changed or not.
// A field without a hexadecimal number keeps its value. False when the dialog was cancelled.
bool EditFilter(CFilterDlg& dlg, std::uint32_t& code, std::uint32_t& mask) {
    dlg.m_strCode = FormatHex(code, 8);
    dlg.m_strMask = FormatHex(mask, 8);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    ScanHexInto(dlg.m_strCode.utf8_string(), code);
    ScanHexInto(dlg.m_strMask.utf8_string(), mask);
    return true;
}

}  // namespace

void CVeskView::OnCanOpen(wxCommandEvent&) {
    COpenChannelDlg dlg(GetListWindow());
    dlg.m_nDevice = 0;
    dlg.m_nFormat = 0;
    dlg.m_nMode = 0;
    if (dlg.ShowModal() != wxID_OK)
        return;
    OpenChannel(dlg.m_nDevice, dlg.m_nMode, dlg.m_nFormat);
}

bool CVeskView::OpenChannel(int device, int mode, int format) {
    return m_session.Open(device, mode, format, AdapterName(device));
}

void CVeskView::OnBaudrate(wxCommandEvent&) {
    CBaudrateDlg dlg(GetListWindow());
    dlg.m_dwBaudrate = static_cast<std::uint32_t>(m_nBaudrate);
    if (dlg.ShowModal() != wxID_OK)
        return;
    m_session.SetBaudrate(static_cast<int>(dlg.m_dwBaudrate));
}

void CVeskView::OnHwAcceptance(wxCommandEvent&) {
    CAcceptanceDlg dlg(GetListWindow());
    std::uint32_t code = m_filters.acceptanceCode, mask = m_filters.acceptanceMask;
    if (EditFilter(dlg, code, mask))
        m_session.SetAcceptance(code, mask);
}

void CVeskView::OnSoftAcceptance(wxCommandEvent&) {
    CSoftAcceptanceDlg dlg(GetListWindow());
    std::uint32_t code = m_filters.softAcceptanceCode, mask = m_filters.softAcceptanceMask;
    if (EditFilter(dlg, code, mask))
        m_session.SetSoftAcceptance(code, mask);
}

void CVeskView::OnAutoReplies(wxCommandEvent&) {
    CAutoMessagesDlg dlg(GetListWindow());
    dlg.m_pReplies = &m_replies;
    if (dlg.ShowModal() == wxID_OK)
        m_session.SaveReplies();
}

void CVeskView::OnSendMessages(wxCommandEvent&) {
    if (!m_dlgSend) {
        platform::MessageBox("Das Fenster \"Botschaft senden\" konnte nicht erstellt werden.",
                             "Error", platform::MessageIcon::kExclamation);
        return;
    }
    m_dlgSend->Present(m_frame ? static_cast<const wxWindow&>(*m_frame) : *m_dlgSend->GetParent());
}

void CVeskView::OnSendDbMessage(wxCommandEvent&) {
    if (!m_list || !m_frame)
        return;
    if (!m_dlgSignalSend)
        m_dlgSignalSend = new CSignalSendDlg(GetListWindow(), m_session);
    m_dlgSignalSend->Present(*m_frame);
}

void CVeskView::OnRecordStart(wxCommandEvent&) {
    wxFileDialog dlg(GetListWindow(), U8("Aufzeichnung starten"), wxString(), wxString(),
                     U8("candump-Protokoll (*.log)|*.log|ASC-Protokoll (*.asc)|*.asc"),
                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dlg.ShowModal() != wxID_OK)
        return;
    wxFileName file(dlg.GetPath());
    // A name typed without its type takes the one of the chosen filter.
    if (!file.HasExt())
        file.SetExt(dlg.GetFilterIndex() == 1 ? "asc" : "log");
    StartRecording(file.GetFullPath().utf8_string());
}

bool CVeskView::StartRecording(const std::string& path) {
    std::string error;
    if (m_session.StartRecording(path, error))
        return true;
    platform::MessageBox(error, "vesk", platform::MessageIcon::kError);
    return false;
}

void CVeskView::OnPlayStart(wxCommandEvent&) {
    wxFileDialog dlg(GetListWindow(), U8("Aufzeichnung senden"), wxString(), wxString(),
                     U8("Aufzeichnungen (*.log;*.asc)|*.log;*.asc|candump-Protokoll (*.log)|*.log|"
                        "ASC-Protokoll (*.asc)|*.asc"),
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dlg.ShowModal() != wxID_OK)
        return;
    StartPlaying(dlg.GetPath().utf8_string());
}

bool CVeskView::StartPlaying(const std::string& path) {
    std::optional<trace::TraceFile> file;
    std::string error;
    {
        // A long trace takes a moment to read.
        wxBusyCursor busy;
        file = trace::ReadTrace(path, error);
    }
    if (!file) {
        platform::MessageBox(error, "vesk", platform::MessageIcon::kError);
        return false;
    }
    m_session.AddReadTrace(path);
    m_session.StartPlaying(std::make_shared<const trace::TraceFile>(std::move(*file)),
                           wxFileName(wxString::FromUTF8(path)).GetFullName().utf8_string(), 1);
    return true;
}
