// Playing a trace through a channel on a scripted device: every frame in order with its own
// identifier format, 29-bit frames skipped in Basic CAN, a full queue waited out, a closed
// channel ending the play.
#include "monitor/trace_player.h"

#include <cerrno>
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "tests/support/scripted_device.h"

namespace {

using Kind = trace::TraceFrame::Kind;

trace::TraceFrame FrameAt(std::int64_t ms, std::uint32_t id, bool extended) {
    trace::TraceFrame f{};
    f.timeNs = ms * 1'000'000;
    f.id = id;
    f.extended = extended;
    f.dlc = 1;
    f.length = 1;
    f.data[0] = static_cast<std::uint8_t>(id);
    f.kind = Kind::kFrame;
    return f;
}

std::shared_ptr<const trace::TraceFile> File() {
    trace::TraceFile file;
    file.entries = {FrameAt(0, 0x100, false), FrameAt(1, 0x1ABCDEF, true), FrameAt(1, 0, false),
                    FrameAt(2, 0x7FF, false)};
    file.entries[2].kind = Kind::kBusError;  // not sent
    return std::make_shared<const trace::TraceFile>(std::move(file));
}

class TracePlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        channel = CanCreateChannel(nullptr, &player, nullptr);
        // The confirmations reach the player as the session hands them on.
        channel->tap = [](CanChannel* c, double, const CanMsg* m) {
            static_cast<TracePlayer*>(c->owner)->OnTransmitted(*m);
        };
        device->ConfirmWrites(true);
    }
    void TearDown() override {
        player.Stop();
        CanDestroyChannel(channel);
    }
    void Open(int mode) {
        int error = 0;
        ASSERT_EQ(CanOpen(channel, device.path(), mode, 0, &error), 1) << error;
        device->ClearRequests();
    }
    bool PlayedOut() {
        return device->WaitUntil([&] { return !player.Running(); });
    }
    std::vector<std::pair<std::int32_t, std::uint32_t>> Written() {
        std::vector<std::pair<std::int32_t, std::uint32_t>> written;
        for (const CanMsg& m : device->Writes())
            written.emplace_back(m.type, m.id);
        return written;
    }

    testsupport::RegisteredDevice device;
    CanChannel* channel = nullptr;
    // Short: a test that withholds confirmations waits this long for them.
    TracePlayer player{std::chrono::milliseconds(100)};
};

TEST_F(TracePlayerTest, EveryFrameGoesOutInItsOwnFormatPassAfterPass) {
    struct Case {
        int mode;
        std::vector<std::pair<std::int32_t, std::uint32_t>> pass;
        std::uint64_t skippedPerPass;
    };
    const Case cases[] = {
        {CAN_MODE_PELICAN,
         {{CAN_EV_TX_STD, 0x100}, {CAN_EV_TX_EXT, 0x1ABCDEF}, {CAN_EV_TX_STD, 0x7FF}},
         0},
        // Basic CAN has no 29-bit identifiers: that frame is skipped and counted.
        {CAN_MODE_BASIC, {{CAN_EV_TX_STD, 0x100}, {CAN_EV_TX_STD, 0x7FF}}, 1},
    };
    for (const Case& c : cases) {
        Open(c.mode);
        player.Start(channel, File(), 2);
        ASSERT_TRUE(PlayedOut());
        auto expected = c.pass;
        expected.insert(expected.end(), c.pass.begin(), c.pass.end());
        EXPECT_EQ(Written(), expected) << c.mode;
        EXPECT_EQ(player.Sent(), expected.size());
        EXPECT_EQ(player.Skipped(), 2 * c.skippedPerPass);
        EXPECT_EQ(player.FramesPerPass(), 3u);
        EXPECT_EQ(player.Unconfirmed(), 0u);
        EXPECT_EQ(player.TakeFailure(), "");
        CanClose(channel);
    }
}

// Only what the bus confirmed counts as sent; the play waits for it (bounded) before it ends.
TEST_F(TracePlayerTest, OnlyConfirmedFramesCountAndThePlayWaitsForThem) {
    Open(CAN_MODE_PELICAN);
    device->ConfirmWrites(false);
    player.Start(channel, File(), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Writes().size() == 3; }));
    // The bus confirms the first two frames, and a frame of someone else in between, which is
    // no confirmation of the play's; the third never goes out (a close dropped it).
    std::vector<CanMsg> confirmations;
    for (CanMsg m : device->Writes()) {
        m.format = m.type == CAN_EV_TX_EXT ? CAN_RECORD_FORMAT_EXT : CAN_RECORD_FORMAT_STD;
        m.type = CAN_EV_TX;
        m.valid = 1;
        confirmations.push_back(m);
    }
    CanMsg other = confirmations[1];
    other.id = 0x555;
    device->PushBurst({confirmations[0], other, confirmations[1]});
    ASSERT_TRUE(PlayedOut());
    EXPECT_EQ(player.Sent(), 2u);
    EXPECT_EQ(player.Unconfirmed(), 1u);
}

TEST_F(TracePlayerTest, AFullTransmitQueueIsWaitedOutNotDropped) {
    Open(CAN_MODE_PELICAN);
    device->FailRequests(IOCTL_CAN_WRITE, platform::kErrorNoBuffers);
    player.Start(channel, File(), 1);
    // The player keeps trying the first frame until the queue has room again.
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 3; }));
    EXPECT_TRUE(player.Running());
    device->FailRequests(IOCTL_CAN_WRITE, 0);
    ASSERT_TRUE(PlayedOut());
    // The refused tries of the first frame, then the three frames once each.
    auto written = Written();
    ASSERT_GE(written.size(), 4u);
    decltype(written) expected(written.size() - 3, {CAN_EV_TX_STD, 0x100});
    expected.insert(expected.end(),
                    {{CAN_EV_TX_STD, 0x100}, {CAN_EV_TX_EXT, 0x1ABCDEF}, {CAN_EV_TX_STD, 0x7FF}});
    EXPECT_EQ(written, expected);
    EXPECT_EQ(player.Sent(), 3u);
}

TEST_F(TracePlayerTest, AChannelThatClosesEndsThePlayWithAMessage) {
    Open(CAN_MODE_PELICAN);
    device->FailRequests(IOCTL_CAN_WRITE,
                         platform::kErrorNoBuffers);  // hold the play at its first frame
    player.Start(channel, File(), 0);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 1; }));
    CanClose(channel);
    ASSERT_TRUE(PlayedOut());
    // A write that meets the close reports success by the channel's rule, so the count is not
    // judged here; the play must end with the message.
    EXPECT_NE(player.TakeFailure().find("geschlossen"), std::string::npos);
}

}  // namespace
