// The log on a real channel: a scripted device delivers a received frame, the receive thread
// dispatches it, the reply goes back to the device through CanSend, and the row reaches the model.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "channel/can_channel.h"
#include "log/event_log.h"
#include "platform/device.h"
#include "platform/error.h"
#include "tests/support/test_record.h"

namespace {

using namespace std::chrono_literals;

// Answers the channel's requests from a queue of records and keeps every record written to it.
class ScriptedDevice : public platform::Device {
  public:
    explicit ScriptedDevice(const LogModel& model) : model_(model) {}

    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override {
        *returned = 0;
        if (code == IOCTL_CAN_GET_DEVICE_INFO && out.size() >= kCanDeviceInfoSize) {
            CanDeviceInfo info{};
            info.ident = CAN_DEVICE_IDENT;
            info.clockKind = CAN_CLOCK_KIND_FAST;
            std::uint8_t wire[kCanDeviceInfoSize];
            ToWire(info, wire);
            std::memcpy(out.data(), wire, sizeof wire);
            *returned = kCanDeviceInfoSize;
        } else if (code == IOCTL_CAN_READ && out.size() >= kCanMsgSize) {
            std::lock_guard lock(mutex_);
            CanMsg next{};  // valid 0: nothing left
            if (!queue_.empty()) {
                next = queue_.front();
                queue_.pop_front();
            }
            std::uint8_t wire[kCanMsgSize];
            ToWire(next, wire);
            std::memcpy(out.data(), wire, sizeof wire);
            *returned = kCanMsgSize;
        } else if (code == IOCTL_CAN_WRITE && in.size() >= kCanMsgSize) {
            std::lock_guard lock(mutex_);
            written_.push_back(CanMsgFromWire(in.data()));
            // The reply must leave before the frame that triggered it is logged.
            rowPendingAtWrite_.push_back(model_.HasPending());
            changed_.notify_all();
        }
        return 0;
    }

    int ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> done) override {
        if (code != IOCTL_CAN_WAIT_EVENT)
            return 22;
        std::lock_guard lock(mutex_);
        if (!queue_.empty())
            return 0;
        waiter_ = std::move(done);
        return platform::kErrorIoPending;
    }

    void CancelIo() override {
        std::lock_guard lock(mutex_);
        waiter_.reset();
    }

    void Deliver(const CanMsg& m) {
        std::lock_guard lock(mutex_);
        queue_.push_back(m);
        if (waiter_)
            std::exchange(waiter_, nullptr)->Set();
    }

    // Waits, with a margin far beyond what a loaded machine needs, for `count` writes.
    std::vector<CanMsg> WaitForWrites(std::size_t count, std::vector<bool>* pendingAtWrite) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return written_.size() >= count; });
        *pendingAtWrite = rowPendingAtWrite_;
        return written_;
    }

  private:
    const LogModel& model_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<CanMsg> queue_;
    std::shared_ptr<platform::Event> waiter_;
    std::vector<CanMsg> written_;
    std::vector<bool> rowPendingAtWrite_;
};

CanMsg ReceivedFrame(std::uint32_t id, std::vector<std::uint8_t> data) {
    return testsupport::Record(
        {.type = CAN_EV_RX_STD, .id = id, .data = std::move(data), .valid = 1});
}

TEST(EventLogOnChannel, AnswersThroughCanSendBeforeTheRowIsLogged) {
    const char* kPath = "vesk-log-test-device";
    LogModel model;
    AutoReplies replies;
    auto device = std::make_shared<ScriptedDevice>(model);
    platform::RegisterDevice(kPath, device);

    CanChannel* channel = CanCreateChannel(nullptr, nullptr, &EventLog::NotifyCallback);
    ASSERT_NE(channel, nullptr);
    EventLog log(model, replies, channel);
    channel->owner = &log;
    replies.SetEntry(0, {0x100, "11", 0x7ff, "01 02 03"});
    replies.SetEntry(1, {0x100, "22", 0x7fe, "ff"});  // other data: stays silent
    replies.SetEntry(2, {0x100, "", 0x123, ""});

    int error = -1;
    ASSERT_EQ(CanOpen(channel, kPath, CAN_MODE_PELICAN, CAN_FORMAT_STANDARD, &error), 1);
    device->Deliver(ReceivedFrame(0x100, {0x11, 0x22}));

    std::vector<bool> pendingAtWrite;
    const std::vector<CanMsg> written = device->WaitForWrites(2, &pendingAtWrite);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].type, 0);
    EXPECT_EQ(written[0].id, 0x7ffu);
    EXPECT_EQ(written[0].rtr, 0);
    EXPECT_EQ(written[0].dlc, 3);
    EXPECT_THAT(std::vector<std::uint8_t>(written[0].data, written[0].data + 3),
                ::testing::ElementsAre(0x01, 0x02, 0x03));
    EXPECT_EQ(written[1].id, 0x123u);
    EXPECT_EQ(written[1].dlc, 0);
    EXPECT_THAT(pendingAtWrite, ::testing::ElementsAre(false, false));

    // The row follows right after the replies, on the same thread.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!model.HasPending() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    CanDestroyChannel(channel);
    platform::UnregisterDevice(kPath);
    EXPECT_EQ(device->WaitForWrites(0, &pendingAtWrite).size(), 2u);

    ASSERT_EQ(model.Drain(), 1u);
    EXPECT_EQ(FormatLogCell(model.Row(0), 0), "Received STD");
    EXPECT_EQ(FormatLogCell(model.Row(0), 3), "0100");
    EXPECT_EQ(FormatLogCell(model.Row(0), 6), " 11 22");
}

}  // namespace
