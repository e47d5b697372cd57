// What the scenarios put on the bus, measured on the hand-driven clock.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "can/frame_bits.h"
#include "devices/sim/sim_driver.h"
#include "tests/devices/sim/device_requests.h"

namespace {

struct Measured {
    std::vector<sim::BusTraffic> traffic;
    double busyFraction = 0;
};

// Runs a scenario for `duration` at `baud` with the adapter open, and checks what holds for any
// bus: no two frames overlap, and each takes exactly its bits at the baud rate.
Measured RunScenario(sim::Scenario scenario, std::uint32_t baud, sim::Nanos duration,
                     const std::string& path) {
    sim::SimDriver driver(scenario);
    driver.Register(path);
    Measured m;
    {
        simtest::OpenDevice dev(path);
        EXPECT_EQ(dev.SetBaudrate(baud), 0);
        driver.Advance(duration);
        m.traffic = driver.TakeBusTraffic();
    }
    platform::UnregisterDevice(path);
    sim::Nanos busy = 0;
    for (std::size_t i = 0; i < m.traffic.size(); ++i) {
        const auto& t = m.traffic[i];
        if (i > 0) {
            EXPECT_GE(t.start, m.traffic[i - 1].end) << i;
        }
        if (!t.corrupted) {
            EXPECT_EQ(t.end - t.start, can::BitsToNanoseconds(can::BusBits(t.frame), baud));
        }
        busy += t.end - t.start;
    }
    m.busyFraction = static_cast<double>(busy) / static_cast<double>(duration);
    return m;
}

TEST(SimScenario, DefaultIsALivelyBusOfPeriodicNodes) {
    Measured m =
        RunScenario(sim::Scenario::kDefault, 125000, 10 * sim::kSecond, "\\\\.\\SimScenario.a");
    std::map<std::pair<std::uint32_t, bool>, int> count;
    auto frames = [&](std::uint32_t id, bool rtr = false) { return count[{id, rtr}]; };
    int errors = 0;
    int extended = 0;
    for (const auto& t : m.traffic) {
        if (t.corrupted) {
            ++errors;
            continue;
        }
        ++count[{t.frame.id, t.frame.rtr}];
        extended += t.frame.extended;
    }
    // Every 10 ms, 100 ms, 200 ms, 250 ms, 500 ms and 1 s over 10 seconds.
    EXPECT_NEAR(frames(0x010), 1000, 1);
    EXPECT_NEAR(frames(0x0C1), 100, 1);
    EXPECT_NEAR(frames(0x2A0), 50, 1);
    EXPECT_NEAR(frames(0x3E8), 10, 1);
    EXPECT_NEAR(frames(0x0CF00400), 40, 1);
    EXPECT_NEAR(frames(0x18FEF100), 20, 1);
    EXPECT_NEAR(extended, 60, 2);
    // A node asks for 0x301 twice a second, another one answers.
    EXPECT_NEAR(frames(0x301, true), 20, 1);
    EXPECT_EQ(frames(0x301), frames(0x301, true));
    EXPECT_GE(errors, 1);
    EXPECT_LE(errors, 4);
    EXPECT_GT(m.busyFraction, 0.02);
    EXPECT_LT(m.busyFraction, 0.15);

    // The data change from one frame to the next.
    int changes = 0;
    const can::Frame* previous = nullptr;
    for (const auto& t : m.traffic) {
        if (t.frame.id != 0x0C1 || t.corrupted)
            continue;
        if (previous && previous->data != t.frame.data)
            ++changes;
        previous = &t.frame;
    }
    EXPECT_GE(changes, 90);
}

TEST(SimScenario, DefaultLoadsTheDefaultRateNoticeably) {
    Measured m =
        RunScenario(sim::Scenario::kDefault, 20000, 10 * sim::kSecond, "\\\\.\\SimScenario.b");
    EXPECT_GT(m.busyFraction, 0.2);
    EXPECT_LT(m.busyFraction, 0.7);
}

TEST(SimScenario, FloodKeepsTheBusBusyBackToBack) {
    Measured m = RunScenario(sim::Scenario::kFlood, 1000000, sim::kSecond, "\\\\.\\SimScenario.c");
    ASSERT_GT(m.traffic.size(), 1u);
    for (std::size_t i = 1; i < m.traffic.size(); ++i) {
        ASSERT_EQ(m.traffic[i].start, m.traffic[i - 1].end) << i;
    }
    EXPECT_GE(m.traffic.size(), 9000u);
    EXPECT_LE(m.traffic.size(), 21000u);
    EXPECT_GT(m.busyFraction, 0.999);
}

TEST(SimScenario, QuietHasNothingOnTheBus) {
    sim::SimDriver driver(sim::Scenario::kQuiet);
    EXPECT_EQ(driver.NextEventTime(), sim::kNever);
    driver.Advance(60 * sim::kSecond);
    EXPECT_TRUE(driver.TakeBusTraffic().empty());
}

TEST(SimScenario, DefaultRecordsMatchTheFramesOnTheBus) {
    const std::string path = "\\\\.\\SimScenario.d";
    sim::SimDriver driver(sim::Scenario::kDefault);
    driver.Register(path);
    simtest::OpenDevice dev(path);
    ASSERT_EQ(dev.SetMode(CAN_MODE_PELICAN), 0);
    driver.Advance(2 * sim::kSecond);
    auto traffic = driver.TakeBusTraffic();
    auto records = dev.ReadAll();
    std::size_t next = 0;
    for (const auto& t : traffic) {
        if (t.corrupted)
            continue;
        // Find the record of this frame: same identifier, stamped where the frame ended.
        while (next < records.size() && records[next].type != CAN_EV_RX)
            ++next;
        ASSERT_LT(next, records.size());
        const CanMsg& r = records[next++];
        EXPECT_EQ(r.id, t.frame.id);
        EXPECT_EQ(r.dlc, t.frame.dlc);
        sim::Nanos frameEnd = t.end - can::BitsToNanoseconds(can::kIntermissionBits, 20000);
        EXPECT_EQ(CanMsgTicks(r), static_cast<std::uint64_t>(frameEnd / 100));
    }
    platform::UnregisterDevice(path);
}

}  // namespace
