// The document manager of a program with exactly one document, one frame and one view for its
// whole run: "new" and "open" reuse the document instead of replacing it, so the log, the channel
// and every setting stay as they are and only the caption changes.
#pragma once

#include <wx/docview.h>

class wxFrame;

class CVeskDocManager : public wxDocManager {
  public:
    static constexpr int kFileHistorySize = 4;

    CVeskDocManager();

    // The frame that the view puts its window into.
    void SetMainFrame(wxFrame* frame) { m_mainFrame = frame; }
    wxFrame* GetMainFrame() const { return m_mainFrame; }

    // The first call creates document, view and the view's window; later calls reuse them.
    wxDocument* CreateDocument(const wxString& path, long flags = 0) override;
    wxString MakeNewDocumentName() override;
    wxFileHistory* OnCreateFileHistory() override;

    // Opens a file into the document (command line, dropped files); false when it could not.
    bool OpenFile(const wxString& path);

  private:
    void OnUpdateFileSave(wxUpdateUIEvent& event);

    wxFrame* m_mainFrame = nullptr;

    wxDECLARE_DYNAMIC_CLASS(CVeskDocManager);
    wxDECLARE_EVENT_TABLE();
};
