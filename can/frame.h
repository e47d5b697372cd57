// One classic CAN frame as it travels on the bus: the unit the device models, the bit count and
// the trace files work in. The record a device reports (can/can_msg.h) becomes one and back
// through can/frame_records.h.
//
//   frame                      DataBytes()
//   dlc 3, data frame          3
//   dlc 12 (a code 9..15)      8
//   dlc 5, remote frame        0
#pragma once

#include <array>
#include <cstdint>

namespace can {

inline constexpr std::uint32_t kStandardIdMask = 0x7FF;
inline constexpr std::uint32_t kExtendedIdMask = 0x1FFFFFFF;
// The data length code is a 4-bit field on the bus; codes 9..15 carry 8 bytes.
inline constexpr int kMaxDlc = 15;

struct Frame {
    std::uint32_t id = 0;
    bool extended = false;
    bool rtr = false;
    std::uint8_t dlc = 0;  // 0..kMaxDlc
    std::array<std::uint8_t, 8> data{};

    // Data bytes on the bus: none for a remote frame, at most 8 whatever the code says.
    int DataBytes() const { return rtr ? 0 : (dlc > 8 ? 8 : dlc); }

    bool operator==(const Frame&) const = default;
};

}  // namespace can
