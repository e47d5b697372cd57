// The share of the bus that frames really occupy: each frame's exact length on the wire
// (can::BusBits: its own stuff bits, CRC delimiter, ACK, end of frame and the 3-bit
// intermission), counted into the 100 ms steps of the time it was on the bus (its end stamp
// minus its length, split at step boundaries), so that no step and no second can read above
// 100 % however late a record arrives. The channel's own estimate counts fewer bits per frame
// and reads below this.
//
// canbusload -e (can-utils) counts the same bits per data frame; it counts the data field of a
// remote frame too, which is not on the bus, so it reads higher where remote frames with a
// length code above 0 travel. It sees no error frames; here a bus error counts as kErrorFrameBits
// (error flag and delimiter with the intermission after it); the bits of the frame it
// interrupted are unknown and not counted, and the repeated frame counts when it arrives. The
// other bus events (overrun, wake-up, error states, arbitration lost) put no bits on the bus of
// their own.
//
// Add runs on the receive thread, Sample and Reset on any other; they share one lock, held for a
// few additions (a sum of ten buckets once per 100 ms).
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>

#include "can/can_msg.h"

struct BusLoadFigures {
    double percent = 0;      // over the last second (the ten 100 ms steps before the current)
    double peakPercent = 0;  // the highest such second since the reset
    double meanPercent = 0;  // since the first frame or sample after the reset
};

class TrueBusLoad {
  public:
    // The error flag (6), the error delimiter (8) and the intermission (3); a second flag
    // superposed by other nodes can add up to 6 more.
    static constexpr int kErrorFrameBits = 17;

    // Bits a record puts on the bus: a frame's exact length with its intermission,
    // kErrorFrameBits for a bus error, 0 for every other record.
    static int RecordBits(const CanMsg& msg);

    // Receive thread: every received and sent frame and every bus event, with its end stamp on
    // the device's clock (ns, any origin), its arrival on the steady clock that Sample reads and
    // the bus's rate (0: unknown, the record is counted at its stamp). The device clock is put on
    // the arrival clock by the smallest arrival-minus-stamp seen since the reset.
    void Add(const CanMsg& msg, std::int64_t endNs, std::int64_t arrivalNs, std::uint32_t baudrate);
    // The figures at nowNs (same clock) for the bus's rate; all 0 for a rate of 0.
    BusLoadFigures Sample(std::int64_t nowNs, std::uint32_t baudrate);
    // Peak and mean start again; the last second's figure too.
    void Reset();

  private:
    static constexpr std::int64_t kStepNs = 100'000'000;
    static constexpr int kWindowSteps = 10;
    // The window's ten complete steps and the one being filled, rounded up to a power of two.
    static constexpr int kRingSteps = 16;
    static constexpr std::int64_t kNoStep = std::numeric_limits<std::int64_t>::min();

    struct Step {
        std::int64_t step = kNoStep;
        std::uint64_t bits = 0;
    };

    void Begin(std::int64_t ns);
    void AddToStep(std::int64_t step, std::uint64_t bits);
    std::uint64_t WindowBits(std::int64_t lastStep) const;
    // Takes every window ending at a complete step up to lastStep into the peak.
    void FoldPeakThrough(std::int64_t lastStep);

    std::mutex m_lock;
    Step m_ring[kRingSteps];
    std::int64_t m_lastDataStep = kNoStep;
    std::int64_t m_foldedThrough = kNoStep;
    std::uint64_t m_peakBits = 0;
    std::uint64_t m_totalBits = 0;
    std::int64_t m_startNs = kNoStep;
    std::int64_t m_offsetNs = kNoStep;  // arrival clock minus device clock
};
