#include "ui/help_book.h"

#include <cstring>

#include <wx/fs_mem.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>

#include "ui/help_pages.h"

namespace {

constexpr const char* kFolder = "vesk-help/";

// The pages go into wx's in-memory file system once per process; the viewer reads them from
// there as from files.
void AddPagesOnce() {
    static const bool added = [] {
        wxFileSystem::AddHandler(new wxMemoryFSHandler);
        // The type is given: a system without a MIME database would show the pages as text.
        for (const HelpPage& page : HelpPages()) {
            const wxString name = page.name;
            wxMemoryFSHandler::AddFileWithMimeType(
                kFolder + name, page.text, std::strlen(page.text),
                name.EndsWith(".hhp") ? "text/plain" : "text/html");
        }
        return true;
    }();
    (void)added;
}

}  // namespace

CHelpBook::CHelpBook() = default;

CHelpBook::~CHelpBook() = default;  // the controller closes its viewer

void CHelpBook::Show(const wxString& page) {
    if (!m_controller) {
        AddPagesOnce();
        m_controller = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE);
        m_controller->SetTitleFormat(wxString::FromUTF8("vesk-Hilfe: %s"));
        m_controller->AddBook(wxString("memory:") + kFolder + "vesk.hhp");
    }
    m_controller->Display(page);
    // Display raises a viewer that is open, but does not show one that was hidden.
    if (wxWindow* frame = m_controller->GetFrame(); frame && !frame->IsShown())
        frame->Show();
}

wxHtmlHelpWindow* CHelpBook::Window() const {
    return m_controller ? m_controller->GetHelpWindow() : nullptr;
}
