// One classic CAN frame as it travels on the bus, the unit the device models work in.
#pragma once

#include <array>
#include <cstdint>

namespace devices {

inline constexpr std::uint32_t kStandardIdMask = 0x7FF;
inline constexpr std::uint32_t kExtendedIdMask = 0x1FFFFFFF;
// The data length code is a 4-bit field on the bus; codes 9..15 carry 8 bytes.
inline constexpr int kMaxDlc = 15;

struct CanFrame {
    std::uint32_t id = 0;
    bool extended = false;
    bool rtr = false;
    std::uint8_t dlc = 0;  // 0..kMaxDlc
    std::array<std::uint8_t, 8> data{};

    // Data bytes on the bus: none for a remote frame, at most 8 whatever the code says.
    int DataBytes() const { return rtr ? 0 : (dlc > 8 ? 8 : dlc); }

    bool operator==(const CanFrame&) const = default;
};

}  // namespace devices
