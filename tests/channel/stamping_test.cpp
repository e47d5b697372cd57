// Time stamps and bus-load accounting, driven record by record without threads.
#include <gtest/gtest.h>

#include "channel/can_channel.h"
#include "channel/receive_loop.h"
#include "tests/support/callback_recorder.h"
#include "tests/support/scripted_device.h"

using testsupport::Frame;

class Stamping : public ::testing::Test {
  protected:
    void SetUp() override {
        channel = CanCreateChannel(nullptr, &recorder, testsupport::CallbackRecorder::Callback);
        ASSERT_NE(channel, nullptr);
        channel->ticksPerMs = 1250;
    }
    void TearDown() override { CanDestroyChannel(channel); }

    testsupport::Delivery Deliver(const CanMsg& msg) {
        HandleReceivedRecord(channel, msg);
        return recorder.Deliveries().back();
    }

    testsupport::CallbackRecorder recorder;
    CanChannel* channel = nullptr;
};

TEST(ClockToMs, DividesTheWhole64BitCountAndKeepsTheLow32Bits) {
    EXPECT_EQ(CanClockToMs(12345678, 1250), 9876u);
    EXPECT_EQ(CanClockToMs(12345678, 10000), 1234u);
    EXPECT_EQ(CanClockToMs(1249, 1250), 0u);
    EXPECT_EQ(CanClockToMs(10000ull * ((1ull << 32) + 5) + 9999, 10000), 5u);
    EXPECT_EQ(CanClockToMs(0xFFFFFFFFFFFFFFFFull, 1250),
              static_cast<std::uint32_t>(0xFFFFFFFFFFFFFFFFull / 1250));
    EXPECT_EQ(CanClockToMs(12345678, 0), 0u) << "no rate yet must not divide by zero";
}

TEST_F(Stamping, TicksBecomeSecondsSinceTheBaseAtTheOpensRate) {
    auto d = Deliver(Frame(CAN_EV_RX, 1, 12345678));
    EXPECT_DOUBLE_EQ(d.absSeconds, 9.876);
    EXPECT_DOUBLE_EQ(d.deltaSeconds, 9.876);

    channel->ticksPerMs = 10000;
    channel->prevMs = 0;
    d = Deliver(Frame(CAN_EV_RX, 1, 12345678));
    EXPECT_DOUBLE_EQ(d.absSeconds, 1.234);
}

TEST_F(Stamping, DeltaRunsFromThePreviousRecordOfAnyType) {
    channel->baseMs = 1000;
    Deliver(Frame(CAN_EV_RX, 1, 1250ull * 1500));
    auto busError = Deliver(Frame(CAN_EV_BUS_ERROR, 0, 1250ull * 1700));
    EXPECT_DOUBLE_EQ(busError.absSeconds, 0.7);
    EXPECT_DOUBLE_EQ(busError.deltaSeconds, 0.2);
    auto next = Deliver(Frame(CAN_EV_TX, 1, 1250ull * 1750));
    EXPECT_DOUBLE_EQ(next.deltaSeconds, 0.05);
    EXPECT_EQ(channel->prevMs, 750u);
}

TEST_F(Stamping, ARecordBeforeTheBaseWrapsInsteadOfGoingNegative) {
    channel->baseMs = 10000;
    auto d = Deliver(Frame(CAN_EV_RX, 1, 1250ull * 9999));
    EXPECT_DOUBLE_EQ(d.absSeconds, 4294967.295);
    EXPECT_GE(d.deltaSeconds, 0.0);
}

TEST(FrameBits, FrameFormatAndRemoteFlagDecideTheCount) {
    EXPECT_EQ(CanFrameBits(0, Frame(CAN_EV_RX, 1, 0, 8, 0)), 93u);
    EXPECT_EQ(CanFrameBits(0, Frame(CAN_EV_RX, 1, 0, 8, 1)), 29u);
    EXPECT_EQ(CanFrameBits(1, Frame(CAN_EV_RX, 1, 0, 8, 0)), 111u);
    EXPECT_EQ(CanFrameBits(1, Frame(CAN_EV_RX, 1, 0, 8, 1)), 47u);
    // Any non-zero format is extended, and the channel's format wins over the record's type.
    EXPECT_EQ(CanFrameBits(7, Frame(CAN_EV_RX_STD, 1, 0, 0, 0)), 47u);
    EXPECT_EQ(CanFrameBits(0, Frame(CAN_EV_TX_EXT, 1, 0, 1, 0)), 37u);
}

TEST(FrameBits, OnlyFramesCount) {
    for (int type :
         {CAN_EV_RX, CAN_EV_TX, CAN_EV_RX_STD, CAN_EV_RX_EXT, CAN_EV_TX_STD, CAN_EV_TX_EXT}) {
        EXPECT_EQ(CanFrameBits(0, Frame(type, 1, 0, 2)), 45u) << "type " << type;
    }
    for (int type : {0, 1, 4, 5, 6, 7, 8, 9, 10, 15, -1}) {
        EXPECT_EQ(CanFrameBits(0, Frame(type, 1, 0, 2)), 0u) << "type " << type;
    }
}

TEST_F(Stamping, TenFullFramesInOneSecondAtTwentyKbitAreFourPointSixFivePercent) {
    for (int i = 1; i <= 10; ++i)
        Deliver(Frame(CAN_EV_RX, 1, 1250ull * 100 * i, 8));
    EXPECT_EQ(channel->bits, 930u);
    EXPECT_NEAR(channel->seconds, 1.0, 1e-12);
    EvaluateBusLoad(channel);
    EXPECT_NEAR(CanGetBusLoad(channel), 4.65, 1e-9);
    EXPECT_EQ(channel->bits, 0u);
    EXPECT_EQ(channel->seconds, 0.0);

    EvaluateBusLoad(channel);
    EXPECT_EQ(CanGetBusLoad(channel), 0.0) << "nothing counted since the last evaluation";
}

TEST_F(Stamping, BusEventsAreStampedButCountNothing) {
    Deliver(Frame(CAN_EV_OVERRUN, 0, 1250ull * 300));
    EXPECT_EQ(channel->bits, 0u);
    EXPECT_EQ(channel->seconds, 0.0);
    EXPECT_EQ(channel->prevMs, 300u);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST_F(Stamping, BitsWithoutElapsedTimeWaitForTheNextEvaluation) {
    Deliver(Frame(CAN_EV_RX, 1, 0, 8));  // delta 0: the bits count, no time passes
    EvaluateBusLoad(channel);
    EXPECT_EQ(CanGetBusLoad(channel), 0.0);
    EXPECT_EQ(channel->bits, 93u) << "kept for the next evaluation";

    Deliver(Frame(CAN_EV_RX, 1, 1250ull * 93, 8));
    EvaluateBusLoad(channel);
    EXPECT_NEAR(CanGetBusLoad(channel), 186 / 0.093 * 100 / 20000, 1e-9);
}

TEST_F(Stamping, LoadIsNotClampedAndARateOfZeroGivesZero) {
    channel->baudrate = 1000;
    Deliver(Frame(CAN_EV_RX, 1, 1250ull * 10, 8));  // 93 bits in 10 ms at 1000 bit/s
    EvaluateBusLoad(channel);
    EXPECT_NEAR(CanGetBusLoad(channel), 930.0, 1e-9);

    channel->baudrate = 0;
    Deliver(Frame(CAN_EV_RX, 1, 1250ull * 20, 8));
    EvaluateBusLoad(channel);
    EXPECT_EQ(CanGetBusLoad(channel), 0.0);
}

TEST_F(Stamping, NotifyOffDropsRecordsWithoutStampOrCount) {
    CanEnableNotify(channel, 0);
    HandleReceivedRecord(channel, Frame(CAN_EV_RX, 1, 1250ull * 100, 8));
    HandleReceivedRecord(channel, Frame(CAN_EV_TX, 1, 1250ull * 200, 8));
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(channel->prevMs, 0u);
    EXPECT_EQ(channel->bits, 0u);

    CanEnableNotify(channel, 5);
    EXPECT_EQ(channel->notify, 1);
}

TEST_F(Stamping, WithoutACallbackRecordsAreStillCounted) {
    channel->callback = nullptr;
    HandleReceivedRecord(channel, Frame(CAN_EV_RX, 1, 1250ull * 100, 8));
    EXPECT_EQ(channel->bits, 93u);
    EXPECT_EQ(channel->prevMs, 100u);
}
