// The system's devices on Windows: a path no in-process device claims goes to CreateFileA and
// DeviceIoControl. A scripted stand-in for the driver answers the control codes in place of the
// system calls, while the waits (GetOverlappedResult, the thread pool's wait on the request's
// event) are the system's own, so buffered requests, the overlapped wait and its cancelling go
// through the request path as they would to the driver.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/handle.h"
#include "platform/host_device_calls.h"

#include "platform/windows_headers.h"

namespace {

constexpr std::uint32_t kEchoCode = 0x222000;  // buffered: answers its input reversed
constexpr std::uint32_t kWaitCode = 0x222004;  // overlapped: pends until the script completes it
constexpr ULONG_PTR kStatusPending = 0x103;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;

// The stand-in driver: one device, whose wait request the test completes by hand.
struct StandIn {
    std::mutex mutex;
    OVERLAPPED* pendingWait = nullptr;
    std::atomic<int> opens{0}, cancels{0}, closes{0};
    void* const handle = reinterpret_cast<void*>(0x5eed);

    // What the driver does when its request completes: status and count, then the event.
    void Complete(ULONG_PTR status) {
        std::lock_guard lock(mutex);
        if (pendingWait == nullptr)
            return;
        pendingWait->InternalHigh = 0;
        pendingWait->Internal = status;
        ::SetEvent(pendingWait->hEvent);
        pendingWait = nullptr;
    }
};
StandIn* g_standIn = nullptr;

void* StandInOpen(const char* path) {
    if (std::strcmp(path, "\\\\.\\Kvaro") != 0) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    ++g_standIn->opens;
    return g_standIn->handle;
}

int StandInControl(void*, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                   std::uint32_t outSize, std::uint32_t* returned, void* overlapped) {
    auto* ov = static_cast<OVERLAPPED*>(overlapped);
    if (code == kEchoCode && outSize >= inSize) {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        for (std::uint32_t i = 0; i < inSize; ++i)
            static_cast<std::uint8_t*>(out)[i] = bytes[inSize - 1 - i];
        *returned = inSize;
        ov->Internal = 0;
        ov->InternalHigh = inSize;
        return TRUE;
    }
    if (code == kWaitCode) {
        std::lock_guard lock(g_standIn->mutex);
        ov->Internal = kStatusPending;
        g_standIn->pendingWait = ov;
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

int StandInCancel(void*, void*) {
    ++g_standIn->cancels;
    g_standIn->Complete(kStatusCancelled);
    return TRUE;
}

int StandInClose(void*) {
    ++g_standIn->closes;
    return TRUE;
}

class HostDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        g_standIn = &standIn;
        previous = platform::win32::SetDeviceCalls(
            {StandInOpen, StandInControl, StandInCancel, StandInClose});
    }
    void TearDown() override {
        platform::win32::SetDeviceCalls(previous);
        g_standIn = nullptr;
    }
    StandIn standIn;
    platform::win32::DeviceCalls previous{};
};

// Without a driver the open fails with the system's code and the system's text for it, which
// the channel's open failure box shows.
TEST(HostDeviceWithoutDriver, OpenGivesTheSystemsText) {
    EXPECT_EQ(platform::CreateFile("\\\\.\\Kvaro"), platform::kNoHandle);
    const int error = platform::GetLastError();
    EXPECT_EQ(error, platform::kErrorNotFound);
    wchar_t wide[256] = {};
    ASSERT_GT(::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(error), 0, wide, 256, nullptr),
              0u);
    const std::string text = platform::ErrorText(error);
    EXPECT_EQ(text.find("Unbekannter Fehler"), std::string::npos) << text;
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}

TEST_F(HostDevice, BufferedRequestsAnswerBeforeTheyReturn) {
    const platform::Handle device = platform::CreateFile("\\\\.\\Kvaro");
    ASSERT_NE(device, platform::kNoHandle);
    const std::uint8_t in[3] = {1, 2, 3};
    std::uint8_t out[3] = {};
    std::uint32_t returned = 0;
    ASSERT_TRUE(platform::DeviceIoControl(device, kEchoCode, in, 3, out, 3, &returned));
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[2], 1);
    // A code the driver refuses: its code, not success.
    EXPECT_FALSE(platform::DeviceIoControl(device, 0x222FFC, in, 3, out, 3, &returned));
    EXPECT_EQ(platform::GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(platform::CloseHandle(device));
    EXPECT_EQ(standIn.closes, 1);
}

TEST_F(HostDevice, TheWaitRequestSignalsItsEventWhenTheDriverCompletesIt) {
    const platform::Handle device = platform::CreateFile("\\\\.\\Kvaro");
    const platform::Handle event = platform::CreateEvent();
    ASSERT_NE(device, platform::kNoHandle);
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(
            platform::DeviceIoControl(device, kWaitCode, nullptr, 0, nullptr, 0, nullptr, event));
        ASSERT_EQ(platform::GetLastError(), platform::kErrorIoPending);
        EXPECT_EQ(platform::WaitForSingleObject(event, 0), platform::WaitResult::kTimeout);
        standIn.Complete(0);
        EXPECT_EQ(platform::WaitForSingleObject(event, 5000), platform::WaitResult::kSignalled)
            << "round " << round;
    }
    EXPECT_EQ(standIn.cancels, 0);
    platform::CloseHandle(event);
    platform::CloseHandle(device);
}

// Cancelling, and closing with the request pending, give the request back to the system before
// they return, and its event stays unsignalled.
TEST_F(HostDevice, CancelAndCloseEndThePendingWaitWithoutSignalling) {
    for (const bool byClose : {false, true}) {
        const platform::Handle device = platform::CreateFile("\\\\.\\Kvaro");
        const platform::Handle event = platform::CreateEvent();
        ASSERT_NE(device, platform::kNoHandle);
        EXPECT_FALSE(
            platform::DeviceIoControl(device, kWaitCode, nullptr, 0, nullptr, 0, nullptr, event));
        ASSERT_EQ(platform::GetLastError(), platform::kErrorIoPending);
        if (byClose) {
            EXPECT_TRUE(platform::CloseHandle(device));
        } else {
            EXPECT_TRUE(platform::CancelIo(device));
        }
        EXPECT_EQ(standIn.cancels, byClose ? 2 : 1);
        {
            std::lock_guard lock(standIn.mutex);
            EXPECT_EQ(standIn.pendingWait, nullptr) << "the driver still holds the request";
        }
        EXPECT_EQ(platform::WaitForSingleObject(event, 100), platform::WaitResult::kTimeout);
        platform::CloseHandle(event);
        if (!byClose)
            platform::CloseHandle(device);
    }
}

}  // namespace
