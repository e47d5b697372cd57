#include "trace/trace_recorder.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "tests/support/blocking_call_watchdog.h"
#include "tests/support/environment.h"
#include "tests/support/test_record.h"

namespace {

namespace fs = std::filesystem;

// Holds the recorder's writer thread at the start of its passes over the queue.
class WriterGate {
  public:
    void Enter() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++passes_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
    }
    void WaitForPass(int pass) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return passes_ >= pass; });
    }
    void SetHeld(bool held) {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = held;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
    bool held_ = true;
};

class TraceRecorderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vesk-trace-" + std::to_string(testsupport::ProcessId()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    trace::RecorderOptions Options(const char* name) const {
        trace::RecorderOptions o;
        o.path = (folder_ / name).string();
        o.interfaceName = "can0";
        return o;
    }

    fs::path folder_;
};

CanMsg Frame(std::uint32_t id) {
    return testsupport::Record(
        {.type = CAN_EV_RX_STD, .id = id, .data = {static_cast<std::uint8_t>(id)}});
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The line of Frame(id) at a whole second, or with id 0 the marker of frames lost then.
std::string LogLine(std::int64_t seconds, std::uint32_t id) {
    char time[32], frame[32];
    std::snprintf(time, sizeof time, "(%010lld.000000) can0 ", static_cast<long long>(seconds));
    std::snprintf(frame, sizeof frame, "%03X#%02X R", id, id & 0xFF);
    return time + std::string(id == 0 ? "20000004#0001000000000000 R" : frame);
}

// The writer is held while the producer fills the queue, then drains it; what did not fit is
// counted and marked at the first lost record's time, before the next one that got through, or
// at the end when nothing else came.
TEST_F(TraceRecorderTest, FullQueueDropsAndMarksTheLossWhereItHappened) {
    struct Case {
        const char* name;
        std::uint32_t capacity, held, after;  // records pushed while held and after
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"middle.log",
         4,
         7,
         2,
         {LogLine(1, 1), LogLine(2, 2), LogLine(3, 3), LogLine(4, 4), LogLine(5, 0), LogLine(8, 8),
          LogLine(9, 9)}},
        {"end.log", 1, 2, 0, {LogLine(1, 1), LogLine(2, 0)}},
    };
    constexpr std::int64_t kSecond = 1'000'000'000;
    for (const Case& c : cases) {
        WriterGate gate;
        trace::RecorderOptions options = Options(c.name);
        options.queueCapacity = c.capacity;
        options.beforeDrain = [&gate] { gate.Enter(); };
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        ASSERT_TRUE(recorder) << error;
        gate.WaitForPass(1);  // the writer is held before its first pass
        for (std::uint32_t i = 1; i <= c.held; ++i)
            EXPECT_EQ(recorder->Push(Frame(i), i * kSecond), i <= c.capacity) << c.name << i;
        gate.SetHeld(false);
        gate.WaitForPass(2);  // the first pass took what fitted
        for (std::uint32_t i = c.held + 1; i <= c.held + c.after; ++i)
            EXPECT_TRUE(recorder->Push(Frame(i), i * kSecond)) << c.name << i;
        recorder->Stop();
        EXPECT_FALSE(recorder->Failed()) << c.name;
        EXPECT_EQ(recorder->Lost(), c.held - c.capacity) << c.name;
        EXPECT_EQ(recorder->EventsWritten(), c.capacity + c.after) << c.name;
        EXPECT_EQ(Lines(options.path), c.lines) << c.name;
    }
}

TEST_F(TraceRecorderTest, AscIsCompleteAfterStopAndTakesTheRateOfEachRecord) {
    trace::RecorderOptions options = Options("run.asc");
    options.startNs = 1'000'000'000;
    std::string error;
    auto recorder = trace::TraceRecorder::Start(options, error);
    ASSERT_TRUE(recorder) << error;
    EXPECT_TRUE(recorder->Push(Frame(1), 2'000'000'000));
    recorder->SetBitrate(500000);
    EXPECT_TRUE(recorder->Push(Frame(2), 3'000'000'000));
    CanMsg wake{};
    wake.type = CAN_EV_WAKE_UP;
    EXPECT_TRUE(recorder->Push(wake, 3'000'000'000));  // not a trace event: ignored
    recorder->Stop();
    recorder->Stop();
    EXPECT_FALSE(recorder->Push(Frame(3), 4'000'000'000));

    EXPECT_EQ(recorder->EventsWritten(), 2u);
    EXPECT_EQ(recorder->Lost(), 1u);
    const std::vector<std::string> lines = Lines(options.path);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0].rfind("date ", 0), 0u);
    EXPECT_EQ(lines[4], "   0.000000 Start of measurement");
    EXPECT_NE(lines[5].find("   1.000000 1  1 "), std::string::npos) << lines[5];
    EXPECT_NE(lines[5].find(" Length = 0 "), std::string::npos) << lines[5];
    EXPECT_NE(lines[6].find("   2.000000 1  2 "), std::string::npos) << lines[6];
    EXPECT_NE(lines[6].find(" Length = 112000 "), std::string::npos) << lines[6];
    EXPECT_EQ(lines[7], "End TriggerBlock");
}

TEST_F(TraceRecorderTest, WriteErrorStopsTheRecordingWithTheSystemsReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "no device that is always full";
#else
    const fs::path full = folder_ / "full.log";
    fs::create_symlink("/dev/full", full);
    trace::RecorderOptions options = Options("full.log");
    std::string error;
    auto recorder = trace::TraceRecorder::Start(options, error);
    ASSERT_TRUE(recorder) << error;
    EXPECT_TRUE(recorder->Push(Frame(1), 0));
    recorder->Stop();
    EXPECT_TRUE(recorder->Failed());
    EXPECT_EQ(recorder->EventsWritten(), 0u);
    EXPECT_EQ(recorder->Lost(), 1u);
    const std::string text = recorder->FailureText();
    EXPECT_NE(text.find(options.path), std::string::npos) << text;
    EXPECT_NE(text.find("abgebrochen: " + std::string(std::strerror(ENOSPC))), std::string::npos)
        << text;
    EXPECT_FALSE(recorder->Push(Frame(2), 0));
    EXPECT_EQ(recorder->Lost(), 2u);
#endif
}

TEST_F(TraceRecorderTest, StartRefusesWhatItCannotWrite) {
    struct Case {
        std::string path;
        std::string text;
    };
    std::vector<Case> cases = {
        {(folder_ / "missing" / "x.log").string(), "kann nicht angelegt werden: "},
        {(folder_ / "x.csv").string(), "keinen bekannten Dateityp"},
    };
#if !defined(_WIN32)  // FIFOs and a device that is always full
    fs::create_symlink("/dev/full", folder_ / "full.asc");
    ASSERT_EQ(::mkfifo((folder_ / "fifo.log").c_str(), 0600), 0);
    // A FIFO nobody reads fails at once rather than holding the open.
    cases.push_back({(folder_ / "fifo.log").string(),
                     "kann nicht angelegt werden: " + platform::ErrorText(ENXIO)});
    cases.push_back(
        {(folder_ / "full.asc").string(), "wurde abgebrochen: "});  // no room for the header
#endif
    for (const Case& c : cases) {
        trace::RecorderOptions options;
        options.path = c.path;
        std::string error;
        testsupport::BlockingCallWatchdog watchdog;
        EXPECT_EQ(trace::TraceRecorder::Start(options, error), nullptr) << c.path;
        EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
}

// Stopping while the producer still pushes: every record is either written or counted as lost,
// and the file holds exactly the written ones (plus markers for losses in the queue).
TEST_F(TraceRecorderTest, StopWhileAProducerPushes) {
    trace::RecorderOptions options = Options("race.log");
    options.queueCapacity = 256;
    std::string error;
    auto recorder = trace::TraceRecorder::Start(options, error);
    ASSERT_TRUE(recorder) << error;
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::uint64_t pushed = 0;
    std::thread producer([&] {
        for (std::uint32_t i = 0; !done.load(); ++i) {
            recorder->Push(Frame(i & 0x7FF), i);
            ++pushed;
            if (i == 1000)
                started.store(true);
        }
    });
    while (!started.load())
        std::this_thread::yield();
    recorder->Stop();
    done.store(true);
    producer.join();

    EXPECT_EQ(recorder->EventsWritten() + recorder->Lost(), pushed);
    std::size_t frames = 0;
    for (const std::string& line : Lines(options.path))
        frames += line.find(" can0 20000004#") == std::string::npos ? 1 : 0;
    EXPECT_EQ(frames, recorder->EventsWritten());
}

}  // namespace
