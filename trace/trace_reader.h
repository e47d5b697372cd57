// Reads a whole trace file, either format, into memory for playing it back.
//
// It takes what vesk's recorder writes and what the common CAN tools write in the same formats:
// candump's log (`-l`, `-L`, with or without the R/T direction, `_<dlc>` codes), the ASC that
// log2asc and python-can write (absolute or relative time stamps, `base hex` or `base dec`), and
// what asc2log and python-can's log writer make of them, classic frames in the CANFD layout of
// `log2asc -f` among them (FD frames are refused). Reading happens once, when a trace is opened,
// so it may allocate; it reads the file in large blocks and parses each line in place.
//
// Lines that carry nothing to play are skipped: blank lines, `#` comments in the log; the ASC
// header, `//` comments, `Start of measurement`, trigger block lines and the events that are not
// CAN frames or bus events (statistics, system variables, TxRq). Every other line must parse, or
// the whole file is refused with its line number and text (control bytes escaped): playing a
// trace with a hole in it would show a bus that never was. So is a line longer than 4096 bytes,
// which no trace has, so that a file without line ends cannot take the memory.
//
// Only a regular file is read, and opening never waits (a FIFO is refused, not held open). A
// pending SIGINT, SIGTERM or SIGHUP ends the read between blocks (platform::EndSignalPending).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "can/frame.h"

namespace trace {

// One entry of a trace: a frame as the bus carried it (can::Frame: identifier, format, remote
// flag, dlc as written, a candump "_<dlc>" or the ASC hex digit, and data), or a bus event.
struct TraceFrame : can::Frame {
    // Bus events map the candump error-frame classes and the ASC ErrorFrame / Status: lines.
    enum class Kind : std::uint8_t {
        kFrame,
        kBusError,
        kOverrun,
        kWarning,
        kPassive,
        kArbitration,
        kBusOff,
        kActive,
    };

    std::int64_t timeNs = 0;   // relative to the first entry of the file (the first has 0)
    std::uint8_t length = 0;   // data bytes present (0..8), always DataBytes()
    bool transmitted = false;  // DIR T / Tx (vesk's own frames); false for R / Rx / none
    // For bus events only timeNs and transmitted mean anything; the other fields stay 0.
    Kind kind = Kind::kFrame;
};

struct TraceFile {
    std::vector<TraceFrame> entries;
    std::int64_t startNs = 0;  // the first entry's time as the file gives it
};

// The whole file, its format chosen by the extension (FormatForPath). nullopt and a German error
// naming the file, and the line (number and text) when one could not be read. A file with nothing
// to play gives no entries, not an error.
std::optional<TraceFile> ReadTrace(const std::string& path, std::string& error);

// The same, asking `progress(bytes read, file size)` before each block (about a MiB); when it
// answers false the read ends like an end signal does: nullopt and "... wurde abgebrochen.".
using ReadProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;
std::optional<TraceFile> ReadTrace(const std::string& path, std::string& error,
                                   const ReadProgress& progress);

}  // namespace trace
