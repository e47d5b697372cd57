#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include "channel/can_channel.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/fault_injection.h"
#include "platform/pause_clock.h"
#include "tests/channel/channel_fixture.h"
#include "tests/support/gate.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::Request;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

}  // namespace

TEST(ChannelCreate, StartsClosedWithTheRememberedDefaults) {
    int owner = 0;
    CanChannel* channel = CanCreateChannel(nullptr, &owner, nullptr);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(CanGetBusLoad(channel), 0.0);
    EXPECT_EQ(channel->notify, 1);
    EXPECT_EQ(channel->baudrate, 20000u);
    EXPECT_EQ(channel->accCode, 0xFFFFFFFFu);
    EXPECT_EQ(channel->accMask, 0xFFFFFFFFu);
    EXPECT_EQ(channel->owner, &owner);
    EXPECT_EQ(channel->device, platform::kNoHandle);
    CanDestroyChannel(channel);
}

TEST(ChannelCreate, EveryOperationAcceptsANullChannel) {
    int error = 1234;
    EXPECT_EQ(CanOpen(nullptr, "x", 0, 0, &error), 0);
    EXPECT_EQ(error, 1234) << "a null channel leaves the error code alone";
    CanClose(nullptr);
    CanDestroyChannel(nullptr);
    EXPECT_EQ(CanIsOpen(nullptr), 0);
    EXPECT_EQ(CanGetBusLoad(nullptr), 0.0);
    CanMsg msg{};
    EXPECT_EQ(CanWriteMsg(nullptr, &msg), 0);
    EXPECT_EQ(CanSend(nullptr, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(CanCommand(nullptr, 1), 0);
    EXPECT_EQ(CanSetAcceptance(nullptr, 1, 2), 0);
    EXPECT_EQ(CanSetSoftAcceptance(nullptr, 1, 2), 0);
    EXPECT_EQ(CanSetBaudrate(nullptr, 10000), 0);
    CanResetTime(nullptr);
    CanEnableNotify(nullptr, 0);
    std::uint8_t data[1] = {1};
    EXPECT_EQ(CanStartCyclic(nullptr, 1, 1, 0, 1, data, 10), 0);
    EXPECT_EQ(CanStopCyclic(nullptr, 1), 0);
    CanStopAllCyclic(nullptr);
    EXPECT_EQ(CanFindCyclic(nullptr, 1), nullptr);
}

using ChannelOpen = ChannelTest;

TEST_F(ChannelOpen, SendsModeFormatAndDeviceInfoBeforeTheFirstWait) {
    device->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 12345678);
    // Only the low byte of mode and frame format reaches the device.
    int error = -1;
    ASSERT_EQ(CanOpen(channel, device.path(), 0x101, 0x200, &error), 1);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(device->WaitUntil([&] { return device->WaitPending(); }));

    std::vector<Request> requests = device->Requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests[0].code, IOCTL_CAN_SET_MODE);
    EXPECT_EQ(requests[0].in, Bytes({0x01}));
    EXPECT_EQ(requests[1].code, IOCTL_CAN_SET_FRAME_FORMAT);
    EXPECT_EQ(requests[1].in, Bytes({0x00}));
    EXPECT_EQ(requests[2].code, IOCTL_CAN_GET_DEVICE_INFO);
    EXPECT_THAT(requests[2].in, IsEmpty());
    EXPECT_EQ(requests[3].code, IOCTL_CAN_WAIT_EVENT);

    EXPECT_EQ(CanIsOpen(channel), 1);
    EXPECT_EQ(channel->mode, 0x101);
    EXPECT_EQ(channel->frameFormat, 0x200);
    EXPECT_EQ(channel->ticksPerMs, 1250u);
    EXPECT_EQ(channel->baseMs, 9876u);
    EXPECT_EQ(channel->prevMs, 0u);
    EXPECT_EQ(channel->info.ident, CAN_DEVICE_IDENT);
}

TEST_F(ChannelOpen, ClockKindTwoAloneMeansTenThousandTicksPerMs) {
    for (int kind : {2, 0, 1, 3, 255}) {
        device->SetDeviceInfo(CAN_DEVICE_IDENT, static_cast<std::uint8_t>(kind), 12345678);
        Open();
        EXPECT_EQ(channel->ticksPerMs, kind == 2 ? 10000u : 1250u) << "clock kind " << kind;
        EXPECT_EQ(channel->baseMs, kind == 2 ? 1234u : 9876u) << "clock kind " << kind;
        CanClose(channel);
    }
}

TEST_F(ChannelOpen, IdentFourPassesWhateverTheOtherBytesHold) {
    device->SetDeviceInfoBytes(Bytes(
        {4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    Open();
    EXPECT_EQ(channel->ticksPerMs, 1250u);
    EXPECT_EQ(channel->baseMs, static_cast<std::uint32_t>(0xFFFFFFFFFFFFFFFFull / 1250));
}

TEST_F(ChannelOpen, AnyOtherIdentFailsWithMinusThreeAndErrorZero) {
    for (std::uint32_t ident : {5u, 3u, 0u, 0x104u}) {
        device->SetDeviceInfo(ident, 0, 0);
        int error = 1234;
        EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), -3) << "ident " << ident;
        EXPECT_EQ(error, 0);
        EXPECT_EQ(CanIsOpen(channel), 0);
        EXPECT_EQ(device->CloseCount(), device->OpenCount()) << "the device stayed open";
        EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    }
    EXPECT_EQ(device->Count(IOCTL_CAN_WAIT_EVENT), 0u) << "no receive thread may have started";
}

TEST_F(ChannelOpen, AFailedInformationRequestFailsLikeAWrongIdent) {
    device->FailRequests(IOCTL_CAN_GET_DEVICE_INFO, platform::kErrorIo);
    int error = 1234;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), -3);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

TEST_F(ChannelOpen, AMissingPathFailsWithTheMissingFileCode) {
    int error = 0;
    EXPECT_EQ(CanOpen(channel, "\\\\.\\NoSuchVeskDevice", 0, 0, &error), 0);
    EXPECT_EQ(error, platform::kErrorNotFound);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

TEST_F(ChannelOpen, ADeviceOpenElsewhereIsBusy) {
    platform::Handle other = platform::CreateFile(device.path());
    ASSERT_NE(other, platform::kNoHandle);
    int error = 0;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 0);
    EXPECT_EQ(error, platform::kErrorBusy);
    EXPECT_EQ(CanIsOpen(channel), 0);
    platform::CloseHandle(other);
}

TEST_F(ChannelOpen, EventFailureGivesMinusOneAndClosesTheDevice) {
    platform::testing::FailNextCreateEvent(ENOMEM);
    int error = 0;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), -1);
    EXPECT_EQ(error, ENOMEM);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(channel->event, platform::kNoHandle);
    EXPECT_EQ(device->CloseCount(), 1);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    // Nothing is left in the way of the next open.
    Open();
}

TEST_F(ChannelOpen, ReceiveThreadFailureGivesMinusTwo) {
    platform::testing::FailNextCreateThread(platform::kErrorTryAgain);
    int error = 0;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), -2);
    EXPECT_EQ(error, platform::kErrorTryAgain);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(device->CloseCount(), 1);
    EXPECT_EQ(device->Count(IOCTL_CAN_WAIT_EVENT), 0u);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    Open();
}

TEST_F(ChannelOpen, BusLoadThreadFailureGivesMinusTwoAndEndsTheReceiveThread) {
    platform::testing::FailNextCreateThread(platform::kErrorTryAgain, /*skip=*/1);
    int error = 0;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), -2);
    EXPECT_EQ(error, platform::kErrorTryAgain);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(channel->rxThread, platform::kNoHandle);
    EXPECT_EQ(device->CloseCount(), 1) << "the receive thread closes the device as it ends";
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    Open();
}

TEST_F(ChannelOpen, ReopeningClosesFirstAndKeepsTheRememberedValues) {
    Open();
    ASSERT_EQ(CanSetBaudrate(channel, 10000), 1);
    ASSERT_EQ(CanSetAcceptance(channel, 0x100, 0x7FF), 1);
    CanEnableNotify(channel, 0);

    Open(1, 1);  // the same exclusive path: only possible when the first handle was closed
    EXPECT_EQ(device->OpenCount(), 2);
    EXPECT_EQ(device->CloseCount(), 1);
    EXPECT_EQ(channel->baudrate, 10000u);
    EXPECT_EQ(channel->accCode, 0x100u);
    EXPECT_EQ(channel->accMask, 0x7FFu);
    EXPECT_EQ(channel->notify, 0);

    device->ClearRequests();
    EXPECT_EQ(CanSetBaudrate(channel, 10000), 1);
    EXPECT_EQ(CanSetAcceptance(channel, 0x100, 0x7FF), 0);
    EXPECT_EQ(device->Count(IOCTL_CAN_SET_BAUDRATE), 0u);
    EXPECT_EQ(device->Count(IOCTL_CAN_SET_ACCEPTANCE), 0u);
}

TEST_F(ChannelOpen, OpeningAnotherPathClosesTheFirstDevice) {
    Open();
    testsupport::RegisteredDevice second;
    int error = -1;
    ASSERT_EQ(CanOpen(channel, second.path(), 0, 0, &error), 1);
    EXPECT_EQ(device->CloseCount(), 1);
    EXPECT_EQ(second->OpenCount(), 1);
    CanClose(channel);
    EXPECT_EQ(second->CloseCount(), 1);
}

TEST_F(ChannelOpen, CloseWakesTheReceiveThreadWhichEndsWithoutReading) {
    Open();
    CanClose(channel);
    EXPECT_EQ(CanIsOpen(channel), 0);
    EXPECT_EQ(device->CloseCount(), 1);
    EXPECT_EQ(device->Count(IOCTL_CAN_READ), 0u);
    EXPECT_EQ(channel->rxThread, platform::kNoHandle);
    EXPECT_EQ(channel->busLoadThread, platform::kNoHandle);
    EXPECT_EQ(channel->event, platform::kNoHandle);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

TEST_F(ChannelOpen, CloseLeavesTheRememberedStateAlone) {
    Open();
    ASSERT_EQ(CanSetBaudrate(channel, 125000), 1);
    channel->busLoad = 12.5;
    CanClose(channel);
    EXPECT_EQ(channel->baudrate, 125000u);
    EXPECT_EQ(CanGetBusLoad(channel), 12.5);
    EXPECT_EQ(channel->notify, 1);
}

// The bus-load thread pauses a second between evaluations; a close must not have to sit that
// out, or the bounded wait would give up on a thread that then runs on into the next open. The
// hand clock stands still, so nothing but the stop signal can end the pause.
TEST_F(ChannelOpen, CloseEndsTheBusLoadPauseAtOnce) {
    using platform::testing::PauseRecord;
    platform::testing::HandPauseClock clock;
    const platform::Event* stopSignal = &channel->stopSignal;
    auto onStopSignal = [&](const std::vector<PauseRecord>& pauses, PauseRecord::End end) {
        return std::count_if(pauses.begin(), pauses.end(), [&](const PauseRecord& p) {
            return p.wake == stopSignal && p.lengthMs == 1000 && p.end == end;
        });
    };
    for (int open = 1; open <= 2; ++open) {
        Open();
        ASSERT_TRUE(clock.WaitUntil([&](const std::vector<PauseRecord>& pauses) {
            return onStopSignal(pauses, PauseRecord::End::kRunning) == 1;
        })) << "the bus-load second must be a wait on the stop signal";
        CanClose(channel);
        // A thread left running would hold the next open up for good: the clock never moves.
        ASSERT_EQ(channel->busLoadThread, platform::kNoHandle) << "open " << open;
        EXPECT_EQ(onStopSignal(clock.Pauses(), PauseRecord::End::kSignalled), open);
    }
}

TEST_F(ChannelOpen, ReopenEndsTheBusLoadThreadLeftByAReceiveThreadThatEnded) {
    Open();
    device->PushReadFailure(platform::kErrorIo);
    ASSERT_TRUE(WaitUntilClosedByItself());
    EXPECT_NE(channel->busLoadThread, platform::kNoHandle) << "it runs until the next close";

    Open();
    // device, event, receive thread, bus-load thread of the new open and nothing else.
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore + 4);
}

TEST_F(ChannelOpen, AReceiveThreadHeldPastTheCloseBoundIsAwaitedByTheNextOpen) {
    testsupport::Gate release;
    recorder.SetAction([&](CanChannel*, const CanMsg&) { release.Wait(); });
    Open();
    device->PushRecord(testsupport::Frame(CAN_EV_RX, 1, 0));
    ASSERT_TRUE(recorder.WaitForCount(1));

    CanClose(channel);  // gives up after its 1000 ms
    EXPECT_NE(channel->rxThread, platform::kNoHandle) << "the handle of a running thread is kept";

    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release.Open();
    });
    // The old thread still holds the exclusive device until it ends; an open that did not wait
    // for it would fail as busy.
    int error = -1;
    EXPECT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1);
    EXPECT_EQ(error, 0);
    opener.join();
    EXPECT_EQ(device->CloseCount(), 1);
}

TEST_F(ChannelOpen, DestroyWaitsForAReceiveThreadHeldPastTheCloseBound) {
    testsupport::Gate release;
    std::atomic<bool> callbackReturned{false};
    recorder.SetAction([&](CanChannel*, const CanMsg&) {
        release.Wait();
        callbackReturned = true;
    });
    Open();
    device->PushRecord(testsupport::Frame(CAN_EV_RX, 1, 0));
    ASSERT_TRUE(recorder.WaitForCount(1));

    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
        release.Open();
    });
    CanDestroyChannel(channel);
    channel = nullptr;
    EXPECT_TRUE(callbackReturned);
    EXPECT_EQ(device->CloseCount(), 1);
    releaser.join();
}
