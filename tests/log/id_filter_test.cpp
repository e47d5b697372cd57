#include "log/id_filter.h"

#include <gtest/gtest.h>

#include "log/log_row_index.h"

namespace {

using Range = IdFilter::Range;

TEST(IdFilter, ReadsIdsAndRangesWithTheirFormatOrNamesTheMistake) {
    struct Case {
        const char* text;
        std::vector<Range> ranges;  // when read
        const char* problem;        // a part of the sentence when refused
    };
    const Case cases[] = {
        {"", {}, nullptr},
        {" , ", {}, nullptr},
        {"123", {{0x123, 0x123, false}}, nullptr},
        {"00000123", {{0x123, 0x123, true}}, nullptr},
        {"100-1FF, 7e8", {{0x100, 0x1ff, false}, {0x7e8, 0x7e8, false}}, nullptr},
        {"18fef100-18fef1ff 7", {{0x18fef100, 0x18fef1ff, true}, {7, 7, false}}, nullptr},
        {"zz", {}, "\u201ezz\u201c ist keine Hexadezimalzahl"},
        {"fff", {}, "hat mehr als 11 Bit"},
        {"3fffffff", {}, "hat mehr als 29 Bit"},
        {"123456789", {}, "mehr als 8 Ziffern"},
        {"100-", {}, "fehlt eine CAN-ID"},
        {"100-00000200", {}, "mischt 11- und 29-Bit-IDs"},
        {"200-100", {}, "endet vor seinem Anfang"},
    };
    for (const Case& c : cases) {
        IdFilter filter;
        std::string before;
        ASSERT_TRUE(filter.Parse("7ff", before));
        std::string problem;
        const bool read = filter.Parse(c.text, problem);
        EXPECT_EQ(read, c.problem == nullptr) << c.text << ": " << problem;
        if (read)
            EXPECT_EQ(filter.Ranges(), c.ranges) << c.text;
        else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
            EXPECT_EQ(filter.Ranges(), (std::vector<Range>{{0x7ff, 0x7ff, false}})) << c.text;
        }
    }
}

LogRow Frame(std::uint32_t id, bool extended) {
    LogRow row{};
    row.msg.type = CAN_EV_RX;
    row.msg.id = id;
    row.msg.format = extended ? CAN_RECORD_FORMAT_EXT : CAN_RECORD_FORMAT_STD;
    return row;
}

LogRow BusError() {
    LogRow row{};
    row.msg.type = CAN_EV_BUS_ERROR;
    return row;
}

std::vector<std::uint32_t> ShownIds(const LogRowIndex& index, const LogModel& model) {
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < index.Count(); ++i)
        ids.push_back(model.Row(index.ModelRow(i)).msg.id);
    return ids;
}

// The index follows the model through drains, a filter set midway, the model dropping its oldest
// rows and a clear; 29-bit 0x123 is not 11-bit 0x123, and bus events always show.
TEST(LogRowIndex, ShowsThePassingRowsNewestFirstAsTheModelMoves) {
    LogModel model;
    LogRowIndex index(model);
    model.Push(Frame(0x123, false));
    model.Push(Frame(0x123, true));
    model.Push(Frame(0x200, false));
    index.AfterDrain(model.Drain());
    EXPECT_EQ(index.Count(), 3u);
    EXPECT_EQ(ShownIds(index, model), (std::vector<std::uint32_t>{0x200, 0x123, 0x123}));

    IdFilter filter;
    std::string problem;
    ASSERT_TRUE(filter.Parse("100-1ff", problem));
    index.SetFilter(filter);
    EXPECT_EQ(ShownIds(index, model), (std::vector<std::uint32_t>{0x123}));
    EXPECT_EQ(model.Row(index.ModelRow(0)).msg.format, CAN_RECORD_FORMAT_STD);
    EXPECT_EQ(index.Hidden(), 2u);

    model.Push(Frame(0x150, false));
    model.Push(BusError());
    model.Push(Frame(0x300, false));
    EXPECT_EQ(index.AfterDrain(model.Drain()), 2u);
    EXPECT_EQ(ShownIds(index, model), (std::vector<std::uint32_t>{0, 0x150, 0x123}));
    EXPECT_EQ(index.Hidden(), 3u);

    // The model keeps the newest kMaxRows: the old rows leave the index too.
    for (std::size_t i = 0; i < LogModel::kMaxRows - 2; ++i)
        model.Push(Frame(i % 2 ? 0x1ff : 0x400, false));
    index.AfterDrain(model.Drain());
    ASSERT_EQ(index.Count(), (LogModel::kMaxRows - 2) / 2 + 1);  // 0x150 went off the bottom
    EXPECT_EQ(ShownIds(index, model).back(), 0u) << "the bus error, the oldest row still held";
    EXPECT_EQ(index.Hidden(), LogModel::kMaxRows - index.Count());

    model.Clear();
    index.Clear();
    EXPECT_EQ(index.Count(), 0u);
    model.Push(Frame(0x101, false));
    index.AfterDrain(model.Drain());
    EXPECT_EQ(ShownIds(index, model), (std::vector<std::uint32_t>{0x101}));

    index.SetFilter(IdFilter{});
    EXPECT_EQ(index.Count(), 1u);
    EXPECT_EQ(index.Hidden(), 0u);
}

}  // namespace
