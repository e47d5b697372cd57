// A channel on a scripted device registered under a path of its own; checks on tear-down that
// the channel left no handle open.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "channel/can_channel.h"
#include "platform/handle.h"
#include "tests/support/callback_recorder.h"
#include "tests/support/scripted_device.h"

class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        handlesBefore = platform::OpenHandleCount();
        channel = CanCreateChannel(nullptr, &recorder, testsupport::CallbackRecorder::Callback);
        ASSERT_NE(channel, nullptr);
    }

    void TearDown() override {
        CanDestroyChannel(channel);
        EXPECT_EQ(platform::OpenHandleCount(), handlesBefore) << "a handle stayed open";
    }

    // Opens the channel on the scripted device and waits until its first wait request is pending.
    void Open(int mode = 0, int frameFormat = 0) {
        int error = -1;
        ASSERT_EQ(CanOpen(channel, device.path(), mode, frameFormat, &error), 1);
        ASSERT_EQ(error, 0);
        ASSERT_TRUE(device->WaitUntil([&] { return device->WaitPending(); }));
    }

    // Waits until the receive thread has ended by itself (having closed the device).
    bool WaitUntilClosedByItself() {
        return platform::WaitForSingleObject(channel->rxThread, 10000) ==
                   platform::WaitResult::kSignalled &&
               CanIsOpen(channel) == 0 && device->CloseCount() == device->OpenCount();
    }

    std::size_t handlesBefore = 0;
    testsupport::RegisteredDevice device;
    testsupport::CallbackRecorder recorder;
    CanChannel* channel = nullptr;
};
