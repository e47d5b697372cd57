#include "ui/auto_messages_dlg.h"

#include <wx/valgen.h>

#include "ui/dialog_template.h"
#include "ui/number_text.h"
#include "ui/utf8_text.h"

namespace {

constexpr int kLineY[AutoReplies::kEntryCount] = {30, 47, 63, 79};

constexpr ControlTemplate Edit(int id, int x, int y, int cx) {
    return {ControlKind::kEdit, id, "", x, y, cx, 14};
}

// Along each line: trigger identifier, trigger data, reply identifier, reply data.
constexpr ControlTemplate LineEdit(int entry, int column) {
    const ReplyControlIds& ids = kReplyControlIds[entry];
    const int y = kLineY[entry];
    switch (column) {
        case 0:
            return Edit(ids.triggerId, 15, y, 29);
        case 1:
            return Edit(ids.triggerData, 45, y, 92);
        case 2:
            return Edit(ids.replyId, 157, y, 29);
        default:
            return Edit(ids.replyData, 187, y, 92);
    }
}

const ControlTemplate kControls[] = {
    {ControlKind::kGroupBox, wxID_STATIC, "Triggern auf...", 7, 7, 137, 94},
    {ControlKind::kGroupBox, wxID_STATIC, "Senden...", 149, 7, 138, 94},
    {ControlKind::kLabel, wxID_STATIC, "CAN-ID", 17, 18, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "Botschaft", 49, 18, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "CAN-ID", 159, 18, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "Botschaft", 191, 18, 0, 0},
    LineEdit(0, 0),
    LineEdit(0, 1),
    LineEdit(0, 2),
    LineEdit(0, 3),
    LineEdit(1, 0),
    LineEdit(1, 1),
    LineEdit(1, 2),
    LineEdit(1, 3),
    LineEdit(2, 0),
    LineEdit(2, 1),
    LineEdit(2, 2),
    LineEdit(2, 3),
    LineEdit(3, 0),
    LineEdit(3, 1),
    LineEdit(3, 2),
    LineEdit(3, 3),
    {ControlKind::kDefaultButton, wxID_OK, "Ok", 7, 106, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbruch", 65, 106, 50, 14},
};

const DialogTemplate kTemplate = {"Automatische Botschaften", 294, 127, kControls};

}  // namespace

CAutoMessagesDlg::CAutoMessagesDlg(wxWindow* parent) {
    CreateFromTemplate(*this, parent, kTemplate);
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        Exchange(kReplyControlIds[i].triggerId, wxGenericValidator(&m_strTriggerId[i]));
    }
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        Exchange(kReplyControlIds[i].triggerData, wxGenericValidator(&m_strTriggerData[i]));
    }
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        Exchange(kReplyControlIds[i].replyData, wxGenericValidator(&m_strReplyData[i]));
    }
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        Exchange(kReplyControlIds[i].replyId, wxGenericValidator(&m_strReplyId[i]));
    }
    Bind(wxEVT_INIT_DIALOG, &CAutoMessagesDlg::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &CAutoMessagesDlg::OnOK, this, wxID_OK);
}

void CAutoMessagesDlg::OnInitDialog(wxInitDialogEvent&) {
    if (m_pReplies) {
        for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
            const ReplyEntry entry = m_pReplies->Entry(i);
            m_strTriggerId[i] = FormatHex(entry.triggerId, 3);
            m_strTriggerData[i] = SystemText(entry.triggerData);
            m_strReplyData[i] = SystemText(entry.replyData);
            m_strReplyId[i] = FormatHex(entry.replyId, 3);
        }
    }
    TransferDataToWindow();
}

void CAutoMessagesDlg::OnOK(wxCommandEvent&) {
    TransferDataFromWindow();
    if (m_pReplies) {
        // Each entry is published whole, so a frame received meanwhile meets either the old or
        // the new entry. A box without a hexadecimal number keeps that identifier.
        for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
            ReplyEntry entry = m_pReplies->Entry(i);
            ScanHexInto(m_strTriggerId[i].utf8_string(), entry.triggerId);
            entry.triggerData = m_strTriggerData[i].utf8_string();
            entry.replyData = m_strReplyData[i].utf8_string();
            ScanHexInto(m_strReplyId[i].utf8_string(), entry.replyId);
            m_pReplies->SetEntry(i, std::move(entry));
        }
    }
    AcceptAndClose();
}
