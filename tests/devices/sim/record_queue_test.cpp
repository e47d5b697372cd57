#include "devices/common/record_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "can/sja1000_status.h"
#include "platform/error.h"
#include "tests/support/test_record.h"

namespace {

using devices::RecordQueue;
using PushResult = RecordQueue::PushResult;

CanMsg Record(std::int32_t type, std::uint32_t id, std::uint32_t ticks = 0) {
    return testsupport::Record(
        {.type = type, .id = id, .status = can::sja1000::kSrTxBufferReleased, .ticks = ticks});
}

std::vector<CanMsg> Drain(RecordQueue& q) {
    std::vector<CanMsg> out;
    CanMsg m{};
    while (q.Pop(m))
        out.push_back(m);
    return out;
}

TEST(RecordQueue, DeliversRecordsInOrderMarkedValid) {
    RecordQueue q(8);
    q.PushFrame(Record(CAN_EV_RX, 1));
    q.PushEvent(Record(CAN_EV_BUS_ERROR, 0));
    q.PushFrame(Record(CAN_EV_TX, 2));
    auto out = Drain(q);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].id, 1u);
    EXPECT_EQ(out[1].type, CAN_EV_BUS_ERROR);
    EXPECT_EQ(out[2].id, 2u);
    for (const auto& m : out)
        EXPECT_EQ(m.valid, 1);
    CanMsg none{};
    EXPECT_FALSE(q.Pop(none));
}

TEST(RecordQueue, FullQueueLosesFramesReportsOverrunOnceAndCountsLost) {
    RecordQueue q(4);
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(q.PushFrame(Record(CAN_EV_RX, i)), PushResult::kQueued);
    EXPECT_EQ(q.PushFrame(Record(CAN_EV_RX, 4, 777)), PushResult::kLostOverrun);
    EXPECT_EQ(q.PushFrame(Record(CAN_EV_TX, 5)), PushResult::kLost);
    EXPECT_EQ(q.PushFrame(Record(CAN_EV_RX_EXT, 6)), PushResult::kLost);
    EXPECT_FALSE(q.PushEvent(Record(CAN_EV_BUS_ERROR, 0)));  // dropped, not counted
    EXPECT_TRUE(q.Overrun());

    auto out = Drain(q);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[4].type, CAN_EV_OVERRUN);
    EXPECT_EQ(out[4].ticksLow, 777u);
    EXPECT_TRUE(out[4].status & can::sja1000::kSrDataOverrun);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(out[i].lost, 0);

    // A transmitted frame does not take the count; the next received frame does.
    q.PushFrame(Record(CAN_EV_TX, 7));
    q.PushFrame(Record(CAN_EV_RX_STD, 8));
    q.PushFrame(Record(CAN_EV_RX, 9));
    out = Drain(q);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].lost, 0);
    EXPECT_EQ(out[1].lost, 3);
    EXPECT_EQ(out[2].lost, 0);
}

TEST(RecordQueue, OverrunIsReportedAgainOnlyAfterItWasCleared) {
    RecordQueue q(2);
    auto overflow = [&] {
        for (std::uint32_t i = 0; i < 3; ++i)
            q.PushFrame(Record(CAN_EV_RX, i));
        int overruns = 0;
        for (const auto& m : Drain(q))
            overruns += m.type == CAN_EV_OVERRUN;
        return overruns;
    };
    EXPECT_EQ(overflow(), 1);
    EXPECT_EQ(overflow(), 0);
    q.ClearOverrun();
    EXPECT_FALSE(q.Overrun());
    EXPECT_EQ(overflow(), 1);
}

TEST(RecordQueue, WaitCompletesAtOnceOrWhenARecordArrives) {
    RecordQueue q(4);
    auto event = std::make_shared<platform::Event>();
    EXPECT_EQ(q.Wait(event), platform::kErrorIoPending);
    EXPECT_EQ(q.Wait(std::make_shared<platform::Event>()), platform::kErrorBusy);
    EXPECT_FALSE(event->IsSet());
    q.PushEvent(Record(CAN_EV_WAKE_UP, 0));
    EXPECT_TRUE(event->IsSet());
    event->Reset();

    // A record is waiting: the request completes at once and nothing is kept pending.
    EXPECT_EQ(q.Wait(event), 0);
    q.PushFrame(Record(CAN_EV_RX, 1));
    EXPECT_FALSE(event->IsSet());
}

TEST(RecordQueue, BatchCompletesTheWaitOnceAtItsEnd) {
    RecordQueue q(8);
    auto event = std::make_shared<platform::Event>();
    ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
    {
        RecordQueue::Batch batch(q);
        q.PushFrame(Record(CAN_EV_RX, 1));
        q.PushEvent(Record(CAN_EV_BUS_ERROR, 0));
        EXPECT_FALSE(event->IsSet());
    }
    EXPECT_TRUE(event->IsSet());
    event->Reset();
    Drain(q);

    // A reader that comes back to wait in the middle of a batch is woken at its end.
    {
        RecordQueue::Batch batch(q);
        ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
        q.PushFrame(Record(CAN_EV_RX, 2));
        q.PushFrame(Record(CAN_EV_RX, 3));
        EXPECT_FALSE(event->IsSet());
    }
    EXPECT_TRUE(event->IsSet());
    event->Reset();
    Drain(q);

    // A batch that queued nothing leaves the wait pending.
    ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
    { RecordQueue::Batch batch(q); }
    EXPECT_FALSE(event->IsSet());
    q.PushFrame(Record(CAN_EV_RX, 3));
    EXPECT_TRUE(event->IsSet());
}

TEST(RecordQueue, CancelledOrClearedWaitIsNeverSignalled) {
    RecordQueue q(4);
    auto event = std::make_shared<platform::Event>();
    ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
    q.CancelWait();
    q.PushFrame(Record(CAN_EV_RX, 1));
    EXPECT_FALSE(event->IsSet());

    Drain(q);
    ASSERT_EQ(q.Wait(event), platform::kErrorIoPending);
    q.Clear();
    q.PushFrame(Record(CAN_EV_RX, 1));
    EXPECT_FALSE(event->IsSet());
    // A fresh wait after the clear works again.
    Drain(q);
    EXPECT_EQ(q.Wait(event), platform::kErrorIoPending);
}

TEST(RecordQueue, ClearForgetsLostCountAndOverrun) {
    RecordQueue q(1);
    q.PushFrame(Record(CAN_EV_RX, 1));
    q.PushFrame(Record(CAN_EV_RX, 2));
    q.Clear();
    EXPECT_FALSE(q.Overrun());
    EXPECT_EQ(q.Size(), 0u);
    q.PushFrame(Record(CAN_EV_RX, 3));
    CanMsg m{};
    ASSERT_TRUE(q.Pop(m));
    EXPECT_EQ(m.lost, 0);
}

}  // namespace
