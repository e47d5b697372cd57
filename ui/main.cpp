// The program: everything lives in the vesk_ui library, so that the tests start the same program
// in process.
//
// The command line is looked at before wx starts: a wrong switch or --help must answer on the
// terminal, also where there is no display for GTK to open.
#include <cstdio>
#include <string>
#include <vector>

#include "ui/shell_command.h"
#include "ui/vesk_app.h"

wxIMPLEMENT_APP_NO_MAIN(CVeskApp);

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = ExitBeforeWindow(ParseShellCommand(args), stdout, stderr))
        return *status;
    return wxEntry(argc, argv);
}
