// One row of the log table: the record as the device delivered it and its two time stamps.
// Rows are stored raw; their cell texts are made only when the table shows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "can/can_msg.h"

struct LogRow {
    CanMsg msg;
    double absSeconds;    // since the channel's time base
    double deltaSeconds;  // since the previous time-stamped record
};

enum class LogRowKind { kNone, kReceived, kTransmitted, kBusEvent };

// What an event type turns into: its row kind, the suffix index of a frame row (0 none, 1 " STD",
// 2 " EXT") and the base text of column 0. Types without a row give kNone and an empty label.
struct LogEventClass {
    LogRowKind kind;
    int suffix;
    const char* label;
};

LogEventClass ClassifyLogEvent(std::int32_t type);

inline constexpr const char* kLogReceivedText = "Received";
inline constexpr const char* kLogTransmittedText = "Transmitted";
inline constexpr const char* kLogSuffixTexts[3] = {"", " STD", " EXT"};
// The event types that carry each suffix index.
inline constexpr std::int32_t kLogReceivedTypes[3] = {CAN_EV_RX, CAN_EV_RX_STD, CAN_EV_RX_EXT};
inline constexpr std::int32_t kLogTransmittedTypes[3] = {CAN_EV_TX, CAN_EV_TX_STD, CAN_EV_TX_EXT};

// The table's columns: 0 "Hinweise", 1 "Time", 2 "Status", 3 "ID", 4 "RTR", 5 "DLC",
// 6 "Botschaft", 7 "Lost".
inline constexpr int kLogColumnCount = 8;

// "Botschaft" shows the first dlc bytes of data, but never more than a frame carries on the bus:
// a dlc of 9 to 15 (a transmit request may ask for 10 bytes; the device fills a whole byte) puts
// 8 data bytes on the wire, and those are what the row shows. The DLC cell keeps the code.
inline constexpr int kLogDataLimit = kCanMaxFrameBytes;

// Enough for every cell of any row whose times stay below 10^15 s.
inline constexpr std::size_t kLogCellCapacity = 64;

// The text of one cell, or an empty text for a cell the row's kind leaves empty, a row of kind
// kNone or a column outside 0..7. Numbers are formatted as the C locale does, whatever locale the
// program runs in: "%.3lf s  [%.3lf s]" times, "%04x" status and identifier (longer identifiers
// whole), "%d" rtr and dlc, " %02x" per data byte, "%ld" lost.
std::string FormatLogCell(const LogRow& row, int column);

// The same into a caller's buffer, without allocating: writes at most size - 1 characters and a
// terminating NUL (nothing when size is 0) and returns the length of the whole text, as snprintf
// does, so a result of size or more means the text was cut.
std::size_t FormatLogCell(const LogRow& row, int column, char* out, std::size_t size);
