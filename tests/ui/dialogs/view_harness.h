// A main frame with its document and view, put together as the program does at start, so that the
// view loads the settings file as it stands when the harness is made.
#pragma once

#include <wx/docview.h>

#include "ui/doc_manager.h"
#include "ui/main_frame.h"
#include "ui/vesk_doc.h"
#include "ui/vesk_view.h"

namespace dialogtest {

class ViewHarness {
  public:
    ViewHarness() {
        manager_ = new CVeskDocManager;
        new wxDocTemplate(manager_, "Vesk", "*.vsk", wxString(), "vsk", "Vesk.Document",
                          "Vesk View", wxCLASSINFO(CVeskDoc), wxCLASSINFO(CVeskView));
        frame_ = new CMainFrame(manager_, "vesk");
        manager_->SetMainFrame(frame_);
        manager_->CreateDocument(wxString(), wxDOC_NEW);
        frame_->Show();
    }
    ~ViewHarness() {
        manager_->CloseDocuments(true);
        delete frame_;
        delete manager_;
    }
    ViewHarness(const ViewHarness&) = delete;
    ViewHarness& operator=(const ViewHarness&) = delete;

    CVeskView* View() const { return frame_->GetView(); }
    CMainFrame* Frame() const { return frame_; }

    // Sends the menu command as choosing it in the menu does.
    void Command(int id) const {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame_);
        frame_->ProcessWindowEvent(event);
    }

    // What the menu shows for the item after an idle update: enabled, checked.
    std::pair<bool, bool> MenuState(int id) const {
        wxUpdateUIEvent event(id);
        event.SetEventObject(frame_);
        frame_->ProcessWindowEvent(event);
        return {!event.GetSetEnabled() || event.GetEnabled(),
                event.GetSetChecked() && event.GetChecked()};
    }

  private:
    CVeskDocManager* manager_ = nullptr;
    CMainFrame* frame_ = nullptr;
};

}  // namespace dialogtest
