// Devices by path: the registry, exclusive opening, control requests, the overlapped wait.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/handle.h"
#include "tests/support/gate.h"

namespace {

// Echoes its input, counts what reaches it, and can hold a request until released.
class EchoDevice : public platform::Device {
  public:
    int Open() override {
        ++opens;
        return openError;
    }
    void Close() override {
        ++closes;
        closedWhileBusy = closedWhileBusy || busy;
    }
    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override {
        ++requests;
        busy = true;
        if (code == kHold) {
            entered.Open();
            release.Wait();
        }
        std::size_t n = std::min(in.size(), out.size());
        std::copy_n(in.begin(), n, out.begin());
        *returned = static_cast<std::uint32_t>(n);
        busy = false;
        return code == kFail ? platform::kErrorIo : 0;
    }
    int ControlOverlapped(std::uint32_t code,
                          std::shared_ptr<platform::Event> completion) override {
        if (code == kFail)
            return platform::kErrorIo;
        if (code == kAtOnce)
            return 0;
        pending = std::move(completion);
        return platform::kErrorIoPending;
    }
    void CancelIo() override {
        ++cancels;
        pending.reset();
    }

    static constexpr std::uint32_t kHold = 1, kFail = 2, kAtOnce = 3, kLater = 4;
    std::atomic<int> opens{0}, closes{0}, requests{0}, cancels{0};
    std::atomic<bool> busy{false}, closedWhileBusy{false};
    int openError = 0;
    std::shared_ptr<platform::Event> pending;
    testsupport::Gate entered, release;
};

class Devices : public ::testing::Test {
  protected:
    void SetUp() override {
        handlesBefore = platform::OpenHandleCount();
        platform::RegisterDevice(kPath, device);
    }
    void TearDown() override {
        platform::UnregisterDevice(kPath);
        EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    }

    static constexpr const char* kPath = "\\\\.\\PlatformTestDevice";
    std::shared_ptr<EchoDevice> device = std::make_shared<EchoDevice>();
    std::size_t handlesBefore = 0;
};

}  // namespace

TEST_F(Devices, AnUnknownPathIsAMissingFile) {
    EXPECT_EQ(platform::CreateFile("\\\\.\\NoSuchDevice"), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNotFound);
    EXPECT_EQ(platform::CreateFile(nullptr), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
}

TEST_F(Devices, OpeningIsExclusiveAndIgnoresCase) {
    platform::Handle h = platform::CreateFile("\\\\.\\platformtestDEVICE");
    ASSERT_NE(h, platform::kNoHandle);
    EXPECT_EQ(platform::CreateFile(kPath), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorBusy);
    platform::CloseHandle(h);
    EXPECT_EQ(device->closes, 1);

    platform::Handle again = platform::CreateFile(kPath);
    EXPECT_NE(again, platform::kNoHandle);
    platform::CloseHandle(again);
}

TEST_F(Devices, AFailingOpenReleasesThePath) {
    device->openError = EACCES;
    EXPECT_EQ(platform::CreateFile(kPath), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), EACCES);
    device->openError = 0;
    platform::Handle h = platform::CreateFile(kPath);
    EXPECT_NE(h, platform::kNoHandle);
    platform::CloseHandle(h);
}

TEST_F(Devices, ARequestCompletesBeforeItReturns) {
    platform::Handle h = platform::CreateFile(kPath);
    const std::uint8_t in[3] = {1, 2, 3};
    std::uint8_t out[3] = {};
    std::uint32_t returned = 99;
    EXPECT_TRUE(platform::DeviceIoControl(h, 7, in, 3, out, 3, &returned));
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(out[2], 3);

    EXPECT_FALSE(platform::DeviceIoControl(h, EchoDevice::kFail, in, 3, out, 3, &returned));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorIo);
    EXPECT_EQ(returned, 0u) << "a failed request returns no bytes";
    platform::CloseHandle(h);
}

TEST_F(Devices, NoRequestReachesTheDeviceAfterItsHandleClosed) {
    platform::Handle h = platform::CreateFile(kPath);
    platform::CloseHandle(h);
    int before = device->requests;
    EXPECT_FALSE(platform::DeviceIoControl(h, 7, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
    EXPECT_FALSE(platform::CancelIo(h));
    EXPECT_EQ(device->requests, before);
}

TEST_F(Devices, CloseWaitsForARequestUnderWay) {
    platform::Handle h = platform::CreateFile(kPath);
    std::thread requester(
        [h] { platform::DeviceIoControl(h, EchoDevice::kHold, nullptr, 0, nullptr, 0, nullptr); });
    ASSERT_TRUE(device->entered.Wait());
    std::thread closer([h] { platform::CloseHandle(h); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // give a wrong close its chance
    device->release.Open();
    requester.join();
    closer.join();
    EXPECT_EQ(device->closes, 1);
    EXPECT_FALSE(device->closedWhileBusy);
}

TEST_F(Devices, TheOverlappedWaitSignalsItsEventOnCompletion) {
    platform::Handle h = platform::CreateFile(kPath);
    platform::Handle event = platform::CreateEvent();

    EXPECT_TRUE(
        platform::DeviceIoControl(h, EchoDevice::kAtOnce, nullptr, 0, nullptr, 0, nullptr, event));
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), platform::WaitResult::kSignalled)
        << "a request completed at once signals too";

    EXPECT_FALSE(
        platform::DeviceIoControl(h, EchoDevice::kLater, nullptr, 0, nullptr, 0, nullptr, event));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorIoPending);
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), platform::WaitResult::kTimeout);
    device->pending->Set();
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), platform::WaitResult::kSignalled);

    EXPECT_FALSE(
        platform::DeviceIoControl(h, EchoDevice::kFail, nullptr, 0, nullptr, 0, nullptr, event));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorIo);
    EXPECT_FALSE(
        platform::DeviceIoControl(h, EchoDevice::kLater, nullptr, 0, nullptr, 0, nullptr, h));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter)
        << "the event handle must be an event";

    platform::CloseHandle(event);
    platform::CloseHandle(h);
}

TEST_F(Devices, ClosingCancelsThePendingWait) {
    platform::Handle h = platform::CreateFile(kPath);
    platform::Handle event = platform::CreateEvent();
    platform::DeviceIoControl(h, EchoDevice::kLater, nullptr, 0, nullptr, 0, nullptr, event);
    ASSERT_NE(device->pending, nullptr);
    EXPECT_TRUE(platform::CancelIo(h));
    EXPECT_EQ(device->pending, nullptr);
    platform::CloseHandle(h);
    EXPECT_GE(device->cancels, 2) << "closing cancels too";
    platform::CloseHandle(event);
}

TEST_F(Devices, ReplacingARegisteredDeviceLeavesTheOpenHandleOnTheOldOne) {
    platform::Handle h = platform::CreateFile(kPath);
    auto replacement = std::make_shared<EchoDevice>();
    platform::RegisterDevice(kPath, replacement);
    EXPECT_EQ(platform::FindDevice(kPath), replacement);
    platform::DeviceIoControl(h, 7, nullptr, 0, nullptr, 0, nullptr);
    EXPECT_EQ(device->requests, 1);
    EXPECT_EQ(replacement->requests, 0);
    platform::CloseHandle(h);
    EXPECT_EQ(device->closes, 1);
}
