// The program: everything lives in the vesk_ui library, so that the tests start the same program
// in process.
//
// The command line is looked at before wx starts: a wrong switch, --help and the program without
// a window must work where there is no display for GTK to open.
#include <cstdio>
#include <string>
#include <vector>

#include "devices/device_mapping.h"
#include "monitor/headless.h"
#include "monitor/shell_command.h"
#include "monitor/trace_decode.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/file_association.h"
#include "platform/message_box.h"
#include "ui/vesk_app.h"

// wx brought <windows.h> along after platform/message_box.h, and with it the macro MessageBox.
#undef MessageBox

wxIMPLEMENT_APP_NO_MAIN(CVeskApp);

namespace {

int Headless(const ShellCommand& cmd) {
    // Before any thread starts, so that every thread leaves the two signals to the run.
    BlockEndSignals();
    if (const std::string error = SetUpAdapters(cmd.scenario, cmd.deviceMappings); !error.empty()) {
        std::fprintf(stderr, "vesk: %s\n", error.c_str());
        return kExitUsage;
    }
    HeadlessOptions options;
    options.adapter = cmd.adapter;
    options.mode = cmd.mode;
    options.format = cmd.format;
    options.adapterName = AdapterName(cmd.adapter);
    options.recordPath = cmd.recordPath;
    options.duration = cmd.duration;
    options.playPath = cmd.playPath;
    options.playPasses = cmd.playPasses;
    options.readTraces = ReplayTraceFiles();
    options.databases = cmd.databases;
    for (const ShellCommand::Send& send : cmd.sends)
        options.sends.push_back({send.text, send.cycleMs});
    return RunHeadless(options, stderr);
}

// Links ".vsk" to this program for the user, or removes the link; needs no display.
int ChangeFileAssociation(bool link) {
    // Double-click and "Drucken" on a ".vsk" file start this program, with "/p" for printing.
    const platform::FileAssociation association{".vsk", "Vesk.Document", "Dateityp Vesk", "", "/p"};
    const std::string error = link ? platform::RegisterFileAssociation(association)
                                   : platform::UnregisterFileAssociation(association);
    if (error.empty())
        return 0;
    platform::MessageBox(
        std::string(link ? "Die Dateiendung .vsk kann nicht mit vesk verkn\u00fcpft werden: "
                         : "Die Verkn\u00fcpfung der Dateiendung .vsk mit vesk kann nicht "
                           "entfernt werden: ") +
            error,
        "vesk", platform::MessageIcon::kError);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseCallersConsole();
    const std::vector<std::string> args =
        platform::ProgramArguments(std::vector<std::string>(argv + 1, argv + argc));
    const ShellCommand cmd = ParseShellCommand(args);
    if (const auto status = ExitBeforeWindow(cmd, stdout, stderr))
        return *status;
    if (cmd.action == ShellCommand::Action::kRegister ||
        cmd.action == ShellCommand::Action::kUnregister)
        return ChangeFileAssociation(cmd.action == ShellCommand::Action::kRegister);
    if (cmd.action == ShellCommand::Action::kHeadless)
        return Headless(cmd);
    if (cmd.action == ShellCommand::Action::kDecode)
        return DecodeTrace(cmd.decodePath, cmd.databases, stdout, stderr);
    return wxEntry(argc, argv);
}
