#include "ui/send_dlg.h"

#include <algorithm>
#include <iterator>

#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/valgen.h>

#include "channel/can_channel.h"
#include "log/byte_list.h"
#include "settings/settings.h"
#include "ui/dialog_template.h"
#include "ui/field_validators.h"
#include "ui/number_text.h"
#include "ui/utf8_text.h"
#include "ui/vesk_app.h"

namespace {

const ControlTemplate kControls[] = {
    {ControlKind::kGroupBox, wxID_STATIC, "Einmal senden", 7, 7, 282, 97},
    {ControlKind::kLabel, wxID_STATIC, "CAN-ID", 40, 18, 25, 8},
    {ControlKind::kLabel, wxID_STATIC, "Botschaft", 71, 18, 31, 8},
    {ControlKind::kCheckBox, kIdSendChk1, "", 24, 32, 10, 8},
    {ControlKind::kEdit, kIdSendId1, "", 38, 29, 29, 14},
    {ControlKind::kEdit, kIdSendMsg1, "", 68, 29, 135, 14},
    {ControlKind::kCheckBox, kIdSendChk2, "", 24, 49, 10, 8},
    {ControlKind::kEdit, kIdSendId2, "", 38, 46, 29, 14},
    {ControlKind::kEdit, kIdSendMsg2, "", 68, 46, 135, 14},
    {ControlKind::kCheckBox, kIdSendChk3, "", 24, 66, 10, 8},
    {ControlKind::kEdit, kIdSendId3, "", 38, 63, 29, 14},
    {ControlKind::kEdit, kIdSendMsg3, "", 68, 63, 135, 14},
    {ControlKind::kCheckBox, kIdSendChk4, "", 24, 83, 10, 8},
    {ControlKind::kEdit, kIdSendId4, "", 38, 80, 29, 14},
    {ControlKind::kEdit, kIdSendMsg4, "", 68, 80, 135, 14},
    {ControlKind::kDefaultButton, wxID_OK, "Start", 231, 29, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbrechen", 231, 47, 50, 14},
    {ControlKind::kGroupBox, wxID_STATIC, "Endlos senden", 7, 111, 282, 64},
    {ControlKind::kLabel, wxID_STATIC, "CAN-ID", 14, 121, 25, 8},
    {ControlKind::kLabel, wxID_STATIC, "Botschaft", 45, 121, 31, 8},
    {ControlKind::kEdit, kIdSendId5, "", 13, 130, 29, 14},
    {ControlKind::kEdit, kIdSendMsg5, "", 43, 130, 135, 14},
    {ControlKind::kLabel, wxID_STATIC, "Wartezeit", 187, 134, 31, 8},
    {ControlKind::kEdit, kIdSendWait, "", 221, 130, 40, 14},
    {ControlKind::kLabel, wxID_STATIC, "ms", 269, 135, 10, 8},
    {ControlKind::kPushButton, kIdSendStartEndless, "Start", 13, 152, 50, 14},
    {ControlKind::kPushButton, kIdSendStopEndless, "Stop", 71, 152, 50, 14},
    {ControlKind::kPushButton, kIdSendClose, "Schließen", 293, 14, 50, 14},
};

const DialogTemplate kTemplate = {"Botschaft senden", 350, 182, kControls};

std::uint32_t ScanIdentifier(const wxString& text) {
    // A text without a hexadecimal number at its start sends identifier 0.
    std::uint32_t id = 0;
    ScanHexInto(text.utf8_string(), id);
    return id;
}

}  // namespace

bool CSendDlg::Create(wxWindow* parent, CanChannel* channel) {
    m_channel = channel;
    // Placed when it is first shown: the main window has its size and place only then.
    if (!CreateFromTemplate(*this, parent, kTemplate, /*centre=*/false))
        return false;
    // Refused fields stop the transfer, so this order decides which members a refused interval
    // leaves untouched: everything after it.
    Exchange(kIdSendId1, wxGenericValidator(&m_strId1));
    Exchange(kIdSendMsg1, wxGenericValidator(&m_strMsg1));
    Exchange(kIdSendWait, CSignedValidator(&m_nWait, 0, INT32_MAX));
    Exchange(kIdSendId2, wxGenericValidator(&m_strId2));
    Exchange(kIdSendId3, wxGenericValidator(&m_strId3));
    Exchange(kIdSendId4, wxGenericValidator(&m_strId4));
    Exchange(kIdSendId5, wxGenericValidator(&m_strId5));
    Exchange(kIdSendMsg2, wxGenericValidator(&m_strMsg2));
    Exchange(kIdSendMsg3, wxGenericValidator(&m_strMsg3));
    Exchange(kIdSendMsg4, wxGenericValidator(&m_strMsg4));
    Exchange(kIdSendMsg5, wxGenericValidator(&m_strMsg5));
    Exchange(kIdSendChk1, CCheckValidator(&m_bChk1));
    Exchange(kIdSendChk2, CCheckValidator(&m_bChk2));
    Exchange(kIdSendChk3, CCheckValidator(&m_bChk3));
    Exchange(kIdSendChk4, CCheckValidator(&m_bChk4));
    Bind(wxEVT_BUTTON, &CSendDlg::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CSendDlg::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CSendDlg::OnClose, this, kIdSendClose);
    Bind(wxEVT_BUTTON, &CSendDlg::OnStartEndless, this, kIdSendStartEndless);
    Bind(wxEVT_BUTTON, &CSendDlg::OnStopEndless, this, kIdSendStopEndless);
    Bind(wxEVT_CLOSE_WINDOW, &CSendDlg::OnCloseWindow, this);
    return OnInitDialog();
}

bool CSendDlg::OnInitDialog() {
    TransferDataToWindow();
    const settings::SendSettings loaded = settings::LoadSendSettings();
    wxString* ids[] = {&m_strId1, &m_strId2, &m_strId3, &m_strId4, &m_strId5};
    wxString* msgs[] = {&m_strMsg1, &m_strMsg2, &m_strMsg3, &m_strMsg4, &m_strMsg5};
    for (std::size_t i = 0; i < loaded.id.size(); ++i) {
        *ids[i] = SystemText(loaded.id[i]);
        *msgs[i] = SystemText(loaded.msg[i]);
    }
    m_nWait = loaded.wait;
    int* checks[] = {&m_bChk1, &m_bChk2, &m_bChk3, &m_bChk4};
    for (std::size_t i = 0; i < loaded.chk.size(); ++i)
        *checks[i] = loaded.chk[i];
    return true;
}

void CSendDlg::Present(const wxWindow& mainWindow) {
    // Text typed since the last button that read the controls gives way to the members.
    TransferDataToWindow();
    if (IsIconized())
        Iconize(false);
    PlaceOnceOver(*this, mainWindow, m_placed);
    const bool wasHidden = !IsShown();
    Show();
    Raise();
    if (wasHidden) {
        // After the focus that every dialog takes when it opens.
        CallAfter([this] {
            if (auto* first = dynamic_cast<wxTextCtrl*>(FindWindow(kIdSendId1))) {
                first->SetFocus();
                first->SelectAll();
            }
        });
    }
}

void CSendDlg::OnOK(wxCommandEvent&) {
    // A refused interval has shown its prompt; the rows are sent all the same, unless the
    // program was told to end while the prompt was up.
    TransferDataFromWindow();
    if (ProgramEnding())
        return;
    SaveSettings();
    const struct {
        int check;
        const wxString& id;
        const wxString& msg;
    } rows[] = {{m_bChk1, m_strId1, m_strMsg1},
                {m_bChk2, m_strId2, m_strMsg2},
                {m_bChk3, m_strId3, m_strMsg3},
                {m_bChk4, m_strId4, m_strMsg4}};
    std::vector<FieldProblem> problems;
    const int fields[][2] = {{kIdSendId1, kIdSendMsg1},
                             {kIdSendId2, kIdSendMsg2},
                             {kIdSendId3, kIdSendMsg3},
                             {kIdSendId4, kIdSendMsg4}};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        if (rows[i].check != 0 && !rows[i].id.empty())
            CheckRow(rows[i].id, rows[i].msg, fields[i][0], fields[i][1], problems);
    }
    if (!ShowProblems(problems))
        return;
    for (const auto& row : rows) {
        if (row.check != 0 && !row.id.empty())
            SendFrame(row.id, row.msg);
    }
}

void CSendDlg::CheckRow(const wxString& idText, const wxString& dataText, int idField,
                        int dataField, std::vector<FieldProblem>& problems) const {
    // The frame format the channel sends in: 29-bit identifiers only in PeliCAN with the
    // extended format; a closed channel sends nothing, so any identifier may stand.
    std::uint32_t widest = 0x1FFFFFFFu;
    if (m_channel && m_channel->device.load() != platform::kNoHandle &&
        !(m_channel->mode == CAN_MODE_PELICAN &&
          m_channel->frameFormat.load() == CAN_FORMAT_EXTENDED))
        widest = 0x7FFu;
    if (auto problem = IdentifierProblem(idText.utf8_string(), widest))
        problems.push_back({idField, *problem});
    if (auto problem = ByteListProblem(dataText.utf8_string()))
        problems.push_back({dataField, *problem});
}

bool CSendDlg::ShowProblems(const std::vector<FieldProblem>& problems) {
    static const wxColour kRefused(255, 200, 200);
    for (int id : {kIdSendId1, kIdSendMsg1, kIdSendId2, kIdSendMsg2, kIdSendId3, kIdSendMsg3,
                   kIdSendId4, kIdSendMsg4, kIdSendId5, kIdSendMsg5}) {
        wxWindow* field = FindWindow(id);
        if (!field)
            continue;
        const auto problem = std::find_if(problems.begin(), problems.end(),
                                          [id](const FieldProblem& p) { return p.field == id; });
        const bool refused = problem != problems.end();
        field->SetBackgroundColour(refused ? kRefused : wxNullColour);
        field->SetToolTip(refused ? wxString::FromUTF8(problem->text) : wxString());
        field->Refresh();
    }
    m_problem = problems.empty() ? wxString() : wxString::FromUTF8(problems.front().text);
    if (problems.empty())
        return true;
    if (auto* frame = wxDynamicCast(wxGetTopLevelParent(GetParent()), wxFrame)) {
        if (wxStatusBar* bar = frame->GetStatusBar())
            bar->SetStatusText(U8("Nichts gesendet: ") + m_problem, 0);
    }
    if (wxWindow* first = FindWindow(problems.front().field))
        first->SetFocus();
    return false;
}

void CSendDlg::OnCancel(wxCommandEvent&) {
    CanCommand(m_channel, CAN_CMD_ABORT_TX);
}

void CSendDlg::OnClose(wxCommandEvent&) {
    AcceptAndClose();
}

void CSendDlg::OnStartEndless(wxCommandEvent&) {
    TransferDataFromWindow();
    if (ProgramEnding())
        return;
    SaveSettings();
    std::vector<FieldProblem> problems;
    CheckRow(m_strId5, m_strMsg5, kIdSendId5, kIdSendMsg5, problems);
    if (ShowProblems(problems))
        StartEndless(m_strId5, m_strMsg5);
}

// Only its own job: the database messages' jobs run on the same channel and stop on their own
// dialog's command.
void CSendDlg::OnStopEndless(wxCommandEvent&) {
    CanStopCyclic(m_channel, kEndlessJobKey);
}

void CSendDlg::OnCloseWindow(wxCloseEvent& event) {
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    // The title bar's close box acts as "Abbrechen": the dialog stays.
    event.Veto();
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    OnCancel(cancel);
}

void CSendDlg::SaveSettings() {
    settings::SendSettings s;
    const wxString* ids[] = {&m_strId1, &m_strId2, &m_strId3, &m_strId4, &m_strId5};
    const wxString* msgs[] = {&m_strMsg1, &m_strMsg2, &m_strMsg3, &m_strMsg4, &m_strMsg5};
    for (std::size_t i = 0; i < s.id.size(); ++i) {
        s.id[i] = ids[i]->utf8_string();
        s.msg[i] = msgs[i]->utf8_string();
    }
    s.wait = m_nWait;
    const int checks[] = {m_bChk1, m_bChk2, m_bChk3, m_bChk4};
    for (std::size_t i = 0; i < s.chk.size(); ++i)
        s.chk[i] = checks[i] != 0 ? 1 : 0;
    settings::SaveSendSettings(s);
}

void CSendDlg::SendFrame(const wxString& idText, const wxString& dataText) {
    std::uint8_t bytes[kByteListLimit] = {};
    const int length = ParseByteList(bytes, kByteListLimit, dataText.utf8_str());
    CanSend(m_channel, ScanIdentifier(idText), 0, length, bytes);
}

void CSendDlg::StartEndless(const wxString& idText, const wxString& dataText) {
    std::uint8_t bytes[kByteListLimit] = {};
    const int length = ParseByteList(bytes, kByteListLimit, dataText.utf8_str());
    // The interval field takes no negative number; one from the settings file reaches the
    // channel as the unsigned value it stands for, and the channel bounds the pause.
    CanStartCyclic(m_channel, kEndlessJobKey, ScanIdentifier(idText), 0, length, bytes,
                   static_cast<std::uint32_t>(m_nWait));
}
