#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dbc/dbc_reader.h"
#include "dbc/signal_decoder.h"
#include "plot/plot_model.h"

namespace {

constexpr std::int64_t kS = 1'000'000'000;

plot::SeriesInfo Info(double factor = 1, double offset = 0) {
    plot::SeriesInfo info;
    info.signal.length = 16;
    info.signal.factor = factor;
    info.signal.offset = offset;
    info.messageName = "M";
    info.signal.name = "S";
    return info;
}

plot::Point Value(std::int64_t timeNs, std::uint64_t raw) {
    return {timeNs, raw, plot::Gap::kNone};
}

plot::Point GapAt(std::int64_t timeNs) {
    return {timeNs, 0, plot::Gap::kShortFrame};
}

TEST(SignalSeries, SummarisesEachColumn) {
    // Points at whole seconds; a value of -1 stands for a gap.
    const struct {
        std::vector<int> values;
        std::int64_t from, to;
        int columns;
        std::vector<plot::Column> expected;  // first/last NaN for gaps
    } cases[] = {
        {{1, 5, -1, 7}, 0, 4 * kS, 2, {{2, 1, 1, 5, 1, 5}, {2, 1, 7, 7, NAN, 7}}},
        {{3, 9, 2}, 0, 3 * kS, 1, {{3, 1, 2, 9, 3, 2}}},
        {{3, 9, 2}, 1 * kS, 2 * kS, 2, {{1, 1, 9, 9, 9, 9}, {0, 0, 0, 0, 0, 0}}},
        {{-1, -1}, 0, 2 * kS, 1, {{2, 0, INFINITY, -INFINITY, NAN, NAN}}},
    };
    for (const auto& c : cases) {
        plot::PlotModel model;
        const plot::SeriesId id = model.AddSeries(Info());
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const std::int64_t t = static_cast<std::int64_t>(i) * kS;
            model.Append(id, c.values[i] < 0 ? GapAt(t) : Value(t, c.values[i]));
        }
        std::vector<plot::Column> got(c.columns);
        model.Series(id)->Decimate(c.from, c.to, got);
        for (int i = 0; i < c.columns; ++i) {
            const plot::Column& e = c.expected[i];
            const plot::Column& g = got[i];
            SCOPED_TRACE(testing::Message() << "column " << i << " of case " << c.values.size());
            EXPECT_EQ(g.count, e.count);
            EXPECT_EQ(g.values != 0, e.values != 0);
            if (e.count == 0)
                continue;
            EXPECT_EQ(g.min, e.min);
            EXPECT_EQ(g.max, e.max);
            EXPECT_EQ(std::isnan(g.first), std::isnan(e.first));
            EXPECT_EQ(std::isnan(g.last), std::isnan(e.last));
            if (!std::isnan(e.first)) {
                EXPECT_EQ(g.first, e.first);
            }
            if (!std::isnan(e.last)) {
                EXPECT_EQ(g.last, e.last);
            }
        }
    }
}

// The summaries through the levels agree with a walk over every point, for columns of every
// width across block borders.
TEST(SignalSeries, LevelsAgreeWithEveryPoint) {
    std::mt19937 random(7);
    plot::PlotModel model;
    const plot::SeriesId id = model.AddSeries(Info(0.5, -3));
    std::vector<std::pair<std::int64_t, double>> points;
    std::int64_t t = 0;
    for (int i = 0; i < 3 * 4096 + 123; ++i) {
        t += 1000 * (1 + random() % 3);
        if (random() % 50 == 0) {
            model.Append(id, GapAt(t));
            points.emplace_back(t, NAN);
        } else {
            const std::uint64_t raw = random() % 1000;
            model.Append(id, Value(t, raw));
            points.emplace_back(t, raw * 0.5 - 3);
        }
    }
    for (int columns : {1, 7, 100, 999, 20000}) {
        const std::int64_t from = points[37].first, to = points[points.size() - 5].first;
        std::vector<plot::Column> got(columns);
        model.Series(id)->Decimate(from, to, got);
        const double width = static_cast<double>(to - from) / columns;
        for (int c = 0; c < columns; ++c) {
            const std::int64_t a = from + static_cast<std::int64_t>(width * c);
            const std::int64_t b =
                c + 1 == columns ? to : from + static_cast<std::int64_t>(width * (c + 1));
            double mn = INFINITY, mx = -INFINITY;
            std::uint32_t count = 0;
            for (const auto& [pt, v] : points) {
                if (pt >= a && pt < b) {
                    ++count;
                    if (!std::isnan(v)) {
                        mn = std::min(mn, v);
                        mx = std::max(mx, v);
                    }
                }
            }
            ASSERT_EQ(got[c].count, count) << columns << " columns, column " << c;
            if (count > 0) {
                ASSERT_EQ(got[c].min, mn) << columns << " columns, column " << c;
                ASSERT_EQ(got[c].max, mx) << columns << " columns, column " << c;
            }
        }
    }
}

TEST(SignalSeries, ReadsTheValueAtATime) {
    plot::PlotModel model;
    const plot::SeriesId id = model.AddSeries(Info(2, 1));
    model.Append(id, Value(1 * kS, 10));
    model.Append(id, GapAt(2 * kS));
    model.Append(id, Value(3 * kS, 20));
    // A time going backwards is kept at the last time.
    model.Append(id, Value(2 * kS, 30));
    const struct {
        std::int64_t at;
        bool found;
        bool gap;
        double value;
        std::int64_t time;
    } cases[] = {
        {kS / 2, false, false, 0, 0},      {1 * kS, true, false, 21, 1 * kS},
        {kS * 3 / 2, true, false, 21, kS}, {2 * kS + 1, true, true, 0, 2 * kS},
        {3 * kS, true, false, 61, 3 * kS}, {9 * kS, true, false, 61, 3 * kS},
    };
    const plot::SignalSeries& s = *model.Series(id);
    for (const auto& c : cases) {
        const auto p = s.AtOrBefore(c.at);
        ASSERT_EQ(p.has_value(), c.found) << c.at;
        if (!p)
            continue;
        EXPECT_EQ(p->gap != plot::Gap::kNone, c.gap) << c.at;
        EXPECT_EQ(p->timeNs, c.time) << c.at;
        if (!c.gap) {
            EXPECT_EQ(s.Physical(p->raw), c.value) << c.at;
        }
    }
    EXPECT_EQ(s.After(1 * kS)->timeNs, 2 * kS);
    EXPECT_FALSE(s.After(3 * kS));
}

// The plot's value of a raw one is the decoder's, bit for bit.
TEST(SignalSeries, PhysicalValueIsTheDecoders) {
    const dbc::ReadResult r = dbc::ParseDbc(R"(BO_ 1 M: 8 X
 SG_ U : 0|12@1+ (0.1,-40) [0|0] "" X
 SG_ I : 16|12@1- (0.5,-10) [0|0] "" X
 SG_ F : 32|32@1- (3,1) [0|0] "" X
SIG_VALTYPE_ 1 F : 1;
)",
                                            "t.dbc");
    ASSERT_TRUE(r.database) << r.error;
    const dbc::Message& m = r.database->messages.at(0);
    const std::vector<std::vector<std::uint8_t>> payloads = {
        {0x12, 0x34, 0xFE, 0xDC, 0x00, 0x00, 0xC0, 0x3F},
        {0xFF, 0x0F, 0x01, 0x08, 0xDB, 0x0F, 0x49, 0xC0}};
    for (const auto& data : payloads) {
        std::vector<dbc::DecodedSignal> d(m.signals.size());
        dbc::Decode(m, data, d);
        for (std::size_t i = 0; i < m.signals.size(); ++i) {
            plot::SeriesInfo info;
            info.signal = m.signals[i];
            const plot::SignalSeries s(info);
            EXPECT_EQ(s.Physical(d[i].raw), d[i].value) << m.signals[i].name;
        }
    }
}

}  // namespace
