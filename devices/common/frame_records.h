// Between the device's 36-byte records and frames on the bus, the same for every adapter.
#pragma once

#include <algorithm>
#include <cstdint>

#include "channel/device_protocol.h"
#include "devices/common/can_frame.h"

namespace devices {

// The frame a transmit request puts on the bus. `extended` is what controller mode and frame
// format decide; the identifier is cut to 11 or 29 bits. The dlc is kept as it came (a code of
// 9..15 sends 8 bytes).
CanFrame FrameToSend(const CanMsg& msg, bool extended);

// A frame record of the given type (received or transmitted, with or without format), with the
// frame's identifier, its own format, rtr, dlc and data bytes; ticks and status are left to the
// caller.
inline CanMsg FrameRecord(std::int32_t type, const CanFrame& frame) {
    CanMsg m{};
    m.type = type;
    m.id = frame.id;
    m.rtr = frame.rtr ? 1 : 0;
    m.dlc = frame.dlc;
    m.format = frame.extended ? CAN_RECORD_FORMAT_EXT : CAN_RECORD_FORMAT_STD;
    std::copy_n(frame.data.begin(), frame.DataBytes(), m.data);
    return m;
}

inline void StampTicks(CanMsg& record, std::uint64_t ticks) {
    record.ticksLow = static_cast<std::uint32_t>(ticks);
    record.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
}

}  // namespace devices
