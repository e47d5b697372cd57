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
#include "ui/vesk_app.h"

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

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ShellCommand cmd = ParseShellCommand(args);
    if (const auto status = ExitBeforeWindow(cmd, stdout, stderr))
        return *status;
    if (cmd.action == ShellCommand::Action::kHeadless)
        return Headless(cmd);
    if (cmd.action == ShellCommand::Action::kDecode)
        return DecodeTrace(cmd.decodePath, cmd.databases, stdout, stderr);
    return wxEntry(argc, argv);
}
