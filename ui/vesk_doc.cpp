#include "ui/vesk_doc.h"

#include <cstdio>

#include <wx/app.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>

#include "platform/data_file.h"
#include "platform/error.h"

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

namespace {

// A file that cannot be opened or written is reported in the operator's language, naming the
// file and the system's reason; wx's own log would say it in English, and at the end of the run
// it would show its box after the frame is gone.
void ReportFileFailure(const char* what, const wxString& file, int error) {
    wxString text =
        U8("Die Datei \u201e") + file + U8("\u201c kann nicht ") + U8(what) + U8(" werden.");
    if (error != 0)
        text += "\n\n" + SystemText(platform::ErrorText(error));
    wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    wxMessageBox(text, U8("vesk"), wxOK | wxICON_ERROR,
                 parent && parent->IsShown() ? parent : nullptr);
}

}  // namespace

bool CVeskDoc::DoOpenDocument(const wxString& file) {
    // The document holds nothing, but a file that is not there or cannot be read is no document.
    const platform::DataFile f = platform::DataFile::OpenForReading(file.utf8_string());
    if (!f.IsOpen()) {
        ReportFileFailure("ge\u00f6ffnet", file, f.Error());
        return false;
    }
    return true;
}

bool CVeskDoc::DoSaveDocument(const wxString& file) {
    platform::DataFile f = platform::DataFile::CreateForWriting(file.utf8_string());
    if (f.IsOpen() && f.Close())
        return true;
    ReportFileFailure("gespeichert", file, f.Error());
    return false;
}
