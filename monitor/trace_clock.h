// The wall-clock time of a record, from the record's own tick count.
//
// The device's clock runs at ticksPerMs (1250 or 10000 per ms); at the open the channel read it
// together with the wall clock. A record's time is the wall clock of the open plus the device
// time since then, to the tick (800 ns or 100 ns), not the log's milliseconds. A device whose
// clock already is the wall clock (a SocketCAN interface stamps with the kernel's real time) is
// taken as it is, so a recording agrees with other tools on the same interface to the
// microsecond.
//
//   device clock at open   wall clock at open    ticks/ms  record ticks   wall ns
//   1'000'000              1'700'000'000'000'000'000   1250  1'001'250   1'700'000'000'001'000'000
//   17'000'000'000'000'000 1'700'000'000'000'123'456  10000  17'000'000'000'000'010
//   1'700'000'000'000'001'000 (the second: the device clock reads as the epoch time, so the ticks
//   are used directly)
#pragma once

#include <cstdint>

// Nanoseconds of `ticks` at `ticksPerMs`, without overflow for ticks since the epoch.
inline std::int64_t TicksToNs(std::uint64_t ticks, std::uint32_t ticksPerMs) {
    if (ticksPerMs == 0)
        return 0;
    return static_cast<std::int64_t>(ticks / ticksPerMs * 1'000'000 +
                                     ticks % ticksPerMs * 1'000'000 / ticksPerMs);
}

// A device clock within this of the wall clock at the open counts as the wall clock itself.
inline constexpr std::int64_t kEpochClockToleranceNs = 60'000'000'000;

inline std::int64_t RecordWallNs(std::uint64_t ticks, std::uint64_t ticksAtOpen,
                                 std::uint32_t ticksPerMs, std::int64_t wallNsAtOpen) {
    const std::int64_t openDeviceNs = TicksToNs(ticksAtOpen, ticksPerMs);
    const std::int64_t skew = openDeviceNs - wallNsAtOpen;
    if (skew > -kEpochClockToleranceNs && skew < kEpochClockToleranceNs)
        return TicksToNs(ticks, ticksPerMs);
    // Signed: a record stamped a little before the open stays a little before it.
    const std::int64_t sinceOpen = ticks >= ticksAtOpen
                                       ? TicksToNs(ticks - ticksAtOpen, ticksPerMs)
                                       : -TicksToNs(ticksAtOpen - ticks, ticksPerMs);
    return wallNsAtOpen + sinceOpen;
}
