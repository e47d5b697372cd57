#include <gtest/gtest.h>

#include <vector>

#include "plot/plot_model.h"

namespace {

constexpr std::size_t kBlock = plot::PointBlock::kPoints;

TEST(PlotModel, LetsTheOldestPointsOfTheLargestSeriesGoAndCountsThem) {
    const struct {
        std::size_t budgetBlocks;
        std::vector<std::size_t> appends;  // per series, in turn: all of A, then all of B, ...
        std::vector<std::size_t> held;
        std::vector<std::size_t> letGo;
    } cases[] = {
        {2, {2 * kBlock}, {2 * kBlock}, {0}},
        {2, {3 * kBlock}, {2 * kBlock}, {kBlock}},
        {2, {3 * kBlock, 1}, {kBlock, 1}, {2 * kBlock, 0}},
        {3, {kBlock + 5, kBlock + 5}, {5, kBlock + 5}, {kBlock, 0}},
        {1, {10, 10}, {0, 10}, {10, 0}},
    };
    for (const auto& c : cases) {
        plot::PlotModel model(c.budgetBlocks * kBlock);
        std::vector<plot::SeriesId> ids;
        std::int64_t t = 0;
        for (std::size_t s = 0; s < c.appends.size(); ++s) {
            ids.push_back(model.AddSeries({}));
            for (std::size_t i = 0; i < c.appends[s]; ++i)
                model.Append(ids[s], {t += 1000, i, plot::Gap::kNone});
        }
        std::uint64_t allGone = 0;
        for (std::size_t s = 0; s < ids.size(); ++s) {
            EXPECT_EQ(model.Series(ids[s])->Size(), c.held[s]) << "series " << s;
            EXPECT_EQ(model.PointsLetGo(ids[s]), c.letGo[s]) << "series " << s;
            allGone += c.letGo[s];
        }
        EXPECT_EQ(model.PointsLetGo(), allGone);
        EXPECT_LE(model.MemoryBytes(), c.budgetBlocks * sizeof(plot::PointBlock));
        // The oldest points went: the first one held is the one after those let go.
        if (c.held[0] > 0) {
            EXPECT_EQ(*model.Series(ids[0])->FirstTimeNs(),
                      static_cast<std::int64_t>(c.letGo[0] + 1) * 1000);
        }
    }
}

TEST(PlotModel, LoweringTheBudgetLetsPointsGoNow) {
    plot::PlotModel model(4 * kBlock);
    const plot::SeriesId id = model.AddSeries({});
    for (std::size_t i = 0; i < 4 * kBlock; ++i)
        model.Append(id, {static_cast<std::int64_t>(i) * 1000, i, plot::Gap::kNone});
    model.SetPointBudget(kBlock + 1);
    EXPECT_EQ(model.PointBudget(), 2 * kBlock);
    EXPECT_EQ(model.PointsHeld(), 2 * kBlock);
    EXPECT_EQ(model.PointsLetGo(), 2 * kBlock);
}

}  // namespace
