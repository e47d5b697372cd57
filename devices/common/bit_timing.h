// Bit timing of an SJA1000 on a 16 MHz crystal: which baud rates the controller can run at, and
// the register values that give them.
//
// One bit lasts 1 + TSEG1 + TSEG2 time quanta of 2 * BRP clock periods, so
//   rate = 16 MHz / (2 * BRP * (1 + TSEG1 + TSEG2)),  BRP 1..64, TSEG1 1..16, TSEG2 1..8.
// A rate is supported when some setting reaches it exactly and it lies within 10000..1000000
// bit/s (CAN's ceiling is 1 Mbit/s). There are 24 such rates, from 10000 to 1000000.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace devices {

inline constexpr std::uint32_t kSja1000ClockHz = 16'000'000;
inline constexpr std::uint32_t kMinBaudrate = 10'000;
inline constexpr std::uint32_t kMaxBaudrate = 1'000'000;

struct BitTiming {
    int brp = 1;    // baud rate prescaler, 1..64
    int tseg1 = 1;  // time segment before the sample point, 1..16 quanta
    int tseg2 = 1;  // time segment after it, 1..8 quanta
    int sjw = 1;    // synchronisation jump width, 1..4 quanta

    int Quanta() const { return 1 + tseg1 + tseg2; }
    std::uint32_t Baudrate() const;
    // Sample point in per mille of the bit time.
    int SamplePointPermille() const { return 1000 * (1 + tseg1) / Quanta(); }
    // The bus timing registers as the controller takes them (single sampling).
    std::uint8_t Btr0() const;
    std::uint8_t Btr1() const;
};

// The timing for a rate, or nullopt when the controller cannot run at it. Among the settings that
// reach the rate, the one with its sample point nearest 87.5 % (the usual recommendation) wins.
std::optional<BitTiming> FindBitTiming(std::uint32_t baudrate);

bool IsSupportedBaudrate(std::uint32_t baudrate);

// Every supported rate, ascending.
std::vector<std::uint32_t> SupportedBaudrates();

}  // namespace devices
