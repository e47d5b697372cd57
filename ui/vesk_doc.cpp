#include "ui/vesk_doc.h"

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "ui/utf8_text.h"

wxIMPLEMENT_DYNAMIC_CLASS(CVeskDoc, wxDocument);

bool CVeskDoc::OnNewDocument() {
    return wxDocument::OnNewDocument();
}

bool CVeskDoc::OnOpenDocument(const wxString& file) {
    if (!wxDocument::OnOpenDocument(file))
        return false;
    // The one document is reused for every file, so the title of the previous one must go.
    SetTitle(wxFileName(file).GetFullName());
    OnChangeFilename(true);
    return true;
}

bool CVeskDoc::Save() {
    if (GetDocumentSaved() && !GetFilename().empty())
        return OnSaveDocument(GetFilename());
    return SaveAs();
}

bool CVeskDoc::DoOpenDocument(const wxString& file) {
    wxFFile f(file, "rb");  // reports its own failure
    return f.IsOpened();
}

bool CVeskDoc::DoSaveDocument(const wxString& file) {
    wxFFile f(file, "wb");
    return f.IsOpened() && f.Close();
}
