// Runs the dialog suites inside a wx application, with wx assertions reported as test failures
// instead of the assertion dialog that would wait for a click.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

namespace {

void ReportAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

}  // namespace

int main(int argc, char** argv) {
    // The C locale, where a narrow literal handed to wx would lose its umlauts.
    setenv("LC_ALL", "C", 1);
    // Run by hand, outside CTest: keep the suites away from the user's own settings.
    if (!std::getenv("VESK_INI")) {
        const std::string dir = "/tmp/vesk-dialog-tests-" + std::to_string(getpid());
        setenv("VESK_INI", (dir + "/Vesk.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv))
        return 1;
    wxSetAssertHandler(ReportAssert);
    wxTheApp->CallOnInit();
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
