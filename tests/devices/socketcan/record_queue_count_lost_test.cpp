// Frames a producer lost before they reached the record queue (a socket's full buffer) are
// reported exactly like the queue's own losses.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "can/sja1000_status.h"
#include "devices/common/record_queue.h"
#include "platform/error.h"
#include "tests/support/test_record.h"

namespace {

using devices::RecordQueue;
using PushResult = RecordQueue::PushResult;

CanMsg Received(std::uint32_t id) {
    return testsupport::Record({.type = CAN_EV_RX, .id = id});
}

CanMsg Stamp(std::uint32_t ticks, std::uint8_t status) {
    return testsupport::Record({.status = status, .ticks = ticks});
}

std::vector<CanMsg> Drain(RecordQueue& q) {
    std::vector<CanMsg> out;
    CanMsg m{};
    while (q.Pop(m))
        out.push_back(m);
    return out;
}

TEST(RecordQueueCountLost, LossesBeforeTheQueueJoinTheQueuesOwn) {
    RecordQueue q(3);  // the overrun record takes one place
    EXPECT_EQ(q.CountLost(0, Stamp(1, 0)), PushResult::kQueued);  // nothing lost, nothing said
    EXPECT_FALSE(q.Overrun());

    EXPECT_EQ(q.CountLost(5, Stamp(40, can::sja1000::kSrReceiving)), PushResult::kLostOverrun);
    EXPECT_EQ(q.CountLost(2, Stamp(41, 0)), PushResult::kLost);  // reported once
    q.PushFrame(Received(1));
    q.PushFrame(Received(2));
    EXPECT_EQ(q.PushFrame(Received(3)), PushResult::kLost);  // the queue itself is full now

    auto out = Drain(q);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].type, CAN_EV_OVERRUN);
    EXPECT_EQ(out[0].ticksLow, 40u);
    EXPECT_EQ(out[0].status, can::sja1000::kSrReceiving | can::sja1000::kSrDataOverrun |
                                 can::sja1000::kSrRxBuffer);
    EXPECT_EQ(out[1].lost, 7);
    EXPECT_EQ(out[2].lost, 0);
    q.PushFrame(Received(4));
    EXPECT_EQ(Drain(q)[0].lost, 1);

    q.ClearOverrun();
    EXPECT_EQ(q.CountLost(1, Stamp(50, 0)), PushResult::kLostOverrun);
}

TEST(RecordQueueCountLost, CountSaturatesInsteadOfWrapping) {
    RecordQueue q(4);
    q.CountLost(std::numeric_limits<std::int32_t>::max() - 1, Stamp(0, 0));
    q.CountLost(5, Stamp(0, 0));
    q.PushFrame(Received(1));
    auto out = Drain(q);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].lost, std::numeric_limits<std::int32_t>::max());
}

TEST(RecordQueueCountLost, LossCompletesThePendingWait) {
    RecordQueue q(4);
    auto event = std::make_shared<platform::Event>();
    ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
    q.CountLost(3, Stamp(0, 0));
    EXPECT_TRUE(event->Wait(0));  // the overrun record is there to read
}

}  // namespace
