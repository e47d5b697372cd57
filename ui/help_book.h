// The program's help in wx's help viewer: the contents beside the page, search over all pages,
// printing. F1, Shift+F1, the tool bar's help button and the menu "?" open it.
#pragma once

#include <memory>

#include <wx/string.h>

class wxHtmlHelpController;
class wxHtmlHelpWindow;

class CHelpBook {
  public:
    CHelpBook();
    ~CHelpBook();
    CHelpBook(const CHelpBook&) = delete;
    CHelpBook& operator=(const CHelpBook&) = delete;

    // Shows the viewer on `page` (a file name of the book), raising it when it is open already.
    void Show(const wxString& page = "index.htm");

    // The viewer's window while it is open, else null.
    wxHtmlHelpWindow* Window() const;

  private:
    std::unique_ptr<wxHtmlHelpController> m_controller;
};
