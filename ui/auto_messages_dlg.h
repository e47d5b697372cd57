// "Automatische Botschaften": the four automatic replies, each a trigger (identifier and data
// prefix) and the frame sent in answer. Confirming writes straight into the reply entries.
#pragma once

#include <array>

#include <wx/string.h>

#include "log/auto_replies.h"
#include "ui/exchange_dialog.h"

// Edit ids per entry, in the order trigger identifier, trigger data, reply identifier, reply data.
struct ReplyControlIds {
    int triggerId, triggerData, replyId, replyData;
};
inline constexpr std::array<ReplyControlIds, AutoReplies::kEntryCount> kReplyControlIds = {{
    {1002, 1001, 1004, 1005},
    {1007, 1011, 1009, 1013},
    {1016, 1017, 1019, 1020},
    {1022, 1023, 1025, 1026},
}};

class CAutoMessagesDlg : public CExchangeDialog {
  public:
    explicit CAutoMessagesDlg(wxWindow* parent);

    AutoReplies* m_pReplies = nullptr;  // set by the caller before the dialog runs
    wxString m_strTriggerId[AutoReplies::kEntryCount];
    wxString m_strTriggerData[AutoReplies::kEntryCount];
    wxString m_strReplyData[AutoReplies::kEntryCount];
    wxString m_strReplyId[AutoReplies::kEntryCount];

    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
};
