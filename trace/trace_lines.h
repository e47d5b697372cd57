// The lines of a trace file, formatted into a caller's buffer without allocating.
//
// One TraceLines serves one recording: it knows the format, the interface name, the start of the
// recording, and the controller state that the bus events so far have reported, because a single
// record's status byte cannot tell "entered error passive" from "left it for the warning level".
//
// What an event becomes:
//
//   record                        candump log                          ASC
//   frame rx / tx                 ID#DATA R / T                        ID Rx|Tx d DLC DATA ...
//   remote frame                  ID#R, ID#R<dlc>                      ID Rx|Tx r DLC ...
//   received frame with lost > 0  RX overflow error frame, then frame  overrun status line, then
//                                                                        frame
//   4 bus error                   PROT|BUSERROR (data[2] TX bit when   ErrorFrame
//                                   it struck our transmission)
//   5 overrun                     CRTL, data[1] RX or TX overflow      Status:data overrun
//   7 warning / 8 passive         CRTL with the state in data[1];      Status:chip status <state>
//                                   BUSOFF; RESTARTED|CRTL ACTIVE
//                                   after bus-off
//   9 arbitration lost            LOSTARB                              Status:arbitration lost
//   6 wake up, anything else      nothing                              nothing
//
// Frames: a type without a format bit (2, 3) is extended when its identifier needs more than 11
// bits. A dlc of 9..15 is a code the bus carries with 8 data bytes; a dlc above 15 cannot be on
// the bus and is written as the 8 bytes the devices send for it, with dlc 8. Nothing past the
// record's 8 frame bytes is read.
//
// Times: the log's seconds are the event's wall clock, truncated to the microsecond as candump
// does. The ASC's are seconds since the recording's start truncated to the millisecond, the
// precision of the header's date, so that date plus time gives back the same wall clock.
//
// ASC frame lines carry "Length = NS BitCount = BITS ID = DECIMAL[x]": BitCount is the frame from
// SOF to the end of EOF with its stuff bits, counted exactly from its own CRC (the 3-bit
// intermission belongs to the idle bus, not to the frame); Length is that many bit times at the
// channel's bit rate, 0 while the rate is unknown. The error counters are not part of a record,
// so error frames leave data[6..7] at 0 without CAN_ERR_CNT and status lines name only the state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "can/can_msg.h"
#include "trace/trace_format.h"

namespace trace {

// Room for everything one call below writes (an event is at most a marker line and a frame line).
inline constexpr std::size_t kTraceLinesCapacity = 512;
// Longer interface names are cut: candump's own are at most 15 characters.
inline constexpr std::size_t kMaxInterfaceName = 64;

// Whether a record of this type goes into a trace: frames and the bus events 4..9.
bool IsTraceEvent(std::int32_t type);

// The controller's error state as the bus events report it.
enum class ControllerState { kActive, kWarning, kPassive, kBusOff };

class TraceLines {
  public:
    // interfaceName: candump's IFNAME; blanks become '_', an empty name "vesk0".
    TraceLines(TraceFormat format, std::string_view interfaceName, std::int64_t startNs);

    TraceFormat Format() const { return format_; }
    ControllerState State() const { return state_; }

    // Each writes at most size - 1 characters and a NUL and returns the whole text's length, as
    // snprintf does; kTraceLinesCapacity is always enough.
    //
    // The ASC header (date in local time); nothing for the candump log.
    std::size_t Header(char* out, std::size_t size) const;
    // One record; nothing for a type that IsTraceEvent refuses. bitrate 0: unknown.
    std::size_t Event(const CanMsg& msg, std::int64_t timeNs, std::uint32_t bitrate, char* out,
                      std::size_t size);
    // The marker for `count` records that never reached the file, at the time of the first.
    std::size_t LostMarker(std::int64_t timeNs, std::uint64_t count, char* out,
                           std::size_t size) const;
    // The ASC end line; nothing for the candump log.
    std::size_t Footer(char* out, std::size_t size) const;

  private:
    // Moves state_ by the record's status byte (and, for type 8, by the transition it reports).
    void Track(const CanMsg& msg);

    TraceFormat format_;
    char interface_[kMaxInterfaceName + 1];
    std::size_t interfaceLength_ = 0;
    std::int64_t ascZeroUs_;
    ControllerState state_ = ControllerState::kActive;
};

}  // namespace trace
