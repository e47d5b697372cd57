// Runs a window suite inside the real program: CVeskApp starts as it does for a user (empty command
// line, default adapters), the suites work on its frame and view, and the program ends as it does
// when its window closes. wx assertions and unexpected dialogs become test failures.
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/modalhook.h>

#include "tests/support/environment.h"
#include "tests/ui/app_harness.h"

namespace {

void ReportAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

// Every dialog that no test expects is a failure, answered with Cancel: a modal dialog nobody
// answers would hold the suite until its time runs out.
class UnexpectedDialogs : public wxModalDialogHook {
  protected:
    int Enter(wxDialog* dialog) override {
        if (const auto& expected = uitest::ExpectedDialogs()) {
            if (const auto answer = expected(dialog))
                return *answer;
        }
        ADD_FAILURE() << "unexpected dialog \"" << dialog->GetTitle().utf8_string() << "\"";
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

}  // namespace

int main(int argc, char** argv) {
    // The C locale, where a narrow literal handed to wx would lose its umlauts; a run that tests
    // the desktop's language names its locale in VESK_TEST_LOCALE.
    const char* locale = std::getenv("VESK_TEST_LOCALE");
    testsupport::SetVariable("LC_ALL", locale ? locale : "C");
    testing::InitGoogleTest(&argc, argv);
    auto* app = new CVeskApp;
    app->SetArguments(uitest::StartArguments());
    wxApp::SetInstance(app);
    if (!wxEntryStart(argc, argv))
        return 1;
    wxSetAssertHandler(ReportAssert);
    UnexpectedDialogs unexpected;
    unexpected.Register();
    if (!wxTheApp->CallOnInit())
        return 1;
    // Failed file operations report to the terminal rather than in a box.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
