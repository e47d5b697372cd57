// The receive thread against a scripted device: bursts, the end of the thread, wake-ups.
#include <gtest/gtest.h>

#include <cerrno>

#include "channel/can_channel.h"
#include "channel/receive_loop.h"
#include "platform/error.h"
#include "platform/event.h"
#include "tests/channel/channel_fixture.h"
#include "tests/support/message_box_capture.h"

using testsupport::Frame;

using ReceiveLoop = ChannelTest;

TEST_F(ReceiveLoop, OneWaitServesABurstUntilValidZero) {
    Open();
    device->PushBurst({Frame(CAN_EV_RX, 0x100, 1250ull * 10, 8),
                       Frame(CAN_EV_TX, 0x101, 1250ull * 20, 2),
                       Frame(CAN_EV_WARNING, 0, 1250ull * 25)});
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WAIT_EVENT) == 2; }));
    EXPECT_EQ(device->Count(IOCTL_CAN_READ), 4u);

    auto deliveries = recorder.Deliveries();
    ASSERT_EQ(deliveries.size(), 3u);
    EXPECT_EQ(deliveries[0].msg.id, 0x100u);
    EXPECT_EQ(deliveries[1].msg.id, 0x101u);
    EXPECT_EQ(deliveries[2].msg.type, CAN_EV_WARNING);
    EXPECT_DOUBLE_EQ(deliveries[1].absSeconds, 0.02);
    EXPECT_DOUBLE_EQ(deliveries[2].deltaSeconds, 0.005);
    EXPECT_EQ(CanIsOpen(channel), 1);
}

TEST_F(ReceiveLoop, AWakeupWithNothingToReadGoesBackToWaiting) {
    Open();
    device->CompleteWait();
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WAIT_EVENT) == 2; }));
    EXPECT_EQ(device->Count(IOCTL_CAN_READ), 1u);
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(CanIsOpen(channel), 1);
}

TEST_F(ReceiveLoop, AFailedReadEndsTheThreadAndClosesTheDevice) {
    testsupport::MessageBoxCapture boxes;
    Open();
    device->PushRecord(Frame(CAN_EV_RX, 1, 0));
    device->PushReadFailure(platform::kErrorIo);
    device->PushRecord(Frame(CAN_EV_RX, 2, 0));  // never read
    ASSERT_TRUE(WaitUntilClosedByItself());
    EXPECT_EQ(recorder.Count(), 1u);
    EXPECT_EQ(device->ReadsLeft(), 1);
    EXPECT_EQ(channel->event, platform::kNoHandle);
    EXPECT_TRUE(boxes.Boxes().empty()) << "a failed read ends silently";
}

TEST_F(ReceiveLoop, AnEmptyReadEndsTheThreadLikeAFailedOne) {
    Open();
    device->PushEmptyRead();
    ASSERT_TRUE(WaitUntilClosedByItself());
    EXPECT_EQ(recorder.Count(), 0u);
}

TEST_F(ReceiveLoop, ARefusedWaitShowsTheBoxOnceAndEndsTheThread) {
    testsupport::MessageBoxCapture boxes;
    device->FailRequests(IOCTL_CAN_WAIT_EVENT, platform::kErrorIo);
    int error = -1;
    ASSERT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1);
    ASSERT_TRUE(WaitUntilClosedByItself());
    auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't initialize CALLBACK function");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
    EXPECT_EQ(device->Count(IOCTL_CAN_READ), 0u);
    CanClose(channel);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(ReceiveLoop, AWaitCompletedAtOnceIsServedLikeAPendingOne) {
    device->PushBurst({Frame(CAN_EV_RX, 1, 1250ull * 40)});
    int error = -1;
    ASSERT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1);
    ASSERT_TRUE(recorder.WaitForCount(1));
    ASSERT_TRUE(device->WaitUntil([&] { return device->WaitPending(); }));
    EXPECT_EQ(recorder.Count(), 1u);
}

// A record waiting at the very first wait is stamped with the open's clock rate: the device
// information is read before the receive thread can stamp anything.
TEST_F(ReceiveLoop, TheFirstRecordAfterOpenIsStampedWithTheDevicesRate) {
    device->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 0);
    device->PushRecord(Frame(CAN_EV_RX, 1, 12345678));
    int error = -1;
    ASSERT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_DOUBLE_EQ(recorder.Deliveries()[0].absSeconds, 9.876);
}

TEST_F(ReceiveLoop, RecordsCountFromTheTimeBaseOfTheOpen) {
    device->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 1250ull * 1000);
    Open();
    device->PushRecord(Frame(CAN_EV_RX, 1, 1250ull * 1500));
    device->PushRecord(Frame(CAN_EV_RX, 1, 1250ull * 1600));
    ASSERT_TRUE(recorder.WaitForCount(2));
    auto d = recorder.Deliveries();
    EXPECT_DOUBLE_EQ(d[0].absSeconds, 0.5);
    EXPECT_DOUBLE_EQ(d[0].deltaSeconds, 0.5);
    EXPECT_DOUBLE_EQ(d[1].absSeconds, 0.6);
    EXPECT_NEAR(d[1].deltaSeconds, 0.1, 1e-12);
}

TEST_F(ReceiveLoop, NotifyOffKeepsDrainingButDeliversNothing) {
    Open();
    CanEnableNotify(channel, 0);
    device->PushRecord(Frame(CAN_EV_RX, 1, 1250ull * 100, 8));
    device->PushRecord(Frame(CAN_EV_RX, 2, 1250ull * 200, 8));
    ASSERT_TRUE(device->WaitUntil([&] {
        return device->ReadsLeft() == 0 && device->Count(IOCTL_CAN_WAIT_EVENT) >= 2 &&
               device->WaitPending();
    }));
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(channel->prevMs, 0u);

    // The first record after switching on again carries the whole pause as its delta.
    CanEnableNotify(channel, 1);
    device->PushRecord(Frame(CAN_EV_RX, 3, 1250ull * 300));
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_DOUBLE_EQ(recorder.Deliveries()[0].deltaSeconds, 0.3);
}

TEST_F(ReceiveLoop, TheCallbackMaySendOnItsOwnChannel) {
    recorder.SetAction(
        [](CanChannel* ch, const CanMsg& msg) { CanSend(ch, msg.id + 1, 0, msg.dlc, msg.data); });
    Open();
    device->PushRecord(Frame(CAN_EV_RX, 0x200, 0, 3));
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) == 1; }));
    CanMsg reply = device->Writes().at(0);
    EXPECT_EQ(reply.id, 0x201u);
    EXPECT_EQ(reply.dlc, 3);
    EXPECT_EQ(reply.data[2], 2);
}

// Posting a wait request clears its event on the adapter's home platform. A close that raises
// stop and signals just before that must still end the thread, not leave it waiting forever.
TEST_F(ReceiveLoop, ACloseSignalledWhileTheWaitIsPostedIsNotLost) {
    Open();
    CanChannel* ch = channel;
    device->ClearEventOnPost(true);
    device->SetWaitPostedHook([ch] {
        ch->stop = 1;
        platform::SetEvent(ch->event.load());
    });
    device->CompleteWait();  // the thread reads nothing and posts its next wait: the hook fires
    ASSERT_TRUE(WaitUntilClosedByItself()) << "the thread slept through the close";
    EXPECT_EQ(device->Count(IOCTL_CAN_WAIT_EVENT), 2u);
    device->SetWaitPostedHook(nullptr);
}

TEST_F(ReceiveLoop, BusLoadThreadTurnsCountedFramesIntoALoad) {
    device->PushBurst(
        {Frame(CAN_EV_RX, 1, 1250ull * 500, 8), Frame(CAN_EV_RX, 1, 1250ull * 1000, 8)});
    // Counted before the open: an open does not clear the accumulators.
    HandleReceivedRecord(channel, Frame(CAN_EV_RX, 1, 0, 8));
    int error = -1;
    ASSERT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return CanGetBusLoad(channel) > 0.0; }));
}
