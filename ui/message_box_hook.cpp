#include "ui/message_box_hook.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/thread.h>

#include "platform/message_box.h"
#include "ui/utf8_text.h"

namespace {

long IconStyle(platform::MessageIcon icon) {
    switch (icon) {
        case platform::MessageIcon::kInformation:
            return wxICON_INFORMATION;
        case platform::MessageIcon::kExclamation:
            return wxICON_EXCLAMATION;
        case platform::MessageIcon::kError:
            return wxICON_ERROR;
    }
    return wxICON_INFORMATION;
}

void Show(const wxString& text, const wxString& caption, long icon) {
    wxMessageBox(text, caption, wxOK | icon, wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
}

}  // namespace

void InstallMessageBoxHook() {
    platform::SetMessageBoxHook(
        [](const std::string& text, const std::string& caption, platform::MessageIcon icon) {
            const wxString wxText = SystemText(text);
            const wxString wxCaption = SystemText(caption);
            const long style = IconStyle(icon);
            if (wxIsMainThread()) {
                Show(wxText, wxCaption, style);
            } else if (wxTheApp) {
                wxTheApp->CallAfter([wxText, wxCaption, style] { Show(wxText, wxCaption, style); });
            }
        });
}

void RemoveMessageBoxHook() {
    platform::SetMessageBoxHook({});
}
