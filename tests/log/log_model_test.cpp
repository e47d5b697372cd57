#include "log/log_model.h"

#include <gtest/gtest.h>

namespace {

// Rows are told apart by their identifier, which counts up in push order.
LogRow Numbered(std::uint32_t n) {
    LogRow row{};
    row.msg.type = CAN_EV_RX;
    row.msg.id = n;
    row.absSeconds = n * 0.001;
    return row;
}

void PushRange(LogModel& model, std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t n = first; n < first + count; ++n)
        model.Push(Numbered(n));
}

// Checks that the table holds exactly the rows newest..newest-count+1, newest on top.
void ExpectNewestFirst(const LogModel& model, std::uint32_t newest, std::size_t count) {
    ASSERT_EQ(model.RowCount(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(model.Row(i).msg.id, newest - i) << "row " << i;
    }
}

TEST(LogModel, RowsAppearOnlyWhenDrainedNewestOnTop) {
    LogModel model;
    EXPECT_FALSE(model.HasPending());
    PushRange(model, 1, 3);
    EXPECT_TRUE(model.HasPending());
    EXPECT_EQ(model.RowCount(), 0u);

    EXPECT_EQ(model.Drain(), 3u);
    EXPECT_FALSE(model.HasPending());
    ExpectNewestFirst(model, 3, 3);
    EXPECT_DOUBLE_EQ(model.Row(0).absSeconds, 0.003);

    PushRange(model, 4, 2);
    EXPECT_EQ(model.Drain(), 2u);
    EXPECT_EQ(model.DroppedByLastDrain(), 0u);
    ExpectNewestFirst(model, 5, 5);
    EXPECT_EQ(model.Drain(), 0u);
    ExpectNewestFirst(model, 5, 5);
}

TEST(LogModel, The5001stRowPushesOutTheOldest) {
    LogModel model;
    PushRange(model, 1, LogModel::kMaxRows);
    model.Drain();
    ExpectNewestFirst(model, 5000, 5000);
    EXPECT_EQ(model.Row(4999).msg.id, 1u);

    model.Push(Numbered(5001));
    EXPECT_EQ(model.Drain(), 1u);
    EXPECT_EQ(model.DroppedByLastDrain(), 1u);
    ExpectNewestFirst(model, 5001, 5000);

    // Row by row, the count stays level once the cap is reached.
    for (std::uint32_t n = 5002; n < 5010; ++n) {
        model.Push(Numbered(n));
        model.Drain();
        ASSERT_EQ(model.RowCount(), LogModel::kMaxRows);
        ASSERT_EQ(model.Row(0).msg.id, n);
        ASSERT_EQ(model.Row(4999).msg.id, n - 4999);
    }
}

TEST(LogModel, ABatchLargerThanTheTableKeepsOnlyTheNewestRows) {
    LogModel model;
    PushRange(model, 1, 1200);
    model.Drain();

    PushRange(model, 1201, 12000);
    EXPECT_EQ(model.SkippedCount(), 7000u);  // the inbox never holds more than the table
    EXPECT_EQ(model.Drain(), LogModel::kMaxRows);
    EXPECT_EQ(model.DroppedByLastDrain(), 1200u);
    ExpectNewestFirst(model, 13200, 5000);

    PushRange(model, 13201, 4000);
    EXPECT_EQ(model.Drain(), 4000u);
    EXPECT_EQ(model.DroppedByLastDrain(), 4000u);
    ExpectNewestFirst(model, 17200, 5000);
}

TEST(LogModel, ClearEmptiesTableAndPendingThenNewRowsAppearAsUsual) {
    LogModel model;
    model.Clear();  // on an empty table: nothing happens
    EXPECT_EQ(model.RowCount(), 0u);

    PushRange(model, 1, 6000);
    model.Drain();
    PushRange(model, 6001, 10);
    model.Clear();
    EXPECT_EQ(model.RowCount(), 0u);
    EXPECT_FALSE(model.HasPending());
    EXPECT_EQ(model.Drain(), 0u);

    PushRange(model, 7000, 2);
    EXPECT_EQ(model.Drain(), 2u);
    EXPECT_EQ(model.DroppedByLastDrain(), 0u);
    ExpectNewestFirst(model, 7001, 2);
}

TEST(LogModel, RowPastTheEndIsBlank) {
    LogModel model;
    EXPECT_EQ(model.Row(0).msg.type, 0);
    PushRange(model, 1, 2);
    model.Drain();
    EXPECT_EQ(model.Row(2).msg.type, 0);
    EXPECT_EQ(FormatLogCell(model.Row(7), 0), "");
    model.Clear();
    EXPECT_EQ(FormatLogCell(model.Row(0), 3), "");
}

TEST(LogModel, AlternatingDrainsKeepArrivalOrderAcrossBothInboxes) {
    LogModel model;
    std::uint32_t next = 1;
    for (int round = 0; round < 7; ++round) {
        const std::uint32_t batch = 1000 + static_cast<std::uint32_t>(round) * 700;
        PushRange(model, next, batch);
        next += batch;
        model.Drain();
        ExpectNewestFirst(model, next - 1, std::min<std::size_t>(next - 1, LogModel::kMaxRows));
    }
}

}  // namespace
