// The simulated adapter on the real clock: its scheduler thread, requests from several threads,
// and the adapters the program registers at start.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "can/frame_bits.h"
#include "devices/default_devices.h"
#include "devices/sim/sim_adapter.h"
#include "platform/error.h"
#include "platform/event.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/support/environment.h"

namespace {

using simtest::OpenDevice;
using simtest::TxMsg;

constexpr std::uint32_t kGenerousWaitMs = 10000;

// Threads of the process named as the adapter's scheduler names its thread. Counting only those
// keeps threads that the runtime starts and ends on its own out of the count.
std::size_t SchedulerThreadCount() {
    std::size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == "vesk-sim-bus")
            ++n;
    }
    return n;
}

// A new thread takes its name a moment after it started; the count is given that moment.
bool SchedulerThreadsBecome(std::size_t expected) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
    while (SchedulerThreadCount() != expected) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Posts the wait request and waits for its completion; false when it did not come in time.
bool WaitForRecord(const OpenDevice& dev, platform::Handle event) {
    if (!platform::DeviceIoControl(dev.Handle(), IOCTL_CAN_WAIT_EVENT, nullptr, 0, nullptr, 0,
                                   nullptr, event) &&
        platform::GetLastError() != platform::kErrorIoPending) {
        return false;
    }
    return platform::WaitForSingleObject(event, kGenerousWaitMs) ==
           platform::WaitResult::kSignalled;
}

class SimRealTimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::string("\\\\.\\SimRealTime.") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        event_ = platform::CreateEvent();
        ASSERT_NE(event_, platform::kNoHandle);
    }
    void TearDown() override {
        platform::CloseHandle(event_);
        platform::UnregisterDevice(path_);
    }

    std::string path_;
    platform::Handle event_ = platform::kNoHandle;
};

TEST_F(SimRealTimeTest, DefaultBusArrivesStampedOnTheDeviceClock) {
    sim::RegisterSimulatedAdapter(path_, sim::Scenario::kDefault);
    auto beforeOpen = std::chrono::steady_clock::now();
    OpenDevice dev(path_);
    ASSERT_TRUE(dev.IsOpen());
    std::uint64_t clock = CanDeviceClock(dev.Info());
    // The device clock when the open began, at the latest: frames may end before Info() came.
    auto sinceOpen = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now() - beforeOpen);
    std::uint64_t opened = clock - static_cast<std::uint64_t>(sinceOpen.count() / 100);
    std::vector<CanMsg> records;
    while (records.size() < 5) {
        ASSERT_TRUE(WaitForRecord(dev, event_));
        auto more = dev.ReadAll();
        records.insert(records.end(), more.begin(), more.end());
    }
    std::uint64_t now = CanDeviceClock(dev.Info());
    std::uint64_t previous = opened;
    for (const CanMsg& m : records) {
        EXPECT_GE(CanMsgTicks(m), previous);
        EXPECT_LE(CanMsgTicks(m), now);
        previous = CanMsgTicks(m);
    }
}

TEST_F(SimRealTimeTest, TransmissionTakesItsTimeOnTheBus) {
    sim::RegisterSimulatedAdapter(path_, sim::Scenario::kQuiet);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(10000), 0);
    std::uint64_t before = CanDeviceClock(dev.Info());
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(dev.Write(TxMsg(0x123, {1, 2, 3, 4, 5, 6, 7, 8})), 0);
    ASSERT_TRUE(WaitForRecord(dev, event_));
    auto elapsed = std::chrono::steady_clock::now() - started;
    auto records = dev.ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, CAN_EV_TX);

    // 109 bits before the end of EOF: 10.9 ms at 10000 bit/s, never less.
    can::Frame f;
    f.id = 0x123;
    f.dlc = 8;
    f.data = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint64_t frameTicks =
        can::BitsToNanoseconds(can::BusBits(f) - can::kIntermissionBits, 10000) / 100;
    EXPECT_GE(CanMsgTicks(records[0]) - before, frameTicks);
    EXPECT_GE(elapsed, std::chrono::nanoseconds(frameTicks * 100));
}

TEST_F(SimRealTimeTest, SchedulerThreadRunsOnlyWhileOpen) {
#if defined(_WIN32)
    GTEST_SKIP() << "the threads are counted by their names in /proc";
#endif
    auto adapter = sim::RegisterSimulatedAdapter(path_, sim::Scenario::kFlood);
    EXPECT_EQ(SchedulerThreadCount(), 0u);
    for (int i = 0; i < 5; ++i) {
        OpenDevice dev(path_);
        ASSERT_TRUE(dev.IsOpen());
        EXPECT_TRUE(SchedulerThreadsBecome(1));
        ASSERT_TRUE(WaitForRecord(dev, event_));
    }
    // Closing joins the thread, so it is gone the moment the handle is closed.
    EXPECT_EQ(SchedulerThreadCount(), 0u);
    EXPECT_GT(adapter->SchedulerCpuTime().count(), 0);

    // Unregistered while open: the handle keeps the adapter, closing it still stops the thread.
    {
        OpenDevice dev(path_);
        platform::UnregisterDevice(path_);
        EXPECT_EQ(dev.SetBaudrate(125000), 0);
        EXPECT_TRUE(SchedulerThreadsBecome(1));
    }
    EXPECT_EQ(SchedulerThreadCount(), 0u);
}

TEST_F(SimRealTimeTest, RequestsFromSeveralThreadsAtOnce) {
    sim::RegisterSimulatedAdapter(path_, sim::Scenario::kFlood);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(1000000), 0);
    ASSERT_EQ(dev.SetMode(CAN_MODE_PELICAN), 0);
    std::atomic<int> done{0};
    std::atomic<int> unexpected{0};
    std::atomic<int> received{0};

    std::thread reader([&] {
        while (done.load() < 3) {
            if (!WaitForRecord(dev, event_))
                break;
            received += static_cast<int>(dev.ReadAll().size());
        }
    });
    auto writer = [&](std::uint32_t base) {
        for (int i = 0; i < 2000; ++i) {
            int r = dev.Write(TxMsg(base + (i & 0xFF), {std::uint8_t(i)}));
            if (r != 0 && r != platform::kErrorNoBuffers)
                ++unexpected;
        }
        ++done;
    };
    std::thread w1(writer, 0x100);
    std::thread w2(writer, 0x7000);
    std::thread commander([&] {
        const std::uint8_t commands[] = {CAN_CMD_ABORT_TX, CAN_CMD_CLEAR_OVERRUN,
                                         CAN_CMD_FORMAT_REPORT_ON, CAN_CMD_FORMAT_REPORT_OFF};
        const std::uint32_t rates[] = {1000000, 500000, 125000};
        for (int i = 0; i < 2000; ++i) {
            int r = dev.Command(commands[i % 4]) | dev.SetAcceptance(i, 0xFFFFFFFF) |
                    dev.SetSoftAcceptance(0, 0) | dev.SetBaudrate(rates[i % 3]) |
                    dev.SetFrameFormat(i & 1);
            if (r != 0)
                ++unexpected;
            if (dev.Info().ident != CAN_DEVICE_IDENT)
                ++unexpected;
        }
        ++done;
    });
    w1.join();
    w2.join();
    commander.join();
    reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(received.load(), 0);
}

TEST_F(SimRealTimeTest, CloseWhileTheBusIsBusyAndAReaderIsWaiting) {
    sim::RegisterSimulatedAdapter(path_, sim::Scenario::kFlood);
    for (int i = 0; i < 10; ++i) {
        auto dev = std::make_unique<OpenDevice>(path_);
        ASSERT_TRUE(dev->IsOpen());
        platform::Handle handle = dev->Handle();
        std::thread reader([&] {
            std::uint8_t bytes[kCanMsgSize];
            while (platform::DeviceIoControl(handle, IOCTL_CAN_READ, nullptr, 0, bytes, kCanMsgSize,
                                             nullptr)) {
            }
        });
        ASSERT_TRUE(WaitForRecord(*dev, event_));
        dev.reset();  // the reader's next request fails with kErrorInvalidHandle and it ends
        reader.join();
    }
}

class DefaultDevicesTest : public ::testing::Test {
  protected:
    void SetUp() override { Forget(); }
    void TearDown() override {
        Forget();
        testsupport::UnsetVariable(sim::kScenarioEnvironmentVariable);
    }
    static void Forget() {
        for (int i = 0; i < kAdapterCount; ++i)
            platform::UnregisterDevice(AdapterPath(i));
    }
    static std::shared_ptr<sim::SimAdapter> Adapter(int i) {
        return std::dynamic_pointer_cast<sim::SimAdapter>(platform::FindDevice(AdapterPath(i)));
    }
};

TEST_F(DefaultDevicesTest, FourIndependentAdaptersRegisteredOnceTheFirstSimulated) {
    EXPECT_EQ(AdapterPath(0), "\\\\.\\Kvaro");
    EXPECT_EQ(AdapterPath(3), "\\\\.\\Kvaro3");
    testsupport::UnsetVariable(sim::kScenarioEnvironmentVariable);
    RegisterDefaultDevices();
    std::set<platform::Device*> distinct;
    // The first adapter is always simulated; the others are too on a host without CAN interfaces.
    ASSERT_TRUE(Adapter(0));
    for (int i = 0; i < kAdapterCount; ++i) {
        auto device = platform::FindDevice(AdapterPath(i));
        ASSERT_TRUE(device) << i;
        if (auto adapter = Adapter(i)) {
            EXPECT_EQ(adapter->GetScenario(), sim::Scenario::kDefault);
            EXPECT_EQ(adapter->GetClockMode(), sim::ClockMode::kRealTime);
        }
        distinct.insert(device.get());
    }
    EXPECT_EQ(distinct.size(), 4u);

    OpenDevice first(AdapterPath(0));
    ASSERT_TRUE(first.IsOpen());
    ASSERT_EQ(first.SetBaudrate(125000), 0);
    RegisterDefaultDevices();  // must not replace an open adapter
    for (int i = 0; i < kAdapterCount; ++i)
        EXPECT_EQ(distinct.count(platform::FindDevice(AdapterPath(i)).get()), 1u);
    OpenDevice again(AdapterPath(0));
    EXPECT_EQ(again.OpenError(), platform::kErrorBusy);
    if (Adapter(1)) {
        OpenDevice second("\\\\.\\KVARO1");  // its own device, path without regard to case
        EXPECT_TRUE(second.IsOpen());
    }
    OpenDevice missing("\\\\.\\Kvaro4");
    EXPECT_EQ(missing.OpenError(), platform::kErrorNotFound);
}

TEST_F(DefaultDevicesTest, ScenarioComesFromTheEnvironmentAndOtherDevicesStay) {
    auto mine = sim::RegisterSimulatedAdapter(AdapterPath(2), sim::Scenario::kQuiet);
    testsupport::SetVariable(sim::kScenarioEnvironmentVariable, "flood");
    RegisterDefaultDevices();
    EXPECT_EQ(Adapter(0)->GetScenario(), sim::Scenario::kFlood);
    EXPECT_EQ(Adapter(2), mine);

    Forget();
    testsupport::SetVariable(sim::kScenarioEnvironmentVariable, "no-such-scenario");
    RegisterDefaultDevices();
    EXPECT_EQ(Adapter(0)->GetScenario(), sim::Scenario::kDefault);

    auto replaced = sim::RegisterSimulatedAdapter(AdapterPath(1), sim::Scenario::kQuiet);
    EXPECT_EQ(Adapter(1), replaced);
    EXPECT_EQ(replaced->GetScenario(), sim::Scenario::kQuiet);
}

}  // namespace
