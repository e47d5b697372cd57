#include "ui/doc_manager.h"

#include <wx/filehistory.h>

#include "ui/utf8_text.h"

wxIMPLEMENT_DYNAMIC_CLASS(CVeskDocManager, wxDocManager);

// clang-format off
wxBEGIN_EVENT_TABLE(CVeskDocManager, wxDocManager)
    EVT_UPDATE_UI(wxID_SAVE, CVeskDocManager::OnUpdateFileSave)
wxEND_EVENT_TABLE()
    // clang-format on

    CVeskDocManager::CVeskDocManager()
    : wxDocManager(0, false) {
    // Not from wx's constructor: there the virtual OnCreateFileHistory is still wx's own, which
    // keeps nine files instead of four.
    Initialize();
}

wxDocument* CVeskDocManager::CreateDocument(const wxString& path, long flags) {
    wxDocument* doc =
        GetDocuments().empty() ? nullptr : static_cast<wxDocument*>(GetDocuments().front());
    if (!doc) {
        doc = wxDocManager::CreateDocument(wxString(), wxDOC_NEW);
        if (!doc || (flags & wxDOC_NEW))
            return doc;
    } else if (flags & wxDOC_NEW) {
        return doc->OnNewDocument() ? doc : nullptr;
    }

    wxString file = path;
    if (file.empty()) {
        wxDocTemplate* templates[] = {static_cast<wxDocTemplate*>(GetTemplates().front())};
        if (!SelectDocumentPath(templates, 1, file, flags) || file.empty())
            return nullptr;
    }
    if (!doc->OnOpenDocument(file))
        return nullptr;
    AddFileToHistory(file);
    return doc;
}

bool CVeskDocManager::OpenFile(const wxString& path) {
    return CreateDocument(path, wxDOC_SILENT) != nullptr;
}

wxString CVeskDocManager::MakeNewDocumentName() {
    return U8("Unbenannt");
}

wxFileHistory* CVeskDocManager::OnCreateFileHistory() {
    return new wxFileHistory(kFileHistorySize);
}

void CVeskDocManager::OnUpdateFileSave(wxUpdateUIEvent& event) {
    // Saving is always offered, as long as there is a document; it writes an empty file.
    event.Enable(!GetDocuments().empty());
}
