// What the replay adapter does beyond the adapter contract: the file's frames on the bus at their
// recorded spacing from the open, exact on the hand-driven clock, looping, the file's bus events,
// the controller's modes and filters, and files it cannot or need not play.
#include "devices/replay/replay_adapter.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "can/frame_bits.h"
#include "can/sja1000_status.h"
#include "devices/sim/sim_driver.h"
#include "platform/error.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/support/blocking_call_watchdog.h"
#include "tests/support/message_box_capture.h"

namespace {

using sim::kMillisecond;
using sim::kSecond;
using sim::Nanos;
using simtest::Frame;

constexpr std::uint32_t kBaud = 125000;
constexpr Nanos kOpenAt = 3 * kSecond;  // the driver's clock has run before the open

// A hand-driven replay of `text`, opened at kOpenAt and (unless told to wait) configured at once
// at kBaud.
class Replay {
  public:
    Replay(const std::string& name, const std::string& text, bool loop = false,
           bool configure = true)
        : path_("\\\\.\\Replay." + name) {
        const std::string file = ::testing::TempDir() + "replay-" + name;
        std::ofstream(file, std::ios::binary) << text;
        driver_ = std::make_unique<sim::SimDriver>(replay::ReplayOptions(file, loop));
        driver_->Register(path_);
        driver_->AdvanceTo(kOpenAt);
        device_ = std::make_unique<simtest::OpenDevice>(path_);
        if (device_->IsOpen() && configure)
            Configure();
    }
    void Configure() {
        EXPECT_EQ(device_->SetBaudrate(kBaud), 0);
        platform::FindDevice(path_)->Configured();
    }
    ~Replay() {
        device_.reset();
        platform::UnregisterDevice(path_);
    }

    bool Quiet() const { return driver_->NextEventTime() == sim::kNever; }
    simtest::OpenDevice& Device() { return *device_; }
    std::vector<CanMsg> RunFor(Nanos duration) {
        driver_->AdvanceTo(kOpenAt + duration);
        return device_->ReadAll();
    }

  private:
    std::string path_;
    std::unique_ptr<sim::SimDriver> driver_;
    std::unique_ptr<simtest::OpenDevice> device_;
};

// How long `frame` keeps the bus, intermission included, or without it (to its end of frame,
// where it is stamped).
Nanos OnBus(const can::Frame& frame, bool intermission = true) {
    return can::BitsToNanoseconds(can::BusBits(frame) - (intermission ? 0 : can::kIntermissionBits),
                                  kBaud);
}

std::vector<std::uint64_t> Ticks(const std::vector<CanMsg>& records) {
    std::vector<std::uint64_t> ticks;
    for (const CanMsg& r : records)
        ticks.push_back(CanMsgTicks(r));
    return ticks;
}

TEST(ReplayAdapter, FramesComeAtTheirRecordedSpacingFromTheOpen) {
    const std::vector<can::Frame> frames = {Frame(0x100, {1, 2}), Frame(0x200, {3}),
                                            Frame(0x050, {}),
                                            Frame(0x7FF, {9, 8, 7, 6, 5, 4, 3, 2})};
    const std::pair<const char*, const char*> cases[] = {
        {"spacing.log",
         "(1700000000.250000) can0 100#0102 R\n"
         "(1700000000.260000) can0 200#03 R\n"
         "(1700000000.260100) vcan1 050# T\n"
         "(1700000001.750300) can0 7FF#0908070605040302\n"},
        {"spacing.asc",
         "base hex  timestamps absolute\n"
         "   5.000000 1  100             Rx   d 2 01 02\n"
         "   5.010000 1  200             Rx   d 1 03\n"
         "   5.010100 1  50              Tx   d 0\n"
         "   6.500300 1  7FF             Rx   d 8 09 08 07 06 05 04 03 02\n"},
    };
    // The first frame starts at the open; 0x200 and 0x7FF keep their distance to its stamp;
    // 0x050 is due while 0x200 is still on the bus and follows it at once.
    const Nanos first = kOpenAt + OnBus(frames[0], false);
    const std::vector<std::uint64_t> expected = {
        sim::NanosToTicks(first), sim::NanosToTicks(first + 10 * kMillisecond),
        sim::NanosToTicks(first + 10 * kMillisecond + OnBus(frames[2])),
        sim::NanosToTicks(first + 1500 * kMillisecond + 300'000)};
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        Replay replay(name, text);
        ASSERT_TRUE(replay.Device().IsOpen());
        const auto records = replay.RunFor(10 * kSecond);
        ASSERT_EQ(records.size(), frames.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].type, CAN_EV_RX);
            EXPECT_EQ(records[i].id, frames[i].id) << i;
            EXPECT_EQ(records[i].dlc, frames[i].dlc) << i;
            EXPECT_EQ(records[i].data[0], frames[i].data[0]) << i;
        }
        EXPECT_EQ(Ticks(records), expected);
        EXPECT_TRUE(replay.Quiet()) << "the bus goes quiet at the end of the file";
    }
}

// A round begins when the last frame of the one before has left the bus.
TEST(ReplayAdapter, LoopStartsOverWhenTheLastFrameIsOver) {
    const std::string text = "(10.000000) can0 100#0102\n(10.004000) can0 200#03\n";
    const Nanos end = kOpenAt + 20 * kMillisecond,
                first = kOpenAt + OnBus(Frame(0x100, {1, 2}), false);
    // The second frame ends 4 ms after the first's stamp; the intermission after it ends the round.
    const Nanos round = 4 * kMillisecond + OnBus(Frame(0x100, {1, 2}));
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        Replay replay(loop ? "loop.log" : "once.log", text, loop);
        std::vector<std::uint64_t> expected;
        for (Nanos t = first; t <= end && (loop || expected.empty()); t += round) {
            for (Nanos stamp : {t, t + 4 * kMillisecond}) {
                if (stamp <= end)
                    expected.push_back(sim::NanosToTicks(stamp));
            }
        }
        EXPECT_EQ(Ticks(replay.RunFor(20 * kMillisecond)), expected);
        EXPECT_EQ(replay.Quiet(), !loop);
    }
}

TEST(ReplayAdapter, BusEventsComeAsTheControllersEvents) {
    namespace sr = can::sja1000;
    struct Expected {
        std::int32_t type;
        std::uint8_t state;  // ES and BS of the status register
        std::uint8_t activity;
    };
    struct Case {
        const char* lines;
        std::vector<Expected> records;
    };
    const Case cases[] = {
        {"1.0 1  ErrorFrame\n", {{CAN_EV_BUS_ERROR, 0, sr::kSrReceiving}}},
        {"1.0 CAN 1 Status:data overrun - 3 frames lost\n",
         {{CAN_EV_OVERRUN, 0, sr::kSrDataOverrun}}},
        {"1.0 CAN 1 Status:arbitration lost\n", {{CAN_EV_ARBITRATION, 0, 0}}},
        {"1.0 CAN 1 Status:chip status warning level\n"
         "1.2 CAN 1 Status:chip status error passive\n"
         "1.4 CAN 1 Status:chip status warning level\n"
         "1.6 CAN 1 Status:chip status error active\n",
         {{CAN_EV_WARNING, sr::kSrErrorStatus, 0},
          {CAN_EV_PASSIVE, sr::kSrErrorStatus, 0},
          {CAN_EV_PASSIVE, sr::kSrErrorStatus, 0},
          {CAN_EV_WARNING, 0, 0}}},
        {"1.0 CAN 1 Status:chip status bus off\n1.2 CAN 1 Status:chip status error active\n",
         {{CAN_EV_WARNING, sr::kSrBusOff | sr::kSrErrorStatus, 0}, {CAN_EV_WARNING, 0, 0}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        Replay replay("events" + std::to_string(n++) + ".asc",
                      std::string("base hex  timestamps absolute\n") + c.lines);
        const auto records = replay.RunFor(kSecond);
        ASSERT_EQ(records.size(), c.records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].type, c.records[i].type) << i;
            EXPECT_EQ(records[i].status & (sr::kSrErrorStatus | sr::kSrBusOff), c.records[i].state)
                << i;
            EXPECT_EQ(records[i].status & c.records[i].activity, c.records[i].activity) << i;
            // Each at its recorded time after the open: 200 ms apart.
            EXPECT_EQ(CanMsgTicks(records[i]),
                      sim::NanosToTicks(kOpenAt + Nanos(i) * 200 * kMillisecond))
                << i;
        }
    }
}

TEST(ReplayAdapter, ModeAndFiltersApplyToTheFilesFrames) {
    const std::string text =
        "(0.000000) can0 100#01\n(0.001000) can0 18DAF110#02\n(0.002000) can0 101#03\n";
    struct Case {
        const char* name;
        std::uint8_t mode;
        std::uint32_t softCode, softMask;
        std::vector<std::uint32_t> ids;
    };
    const Case cases[] = {
        {"basic", CAN_MODE_BASIC, 0, 0, {0x100, 0x101}},  // no 29-bit frames in Basic CAN
        {"pelican", CAN_MODE_PELICAN, 0, 0, {0x100, 0x18DAF110, 0x101}},
        {"soft", CAN_MODE_PELICAN, 0x101, 0x1FFFFFFF, {0x101}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Replay replay(std::string("filter-") + c.name + ".log", text);
        ASSERT_EQ(replay.Device().SetMode(c.mode), 0);
        ASSERT_EQ(replay.Device().SetSoftAcceptance(c.softCode, c.softMask), 0);
        EXPECT_EQ(simtest::Ids(replay.RunFor(kSecond)), c.ids);
    }
}

// The open's 200 ms hold and the settings after it: the file waits for them, so its first frame
// goes out at the chosen rate, through the chosen filters, in the chosen mode.
TEST(ReplayAdapter, TheFileStartsOnceTheOpenerHasConfiguredTheChannel) {
    Replay replay("configure.log", "(0.000000) can0 00000123#01\n(0.001000) can0 200#02\n", false,
                  /*configure=*/false);
    EXPECT_TRUE(replay.RunFor(200 * kMillisecond).empty());
    ASSERT_EQ(replay.Device().SetMode(CAN_MODE_PELICAN), 0);
    replay.Configure();
    const auto records = replay.RunFor(kSecond);
    ASSERT_EQ(simtest::Ids(records), (std::vector<std::uint32_t>{0x123, 0x200}));
    EXPECT_EQ(CanMsgTicks(records[0]), sim::NanosToTicks(kOpenAt + 200 * kMillisecond +
                                                         OnBus(Frame(0x123, {1}, true), false)));
}

TEST(ReplayAdapter, OwnFramesContendWithTheFilesAndNothingIsDropped) {
    Replay replay("contend.log", "(0.000000) can0 100#01\n(0.000000) can0 300#02\n");
    // Ready at the same instant: 0x100 wins, our 0x200 loses to it and goes before 0x300.
    ASSERT_EQ(replay.Device().Write(simtest::TxMsg(0x200, {7})), 0);
    const auto records = replay.RunFor(kSecond);
    EXPECT_EQ(simtest::Types(records),
              (std::vector<std::int32_t>{CAN_EV_ARBITRATION, CAN_EV_RX, CAN_EV_TX, CAN_EV_RX}));
    EXPECT_EQ(simtest::Ids(records), (std::vector<std::uint32_t>{0, 0x100, 0x200, 0x300}));
}

TEST(ReplayAdapter, AFileItCannotReadFailsTheOpenNamingFileAndLine) {
    struct Case {
        const char* name;
        const char* text;  // nullptr: no such file; "|": a FIFO
        int error;
        const char* says;
    };
    const Case cases[] = {
        {"missing.log", nullptr, platform::kErrorNotFound, ""},
#if !defined(_WIN32)  // Windows' file system has no FIFO
        {"fifo.log", "|", platform::kErrorInvalidParameter,
         "benannte Pipe"},  // refused, not waited on for a writer
#endif
        {"broken.log", "(0.000000) can0 100#01\n\nthis is no frame\n",
         platform::kErrorInvalidParameter, "Zeile 3"},
        {"broken.asc", "base hex  timestamps absolute\n1.0 1 zzz Rx d 1 00\n",
         platform::kErrorInvalidParameter, "Zeile 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = ::testing::TempDir() + "replay-" + c.name;
        std::remove(file.c_str());
#if !defined(_WIN32)
        if (c.text && std::string(c.text) == "|") {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        }
#endif
        if (c.text && std::string(c.text) != "|")
            std::ofstream(file, std::ios::binary) << c.text;
        testsupport::BlockingCallWatchdog watchdog;
        testsupport::MessageBoxCapture boxes;
        sim::SimDriver driver(replay::ReplayOptions(file, false));
        driver.Register("\\\\.\\ReplayBroken");
        simtest::OpenDevice device("\\\\.\\ReplayBroken");
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.OpenError(), c.error);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(file), std::string::npos) << boxes.Boxes()[0].text;
        EXPECT_NE(boxes.Boxes()[0].text.find(c.says), std::string::npos) << boxes.Boxes()[0].text;
        platform::UnregisterDevice("\\\\.\\ReplayBroken");
    }
}

TEST(ReplayAdapter, AFileWithNothingToPlayOpensAndStaysQuiet) {
    const std::pair<const char*, const char*> cases[] = {
        {"empty.log", ""},
        {"comments.log", "# recorded nothing\n\n"},
        {"header.asc",
         "date Tue Nov 14 11:13:20.123 pm 2023\nbase hex  timestamps absolute\n"
         "Begin Triggerblock\nEnd TriggerBlock\n"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        Replay replay(name, text, true);
        ASSERT_TRUE(replay.Device().IsOpen()) << replay.Device().OpenError();
        EXPECT_TRUE(replay.RunFor(10 * kSecond).empty());
        EXPECT_TRUE(replay.Quiet());
    }
}

}  // namespace
