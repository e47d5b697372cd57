// The session's recording: what reaches the log goes into the trace, across closing and opening
// the channel, placed in wall-clock time by each record's own tick count.
#include "monitor/monitor_session.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "monitor/trace_clock.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_device.h"

namespace fs = std::filesystem;
using testsupport::Frame;
using testsupport::RegisteredDevice;

namespace {

TEST(TraceClockTest, RecordsArePlacedByTheirTicks) {
    struct Case {
        std::uint64_t ticks, ticksAtOpen;
        std::uint32_t ticksPerMs;
        std::int64_t wallAtOpen, expected;
    };
    constexpr std::int64_t kWall = 1'700'000'000'000'000'000;
    const Case cases[] = {
        {1'001'250, 1'000'000, 1250, kWall, kWall + 1'000'000},       // 1 ms later
        {1'000'001, 1'000'000, 1250, kWall, kWall + 800},             // one tick: 800 ns
        {999'999, 1'000'000, 1250, kWall, kWall - 800},               // stamped before the open
        {5'000'000'010, 5'000'000'000, 10000, kWall, kWall + 1'000},  // 100 ns ticks
        // A device clock that reads as the wall clock (SocketCAN) is the wall clock itself.
        {17'000'000'000'000'010, 17'000'000'000'000'000, 10000, kWall + 123'456, kWall + 1'000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordWallNs(c.ticks, c.ticksAtOpen, c.ticksPerMs, c.wallAtOpen), c.expected)
            << c.ticks;
    }
}

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Microseconds since the epoch of a candump log line "(SECONDS.MICROSECONDS) ...".
std::int64_t LineMicros(const std::string& line) {
    const auto dot = line.find('.');
    return std::stoll(line.substr(1, dot - 1)) * 1'000'000 + std::stoll(line.substr(dot + 1, 6));
}

class SessionRecording : public testing::Test {
  protected:
    void OpenOn(RegisteredDevice& device) {
        int error = 0;
        ASSERT_EQ(CanOpen(session.Channel(), device.path(), 0, 0, &error), 1) << error;
    }
    void Deliver(RegisteredDevice& device, std::vector<CanMsg> records) {
        device->PushBurst(records);
        ASSERT_TRUE(device->WaitUntil([&] { return device->ReadsLeft() == 0; }));
    }

    MonitorSession session;
};

TEST_F(SessionRecording, EverythingTheLogGetsIsRecordedAcrossCloseAndReopen) {
    const fs::path file = fs::path(testing::TempDir()) /
                          ("vesk-session-" + std::to_string(testsupport::ProcessId()) + ".log");
    std::string error;
    session.SetAdapterName("sim0");
    ASSERT_TRUE(session.StartRecording(file.string(), error)) << error;

    RegisteredDevice adapter;
    adapter->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 1'000'000);  // 1250 ticks per ms
    OpenOn(adapter);
    CanMsg sent = Frame(CAN_EV_TX, 0x7ff, 1'000'000 + 2 * 1250, 1);
    sent.data[0] = 0xab;
    CanMsg busError{};
    busError.type = CAN_EV_BUS_ERROR;
    busError.ticksLow = 1'000'000 + 3 * 1250 + 500;  // 400 us past a whole millisecond
    Deliver(adapter, {Frame(CAN_EV_RX, 0x123, 1'000'000 + 1250, 2), sent, busError});
    CanClose(session.Channel());

    OpenOn(adapter);  // a new open: its own wall clock
    Deliver(adapter, {Frame(CAN_EV_RX, 0x456, 1'000'000 + 10 * 1250, 0)});
    CanClose(session.Channel());
    session.StopRecording();

    const auto lines = Lines(file);
    fs::remove(file);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find(" sim0 123#"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" sim0 7FF#AB T"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" sim0 200000"), std::string::npos) << lines[2];  // an error frame
    EXPECT_NE(lines[3].find(" sim0 456# R"), std::string::npos) << lines[3];
    // The spacing is the ticks', to the microsecond, not the log's milliseconds.
    EXPECT_EQ(LineMicros(lines[1]) - LineMicros(lines[0]), 1000);
    // 1400 us, which the log's milliseconds cannot give; 1399 or 1400 in whole microseconds,
    // whatever fraction of a microsecond the open's clock had.
    const std::int64_t spacing = LineMicros(lines[2]) - LineMicros(lines[1]);
    EXPECT_TRUE(spacing == 1399 || spacing == 1400) << spacing;
    // Each open places its records from its own wall clock: near now.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    EXPECT_LT(std::abs(LineMicros(lines[0]) - now), 60'000'000);
    EXPECT_GE(LineMicros(lines[3]), LineMicros(lines[2]));
}

// Every event the channel delivers reaches the overview and the exact load, also while the log
// gets nothing ("Daten anzeigen" off).
TEST_F(SessionRecording, EveryEventReachesTheOverviewAndTheExactLoad) {
    RegisteredDevice adapter;
    adapter->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 1'000'000);
    OpenOn(adapter);
    ASSERT_EQ(CanSetBaudrate(session.Channel(), 1'000'000), 1);
    CanEnableNotify(session.Channel(), 0);
    const std::int64_t start = MonitorSession::ArrivalClockNs();
    const CanMsg received = Frame(CAN_EV_RX_STD, 0x123, 1'000'000 + 1250, 8);
    const CanMsg sent = Frame(CAN_EV_TX_STD, 0x123, 1'000'000 + 3 * 1250, 8);
    CanMsg busError{};
    busError.type = CAN_EV_BUS_ERROR;
    Deliver(adapter, {received, sent, busError});
    CanClose(session.Channel());

    std::vector<OverviewRow> rows;
    OverviewEvents events;
    session.Overview().Snapshot(MonitorSession::ArrivalClockNs(), rows, events);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].count, 2u);
    EXPECT_EQ(rows[0].directions, kOverviewReceived | kOverviewSent);
    EXPECT_NEAR(rows[0].lastIntervalMs, 2.0, 1e-9);
    EXPECT_EQ(events.counts[0], 1u);
    const int bits = TrueBusLoad::RecordBits(received) + TrueBusLoad::RecordBits(sent) +
                     TrueBusLoad::kErrorFrameBits;
    EXPECT_NEAR(session.ExactLoad(start + 2'000'000'000).peakPercent, bits * 1e-4, 1e-9);
    EXPECT_FALSE(session.Log().HasPending());
}

}  // namespace
