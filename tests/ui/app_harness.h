// Access to the program that app_test_main.cpp started, and the operator's actions on it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/testing.h>

#include "ui/log_list_ctrl.h"
#include "ui/main_frame.h"
#include "ui/vesk_app.h"
#include "ui/vesk_view.h"

namespace uitest {

// The command line of the program under test; each suite defines it.
std::vector<std::string> StartArguments();

// How a suite answers the dialogs it expects, from the start of the program on: an id answers the
// dialog without showing it, wxID_NONE lets it run for real, nothing leaves it to the default
// (every dialog that no test expects is a failure).
using DialogAnswer = std::function<std::optional<int>(wxDialog*)>;
inline DialogAnswer& ExpectedDialogs() {
    static DialogAnswer answer;
    return answer;
}

inline CVeskApp& App() {
    return *static_cast<CVeskApp*>(wxTheApp);
}
inline CMainFrame* Frame() {
    return App().GetMainFrame();
}
inline CVeskView* View() {
    return Frame() ? Frame()->GetView() : nullptr;
}
inline CLogListCtrl* List() {
    return View() ? View()->GetList() : nullptr;
}

// Lets the program handle what is queued and run an idle pass, as its event loop would.
inline void Idle() {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
}

// Chooses a menu command, a key or a tool bar button.
inline void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(event);
}

struct ItemState {
    bool enabled;
    bool checked;
};

// The menu item as the operator sees it when the menu opens.
inline ItemState MenuItem(int id) {
    Frame()->DoMenuUpdates();
    wxMenuBar* bar = Frame()->GetMenuBar();
    wxMenuItem* item = bar->FindItem(id);
    if (!item) {
        ADD_FAILURE() << "no menu item " << id;
        return {false, false};
    }
    return {item->IsEnabled(), item->IsCheckable() && item->IsChecked()};
}

inline std::string PaneText(int pane) {
    return Frame()->GetStatusBar()->GetStatusText(pane).utf8_string();
}

inline std::string Cell(long row, long column) {
    return List()->GetItemText(row, static_cast<int>(column)).utf8_string();
}

// Unexpected dialogs and unmet expectations fail the test instead of asserting.
class TestingModalHook : public wxTestingModalHook {
  public:
    using wxTestingModalHook::wxTestingModalHook;

  protected:
    void ReportFailure(const wxString& msg) override { ADD_FAILURE() << msg.utf8_string(); }
};

}  // namespace uitest

#undef wxTEST_DIALOG_HOOK_CLASS
#define wxTEST_DIALOG_HOOK_CLASS uitest::TestingModalHook
