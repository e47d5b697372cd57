// Between the 36-byte records (can/can_msg.h) and frames on the bus, the same for every adapter
// and every reader of records.
//
//   record                                    frame
//   type 12, id 0x1ABCDEF, dlc 2, 11 22      FrameOfRecord: ext 0x1ABCDEF, dlc 2, 11 22
//   type 2, format 0, id 0x9123               FrameOfRecord: ext 0x9123 (by its value)
//   type 2, id 0xF123 format STD, dlc 20      FrameOfRecord: std 0x123, dlc 8, 8 bytes
//   request id 0x923, dlc 9, extended false   FrameToSend: std 0x123, dlc 9 (8 bytes on the bus)
//   frame std 0x123 rtr dlc 4                 FrameRecord(2, f): type 2, format STD, rtr, dlc 4
//   frame ext 0x100, dlc 1, 5A                SendRequest: type 14, format 0, dlc 1, 5A
#pragma once

#include <algorithm>
#include <cstdint>

#include "can/can_msg.h"
#include "can/frame.h"

namespace can {

// The frame a transmit request puts on the bus. `extended` is what controller mode and frame
// format decide; the identifier is cut to 11 or 29 bits. The dlc is kept as it came (a code of
// 9..15 sends 8 bytes).
Frame FrameToSend(const CanMsg& msg, bool extended);

// The frame a frame record describes, as the bus carried it: its own format (CanMsgIsExtended),
// the identifier cut to that format, a dlc above 15 (which no bus carries) as the 8 bytes the
// devices send for it with code 8. Nothing past the record's 8 frame bytes is read.
Frame FrameOfRecord(const CanMsg& msg);

// A frame record of the given type (received or transmitted, with or without format), with the
// frame's identifier, its own format, rtr, dlc and data bytes; ticks and status are left to the
// caller.
inline CanMsg FrameRecord(std::int32_t type, const Frame& frame) {
    CanMsg m{};
    m.type = type;
    m.id = frame.id;
    m.rtr = frame.rtr ? 1 : 0;
    m.dlc = frame.dlc;
    m.format = frame.extended ? CAN_RECORD_FORMAT_EXT : CAN_RECORD_FORMAT_STD;
    std::copy_n(frame.data.begin(), frame.DataBytes(), m.data);
    return m;
}

// The transmit request that sends exactly this frame whatever the channel's frame format:
// type CAN_EV_TX_STD or CAN_EV_TX_EXT, format byte 0, the frame's data bytes.
CanMsg SendRequest(const Frame& frame);

inline void StampTicks(CanMsg& record, std::uint64_t ticks) {
    record.ticksLow = static_cast<std::uint32_t>(ticks);
    record.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
}

}  // namespace can
