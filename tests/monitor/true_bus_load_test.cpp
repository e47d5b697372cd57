// The exact bus load: each record's bits (the frame bit table's examples) and the figures over a
// hand-driven arrival clock.
#include "monitor/true_bus_load.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_record.h"

namespace {

constexpr std::int64_t kMs = 1'000'000;

CanMsg Msg(std::int32_t type, std::uint32_t id, std::uint8_t dlc, std::uint8_t fill,
           std::uint8_t rtr = 0) {
    return testsupport::Record({.type = type,
                                .id = id,
                                .dlc = dlc,
                                .rtr = rtr,
                                .data = std::vector<std::uint8_t>(kCanMaxSendBytes, fill)});
}

// can/frame_bits.h's examples, with the intermission, through every record type.
TEST(TrueBusLoadTest, BitsOfEachRecord) {
    struct Case {
        CanMsg msg;
        int bits;
    };
    const Case cases[] = {
        {Msg(CAN_EV_RX_STD, 0x123, 0, 0x55), 48},
        {Msg(CAN_EV_TX_STD, 0x123, 8, 0x55), 112},
        {Msg(CAN_EV_RX, 0x000, 8, 0x00), 127},
        {Msg(CAN_EV_TX, 0x000, 0, 0x00), 53},
        {Msg(CAN_EV_RX_STD, 0x7FF, 0, 0x55, 1), 50},
        {Msg(CAN_EV_RX_EXT, 0x18FEF100, 8, 0x55), 135},
        {Msg(CAN_EV_RX, 0x18FEF100, 8, 0x55), 135},  // no format bit: 29 bits by its value
        {Msg(CAN_EV_TX_EXT, 0x1FFFFFFF, 0, 0x55, 1), 74},
        {Msg(CAN_EV_RX_STD, 0x123, 20, 0x55), 112},  // a code above 15 goes out as 8
        {Msg(CAN_EV_BUS_ERROR, 0, 0, 0), TrueBusLoad::kErrorFrameBits},
        {Msg(CAN_EV_OVERRUN, 0x123, 8, 0), 0},
        {Msg(CAN_EV_ARBITRATION, 0x123, 8, 0), 0},
        {Msg(0, 0x123, 8, 0), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrueBusLoad::RecordBits(c.msg), c.bits)
            << "type " << c.msg.type << " id " << std::hex << c.msg.id;
    }
}

// 112-bit frames at 500 kbit/s: each is 0.0224 % of a second. The last second is the ten
// complete 100 ms steps before now; the peak holds the busiest such second, also one no sample
// saw; the mean runs from the first frame or sample.
TEST(TrueBusLoadTest, LastSecondPeakAndMean) {
    struct Case {
        const char* name;
        int framesPerMs[4];  // in each of four seconds from 0
        std::int64_t nowMs;
        double percent, peak, mean;
    };
    const Case cases[] = {
        {"steady, a second", {1, 0, 0, 0}, 1000, 22.4, 22.4, 22.4},
        {"half of it left", {1, 0, 0, 0}, 1550, 11.2, 22.4, 22.4 / 1.55},
        {"quiet afterwards", {1, 0, 0, 0}, 2000, 0, 22.4, 11.2},
        {"busier second unseen", {1, 2, 1, 0}, 4000, 0, 44.8, 22.4},
    };
    for (const Case& c : cases) {
        TrueBusLoad load;
        const CanMsg frame = Msg(CAN_EV_RX_STD, 0x123, 8, 0x55);
        // Each starts on the bus at its millisecond and is stamped at its end of frame.
        const std::int64_t toEnd = (112 - 3) * 2000;
        for (std::int64_t ms = 0; ms < 4000; ++ms) {
            for (int i = 0; i < c.framesPerMs[ms / 1000]; ++i)
                load.Add(frame, ms * kMs + toEnd, ms * kMs + toEnd, 500000);
        }
        const BusLoadFigures f = load.Sample(c.nowMs * kMs, 500000);
        EXPECT_NEAR(f.percent, c.percent, 1e-9) << c.name;
        EXPECT_NEAR(f.peakPercent, c.peak, 1e-9) << c.name;
        EXPECT_NEAR(f.meanPercent, c.mean, 1e-9) << c.name;
    }
}

// A full bus whose records arrive late, in batches and after a 60 ms stall across a step
// boundary: each frame counts where it was on the bus, so no second reads above 100 %.
TEST(TrueBusLoadTest, AFullBusNeverReadsAbove100PercentHoweverLateItsRecordsArrive) {
    TrueBusLoad load;
    const CanMsg frame = Msg(CAN_EV_RX_STD, 0x123, 8, 0x55);  // 112 bits: 112 us at 1 Mbit/s
    constexpr std::int64_t kLength = 112'000, kToEnd = 109'000;
    for (std::int64_t start = 0; start < 3000 * kMs; start += kLength) {
        const std::int64_t end = start + kToEnd;
        // Delivered at the next millisecond; frames of 940..1000 ms only at 1000 ms.
        std::int64_t arrival = (end / kMs + 1) * kMs;
        if (end >= 940 * kMs && end < 1000 * kMs)
            arrival = 1000 * kMs;
        load.Add(frame, end + 5 * kMs, arrival, 1'000'000);  // the device clock's own origin
    }
    const BusLoadFigures f = load.Sample(2500 * kMs, 1'000'000);
    EXPECT_NEAR(f.percent, 100.0, 0.02);
    EXPECT_LE(f.peakPercent, 100.0 + 1e-9);
    EXPECT_GE(f.peakPercent, 99.98);
}

// A reset forgets everything; the mean then starts at the first sample. No rate, no figures.
TEST(TrueBusLoadTest, ResetAndUnknownRate) {
    TrueBusLoad load;
    load.Add(Msg(CAN_EV_RX_STD, 0x123, 8, 0x55), 0, 0, 500000);
    const BusLoadFigures none = load.Sample(1000 * kMs, 0);
    EXPECT_EQ(none.percent + none.peakPercent + none.meanPercent, 0);
    load.Reset();
    EXPECT_EQ(load.Sample(1000 * kMs, 500000).peakPercent, 0);
    load.Add(Msg(CAN_EV_RX_STD, 0x123, 8, 0x55), 1500 * kMs, 1500 * kMs, 500000);
    EXPECT_NEAR(load.Sample(2000 * kMs, 500000).meanPercent, 0.0224, 1e-9);
}

}  // namespace
