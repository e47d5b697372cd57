// The overview by identifier on a hand-driven arrival clock: rows and counts, intervals, changed
// bytes, the bound with its "other" row, clearing and restarting the time.
#include "log/id_overview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_record.h"

namespace {

constexpr std::int64_t kMs = 1'000'000;

CanMsg Msg(std::int32_t type, std::uint32_t id, std::uint8_t dlc = 0, std::uint8_t rtr = 0,
           std::vector<std::uint8_t> data = {}) {
    return testsupport::Record(
        {.type = type, .id = id, .dlc = dlc, .rtr = rtr, .data = std::move(data)});
}

std::vector<OverviewRow> Rows(const IdOverview& overview, std::int64_t nowNs = 0,
                              OverviewEvents* events = nullptr) {
    std::vector<OverviewRow> rows;
    OverviewEvents ignored;
    overview.Snapshot(nowNs, rows, events ? *events : ignored);
    return rows;
}

// Each record goes to the row of its identifier, format and remote flag, listed in the view's
// order; directions gather in the row, bus events are counted by kind, other types ignored.
TEST(IdOverviewTest, RowsByIdentifierFormatAndKind) {
    IdOverview overview;
    for (const CanMsg& m :
         {Msg(CAN_EV_RX_EXT, 0x18FEF100), Msg(CAN_EV_RX_STD, 0x123), Msg(CAN_EV_TX_STD, 0x123),
          Msg(CAN_EV_RX_STD, 0x123, 0, 1), Msg(CAN_EV_RX, 0x7FF), Msg(CAN_EV_TX, 0x800),
          Msg(CAN_EV_RX_EXT, 0x123), Msg(CAN_EV_TX_EXT, 0x100), Msg(CAN_EV_RX_STD, 0x0A0),
          Msg(CAN_EV_RX_STD, 0x0A0), Msg(CAN_EV_BUS_ERROR, 0), Msg(CAN_EV_OVERRUN, 0),
          Msg(CAN_EV_ARBITRATION, 0), Msg(CAN_EV_ARBITRATION, 0), Msg(CAN_EV_PASSIVE, 0),
          Msg(0, 0x555), Msg(10, 0x556)}) {
        overview.Push(m, 1.0, 0);
    }
    OverviewEvents events;
    std::vector<std::string> got;
    for (const OverviewRow& r : Rows(overview, 0, &events)) {
        got.push_back(std::to_string(r.id) + (r.extended ? "x" : "") + (r.remote ? "r" : "") + " " +
                      std::to_string(r.directions) + " " + std::to_string(r.count));
    }
    EXPECT_EQ(got,
              (std::vector<std::string>{"160 1 2", "291 3 2", "291r 1 1", "2047 1 1", "256x 2 1",
                                        "291x 1 1", "2048x 2 1", "419361024x 1 1"}));
    EXPECT_EQ(overview.RowCount(), got.size());
    const std::uint64_t expected[6] = {1, 1, 0, 0, 1, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(events.counts[i], expected[i]) << "type " << i + 4;
}

// The last interval is between the last two stamps; the mean covers the frames that arrived in
// the last second before the snapshot, and is gone once the bus has been quiet for a second.
TEST(IdOverviewTest, LastAndMeanInterval) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, std::int64_t>> frames;  // stamp (s), arrival (ms)
        std::int64_t nowMs;
        double last, mean;
    };
    const Case cases[] = {
        {"one frame", {{2.0, 0}}, 0, -1, -1},
        {"uneven", {{2.0, 0}, {2.010, 10}, {2.030, 30}}, 30, 20, 15},
        {"by stamp, not arrival", {{2.0, 0}, {2.004, 9}, {2.012, 11}}, 11, 8, 6},
        {"quiet for a second", {{2.0, 0}, {2.010, 10}, {2.020, 20}}, 1120, 10, -1},
        {"one frame in the window", {{2.0, 0}, {2.2, 200}, {3.3, 1300}}, 1300, 1100, -1},
        {"older frames leave", {{2.0, 0}, {2.5, 500}, {3.05, 1050}, {3.1, 1100}}, 1150, 50, 300},
    };
    for (const Case& c : cases) {
        IdOverview overview;
        for (const auto& [stamp, arrivalMs] : c.frames)
            overview.Push(Msg(CAN_EV_RX_STD, 0x100, 1), stamp, arrivalMs * kMs);
        const std::vector<OverviewRow> rows = Rows(overview, c.nowMs * kMs);
        ASSERT_EQ(rows.size(), 1u) << c.name;
        EXPECT_NEAR(rows[0].lastIntervalMs, c.last, 1e-6) << c.name;
        EXPECT_NEAR(rows[0].meanIntervalMs, c.mean, 1e-6) << c.name;
        EXPECT_DOUBLE_EQ(rows[0].lastSeconds, c.frames.back().first) << c.name;
    }
}

// A byte is marked when it differs from the previous frame of its row (or that frame did not
// have it) and stays marked for one second after its last change, fading in the second half.
TEST(IdOverviewTest, ChangedBytes) {
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* name;
        std::vector<std::pair<Bytes, std::int64_t>> frames;  // data (dlc = its size), arrival ms
        std::int64_t nowMs;
        std::uint8_t mask;
        std::uint8_t fading;  // the marks older than half a second
    };
    const Bytes a = {1, 2, 3, 4, 5, 6, 7, 8}, b = {9, 2, 3, 4, 5, 6, 7, 9}, c = {1, 9, 3};
    const Case cases[] = {
        {"first frame", {{a, 0}}, 0, 0x00, 0x00},
        {"same data", {{a, 0}, {a, 10}}, 10, 0x00, 0x00},
        {"bytes 0 and 7", {{a, 0}, {b, 10}}, 10, 0x81, 0x00},
        {"longer frame", {{{1, 2}, 0}, {{1, 2, 0, 0}, 10}}, 10, 0x0C, 0x00},
        {"shorter frame", {{a, 0}, {c, 10}}, 10, 0x02, 0x00},
        {"fresh for half a second", {{a, 0}, {b, 100}}, 599, 0x81, 0x00},
        {"fading after half a second", {{a, 0}, {b, 100}}, 600, 0x81, 0x81},
        {"kept under a second", {{a, 0}, {b, 100}, {b, 900}}, 1099, 0x81, 0x81},
        {"gone after a second", {{a, 0}, {b, 100}, {b, 900}}, 1100, 0x00, 0x00},
        {"the last change counts", {{a, 0}, {b, 100}, {a, 900}}, 1300, 0x81, 0x00},
    };
    for (const Case& k : cases) {
        IdOverview overview;
        for (const auto& [data, arrivalMs] : k.frames) {
            overview.Push(Msg(CAN_EV_RX_STD, 0x200, std::uint8_t(data.size()), 0, data), 1.0,
                          arrivalMs * kMs);
        }
        const std::vector<OverviewRow> rows = Rows(overview, k.nowMs * kMs);
        ASSERT_EQ(rows.size(), 1u) << k.name;
        EXPECT_EQ(rows[0].changedMask, k.mask) << k.name;
        EXPECT_EQ(rows[0].fadingMask, k.fading) << k.name;
        Bytes shown(rows[0].data, rows[0].data + 8);
        Bytes last = k.frames.back().first;
        last.resize(8);
        EXPECT_EQ(shown, last) << k.name;
    }
}

// Beyond kMaxRows identifiers every new one counts in the single "other" row, listed last; an
// identifier that has a row keeps it. Clear then leaves nothing, and there is room again.
TEST(IdOverviewTest, BoundedWithOneOtherRowUntilCleared) {
    IdOverview overview;
    for (std::uint32_t id = 0; id < IdOverview::kMaxRows; ++id)
        overview.Push(Msg(CAN_EV_RX_EXT, 0x10000 + id, 1), 1.0, 0);
    overview.Push(Msg(CAN_EV_RX_EXT, 0x20000, 1), 5.0, 0);
    overview.Push(Msg(CAN_EV_TX_STD, 0x7, 1), 5.1, 0);
    overview.Push(Msg(CAN_EV_RX_EXT, 0x10005, 1), 5.2, 0);
    overview.Push(Msg(CAN_EV_RX_EXT, 0x20000, 0, 1), 5.3, 0);
    overview.Push(Msg(CAN_EV_WARNING, 0), 5.3, 0);

    std::vector<OverviewRow> rows = Rows(overview);
    ASSERT_EQ(rows.size(), IdOverview::kMaxRows + 1);
    EXPECT_EQ(overview.RowCount(), rows.size());
    EXPECT_EQ(rows[5].count, 2u);
    const OverviewRow& other = rows.back();
    EXPECT_TRUE(other.other);
    EXPECT_EQ(other.count, 3u);
    EXPECT_EQ(other.directions, kOverviewReceived | kOverviewSent);
    EXPECT_NEAR(other.lastIntervalMs, 200, 1e-6);  // 5.1 to 5.3, whatever the identifier

    overview.Clear();
    OverviewEvents events;
    EXPECT_TRUE(Rows(overview, 0, &events).empty());
    EXPECT_EQ(overview.RowCount(), 0u);
    EXPECT_EQ(events.counts[CAN_EV_WARNING - CAN_EV_BUS_ERROR], 0u);
    overview.Push(Msg(CAN_EV_RX_EXT, 0x20000, 1), 6.0, 0);
    overview.Push(Msg(CAN_EV_RX_EXT, 0x10005, 1), 6.0, 0);
    rows = Rows(overview);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[1].other) << "beyond the bound before, a row of its own now";
    EXPECT_EQ(rows[0].count, 1u);
    EXPECT_LT(rows[0].lastIntervalMs, 0);
}

// After the channel's time restarts no interval spans the restart, whichever way the new stamps
// lie from the old ones; counts and data stay.
TEST(IdOverviewTest, RestartTimes) {
    for (const auto& [before, after] : {std::pair{5.020, 0.002}, std::pair{0.020, 2.000}}) {
        IdOverview overview;
        const CanMsg m = Msg(CAN_EV_RX_STD, 0x1, 1, 0, {4});
        overview.Push(m, before - 0.010, 0);
        overview.Push(m, before, 10 * kMs);
        overview.RestartTimes();
        EXPECT_NEAR(Rows(overview, 10 * kMs)[0].lastIntervalMs, 10, 1e-6) << before;

        overview.Push(m, after, 20 * kMs);
        OverviewRow row = Rows(overview, 20 * kMs)[0];
        EXPECT_LT(row.lastIntervalMs, 0) << before;
        EXPECT_LT(row.meanIntervalMs, 0) << before;
        EXPECT_EQ(row.count, 3u) << before;

        overview.Push(m, after + 0.010, 30 * kMs);
        row = Rows(overview, 30 * kMs)[0];
        EXPECT_NEAR(row.lastIntervalMs, 10, 1e-6) << before;
        EXPECT_NEAR(row.meanIntervalMs, 10, 1e-6) << before;
    }
}

}  // namespace
