// The program's command line. Free of wx so that it can be checked without a display.
//
// Switches may be written -x, --x or /x, without regard to case; the desktop's own conventions and
// the traditional slash spelling both reach the same meaning. A slash word that is no known switch
// is a path, so "/home/user/a.vsk" stays a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ShellCommand {
    enum class Action {
        kFileNew,      // start with an unnamed document
        kFileOpen,     // start with `file` open
        kFilePrint,    // print `file` (the empty document) and end
        kFilePrintTo,  // the same on `printer`
        kAutomation,   // started for embedding or automation: no window, end on a signal
        kRegister,     // link ".vsk" to this program for the user where the system wants it, end
        kUnregister,   // remove that link (Linux: the install rules own it), end
        kHelp,         // print the usage and end
        kHeadless,     // run without a window (see monitor/headless.h)
        kDecode,       // decode `decodePath` with `databases` to CSV on stdout and end
    };

    Action action = Action::kFileNew;
    std::string file;
    std::string printer;
    std::string driver;
    std::string port;

    // Simulated adapter: the scenario for every adapter path, and per-path mappings
    // ("N=sim:NAME"), applied in this order after the default devices are registered.
    std::string scenario;
    std::vector<std::string> deviceMappings;

    // Opens the first adapter right after start, as "CAN Kanal öffnen" with its defaults would;
    // used by the screenshot script and the window benchmark.
    bool openChannel = false;
    bool showOverview = false;  // "Übersicht nach ID" checked from the start

    // The program without a window (--headless): which adapter, controller mode and frame format
    // it opens (the open dialog's defaults unless said), and how long it runs (none: until
    // SIGINT or SIGTERM).
    bool headless = false;
    int adapter = 0;
    int mode = 0;    // --mode basic (0) or peli (1)
    int format = 0;  // --format std (0) or ext (1)
    std::optional<double> duration;

    // --record FILE: record from the start into FILE (.log or .asc), with or without a window.
    std::string recordPath;

    // --play FILE [--loop N] (with --headless): send FILE's frames onto the bus, N times (0: until
    // the run ends).
    std::string playPath;
    int playPasses = 1;

    // --dbc FILE (repeatable): CAN databases to decode with, in the window, with --headless and
    // with --decode TRACE (which decodes the recorded trace without a window).
    std::vector<std::string> databases;
    std::string decodePath;
    // --plot TRACE (with --dbc): the window starts with the trace's signals in a plot window.
    std::string plotPath;
    // --signal MESSAGE.SIGNAL (repeatable): the signals the plot window shows from the start;
    // without --plot the live window opens with them.
    std::vector<std::string> plotSignals;

    // --send "MESSAGE SIGNAL=VALUE ..." [--cycle MS] (repeatable, with --headless and --dbc): a
    // database message sent by its signals, once or every MS ms; --cycle belongs to the --send
    // before it.
    struct Send {
        std::string text;
        std::optional<std::uint32_t> cycleMs;
    };
    std::vector<Send> sends;

    // Not empty when the command line could not be understood; the text says why (German).
    std::string error;
};

ShellCommand ParseShellCommand(std::span<const std::string> args);

// The usage text printed by --help.
std::string ShellCommandUsage();

// Every switch name the parser knows (without its dash), for checking the usage text.
std::vector<std::string> KnownSwitches();

// The exit status of a command line that could not be understood.
inline constexpr int kExitUsage = 2;

// What is decided before any window or display is touched: a command line that cannot be
// understood (message and usage on `err`, kExitUsage) and --help (usage on `out`, 0). Nothing
// when the program goes on to start.
std::optional<int> ExitBeforeWindow(const ShellCommand& cmd, std::FILE* out, std::FILE* err);
