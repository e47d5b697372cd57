// The document: ".vsk" files that hold nothing. Opening one loads nothing and saving one writes an
// empty file; either only changes the window's caption. The document never becomes modified, so
// the program never asks to save.
#pragma once

#include <wx/docview.h>

class CVeskDoc : public wxDocument {
  public:
    CVeskDoc() = default;

    bool OnNewDocument() override;
    bool OnOpenDocument(const wxString& file) override;
    // Writes the file again whenever asked, even when it was saved before.
    bool Save() override;

  protected:
    bool DoOpenDocument(const wxString& file) override;
    bool DoSaveDocument(const wxString& file) override;

    wxDECLARE_DYNAMIC_CLASS(CVeskDoc);
};
