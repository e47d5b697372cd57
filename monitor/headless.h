// The program without a window: one session driven from the terminal.
//
// Opens the adapter as the open dialog does with its defaults (unless mode or format say
// otherwise), applies the settings file's baud rate, filters and automatic replies, records when
// asked, plays a trace onto the bus when asked, prints a status line per second on `status`
// (frames received and sent, lost, bus load, events written, frames played) and ends after the
// duration, on SIGINT/SIGTERM/SIGHUP, or without a duration once the play is over (its frames
// confirmed by the bus), the recording complete.
//
// The caller must have blocked the end signals in every thread (BlockEndSignals, before any
// thread starts): the run takes them with sigtimedwait, so that they end it in order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct HeadlessOptions {
    int adapter = 0;
    int mode = 0;    // 0 Basic CAN, 1 PeliCAN
    int format = 0;  // 0 standard, 1 extended
    std::string adapterName = "vesk0";
    std::string recordPath;          // empty: no recording
    std::optional<double> duration;  // seconds; none: until a signal (or the play's end)
    std::string playPath;            // empty: nothing is played
    int playPasses = 1;              // 0: until the run ends
    // Trace files that replay adapters read: never recorded into.
    std::vector<std::string> readTraces;
    // CAN databases to decode with (--dbc); the status line counts the frames they define.
    std::vector<std::string> databases;
    // Database messages to send by their signals (--send "MESSAGE SIGNAL=VALUE ...", see
    // dbc/signal_assignments.h): once, or every cycleMs (--cycle) until the run ends. Without a
    // duration and with nothing cyclic, the run ends once the bus has carried them.
    struct Send {
        std::string text;
        std::optional<std::uint32_t> cycleMs;
    };
    std::vector<Send> sends;
};

// Holds the end requests for the run to take (platform/end_signal.h): on Linux SIGINT, SIGTERM
// and SIGHUP are blocked for the calling thread and every thread it starts later (a closed
// terminal ends the run as SIGTERM does), and SIGPIPE is ignored, so that a status line that
// cannot be written (stderr a closed pipe) costs only that line; on Windows Ctrl+C and a closed
// console end the run the same way.
void BlockEndSignals();

// 0 after a clean end; 1 when the channel could not be opened, the recording not started or
// failed at any moment, the trace to play or a database could not be read (the reason printed on
// `status`); 2 when a message to send is refused (unknown message or signal, a value outside its
// signal's range or width, a frame the channel cannot send, a cycle time out of range).
int RunHeadless(const HeadlessOptions& options, std::FILE* status);
