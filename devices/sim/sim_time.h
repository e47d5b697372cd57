// Time on the simulated bus: nanoseconds on the adapter's clock, as signed 64-bit counts.
#pragma once

#include <cstdint>
#include <limits>

namespace sim {

using Nanos = std::int64_t;

inline constexpr Nanos kNever = std::numeric_limits<Nanos>::max();
inline constexpr Nanos kMicrosecond = 1'000;
inline constexpr Nanos kMillisecond = 1'000'000;
inline constexpr Nanos kSecond = 1'000'000'000;

// The device clock runs at 10000 ticks per millisecond: one tick per 100 ns.
inline constexpr Nanos kNanosPerTick = 100;

inline std::uint64_t NanosToTicks(Nanos t) {
    return t <= 0 ? 0 : static_cast<std::uint64_t>(t / kNanosPerTick);
}

}  // namespace sim
