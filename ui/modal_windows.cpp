#include "ui/modal_windows.h"

#include <algorithm>

#include <wx/dialog.h>

#include <wx/msgdlg.h>

#ifdef __WXGTK__
#include <dlfcn.h>

namespace {
// The one call needed of the toolkit, looked up in the toolkit that wx has loaded rather than
// linked against its development files; its signature has not changed since GTK 2.
void GtkDialogResponse(void* dialog, int responseId) {
    using Function = void (*)(void*, int);
    static const auto function =
        reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    if (function)
        function(dialog, responseId);
}
constexpr int kGtkResponseCancel = -6;
}  // namespace
#endif

int CModalWindows::Enter(wxDialog* dialog) {
    if (m_refuse)
        return wxID_CANCEL;
    m_open.push_back(dialog);
    return wxID_NONE;
}

void CModalWindows::Exit(wxDialog* dialog) {
    const auto it = std::find_if(m_open.rbegin(), m_open.rend(),
                                 [dialog](const wxWeakRef<wxDialog>& d) { return d == dialog; });
    if (it != m_open.rend())
        m_open.erase(std::next(it).base());
}

bool CModalWindows::Empty() {
    std::erase_if(m_open, [](const wxWeakRef<wxDialog>& d) { return !d; });
    return m_open.empty();
}

void CModalWindows::CancelInnermost() {
    if (Empty())
        return;
    wxDialog* dialog = m_open.back();
    if (dialog->IsModal()) {
        dialog->EndModal(wxID_CANCEL);
        return;
    }
#ifdef __WXGTK__
    // A message box is the toolkit's own dialog, run by the toolkit's own loop: it ends on a
    // response.
    if (wxDynamicCast(dialog, wxMessageDialog) && dialog->GetHandle())
        GtkDialogResponse(dialog->GetHandle(), kGtkResponseCancel);
#endif
}
