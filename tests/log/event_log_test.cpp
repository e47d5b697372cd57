#include "log/event_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "channel/can_channel.h"
#include "tests/log/reply_recorder.h"
#include "tests/support/test_record.h"

namespace {

using ::testing::ElementsAre;

CanMsg Record(std::int32_t type, std::uint32_t id, std::vector<std::uint8_t> data = {}) {
    return testsupport::Record(
        {.type = type, .id = id, .data = std::move(data), .status = 0x1c, .lost = 2});
}

class EventLogTest : public ::testing::Test {
  protected:
    LogModel model;
    AutoReplies replies;
    ReplyRecorder recorder;
    EventLog log{model, replies, recorder.Sink()};
};

TEST_F(EventLogTest, DispatchesEveryTypeToItsRowAndSkipsTheRest) {
    replies.SetEntry(0, {0x100, "", 0x200, "aa"});  // fires for every received frame
    const std::int32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -1};
    for (std::int32_t type : types) {
        const CanMsg m = Record(type, 0x100);
        EXPECT_EQ(log.OnCanNotify(&m, 1.0, 0.5), 0);
    }
    EXPECT_EQ(log.OnCanNotify(nullptr, 1.0, 0.5), 0);
    ASSERT_EQ(model.Drain(), 12u);

    const char* expected[] = {"Transmitted EXT", "Transmitted STD", "Received EXT",  "Received STD",
                              "Arbitration",     "Passive",         "Warning error", "Wake up",
                              "Overrun",         "Bus error",       "Transmitted",   "Received"};
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(FormatLogCell(model.Row(i), 0), expected[i]) << "row " << i;
        EXPECT_EQ(FormatLogCell(model.Row(i), 1), "1.000 s  [0.500 s]") << "row " << i;
    }
    EXPECT_EQ(FormatLogCell(model.Row(11), 7), "2");
    // Only the three received frames were answered.
    EXPECT_EQ(recorder.sent.size(), 3u);
}

TEST_F(EventLogTest, ReceivedFramesAreAnsweredBeforeTheirRowIsStored) {
    // The sink looks at the model at the moment the reply leaves.
    struct Probe {
        LogModel* model;
        std::vector<bool> pendingAtSend;
    } probe{&model, {}};
    EventLog probing(model, replies,
                     ReplySink{[](void* c, std::uint32_t, int, const std::uint8_t*) {
                                   auto* p = static_cast<Probe*>(c);
                                   p->pendingAtSend.push_back(p->model->HasPending());
                                   return 0;
                               },
                               &probe});
    replies.SetEntry(0, {0x100, "11", 0x200, ""});
    replies.SetEntry(1, {0x100, "", 0x201, ""});
    const CanMsg m = Record(CAN_EV_RX_STD, 0x100, {0x11});
    probing.OnCanNotify(&m, 0, 0);
    EXPECT_THAT(probe.pendingAtSend, ElementsAre(false, false));
    EXPECT_EQ(model.Drain(), 1u);
}

TEST_F(EventLogTest, RowBuildersTakeTheirKindFromTheirOwnArguments) {
    const CanMsg m = Record(CAN_EV_RX, 0x7, {0x01});
    log.InsertTransmittedRow(2, m, 0, 0);
    log.InsertReceivedRow(7, Record(CAN_EV_TX, 0x8), 0, 0);  // a bad suffix counts as none
    log.InsertStatusRow(Record(CAN_EV_WAKE_UP, 0), 0, 0);
    log.InsertStatusRow(Record(CAN_EV_RX, 0), 0, 0);  // no bus event: no row
    ASSERT_EQ(model.Drain(), 3u);
    EXPECT_EQ(FormatLogCell(model.Row(0), 0), "Wake up");
    EXPECT_EQ(FormatLogCell(model.Row(1), 0), "Received");
    EXPECT_EQ(FormatLogCell(model.Row(2), 0), "Transmitted EXT");
    EXPECT_EQ(FormatLogCell(model.Row(2), 7), "");
}

TEST_F(EventLogTest, NotifyCallbackFindsTheLogThroughTheChannelOwner) {
    CanChannel channel;
    channel.owner = &log;
    const CanMsg m = Record(CAN_EV_OVERRUN, 0);
    CanNotifyCallback callback = &EventLog::NotifyCallback;
    EXPECT_EQ(callback(&channel, 3.25, 0.125, &m), 0);
    EXPECT_EQ(callback(nullptr, 0, 0, &m), 0);
    channel.owner = nullptr;
    EXPECT_EQ(callback(&channel, 0, 0, &m), 0);
    ASSERT_EQ(model.Drain(), 1u);
    EXPECT_EQ(FormatLogCell(model.Row(0), 1), "3.250 s  [0.125 s]");
}

}  // namespace
