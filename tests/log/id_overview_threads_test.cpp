// The overview's receive side against its user-interface side: snapshots, with and without
// clears, while frames arrive across the bound of kMaxRows identifiers (under TSan too).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "log/id_overview.h"

namespace {

TEST(IdOverviewThreadsTest, SnapshotsAndClearsWhileFramesArrive) {
    constexpr std::uint32_t kIds = IdOverview::kMaxRows + 500, kFrames = 3 * kIds;
    for (const bool clear : {false, true}) {
        IdOverview overview;
        std::atomic<bool> looked{false}, finished{false};
        std::thread receiver([&] {
            while (!looked.load(std::memory_order_acquire))  // overlap with the first look
                std::this_thread::yield();
            CanMsg m{};
            m.type = CAN_EV_RX_EXT;
            for (std::uint32_t n = 0; n < kFrames; ++n) {
                m.id = n % kIds;
                overview.Push(m, n * 0.0001, n * 100'000);
            }
            finished.store(true, std::memory_order_release);
        });
        std::vector<OverviewRow> rows;
        OverviewEvents events;
        for (int look = 0; !finished.load(std::memory_order_acquire) && !HasFailure(); ++look) {
            overview.Snapshot(0, rows, events);
            looked.store(true, std::memory_order_release);
            EXPECT_LE(rows.size(), IdOverview::kMaxRows + 1);
            for (std::size_t i = 1; i < rows.size(); ++i)  // ordered, "other" only last
                EXPECT_TRUE(rows[i].other ? i + 1 == rows.size() : rows[i - 1].id < rows[i].id);
            if (clear && look % 4 == 0)
                overview.Clear();
        }
        looked.store(true, std::memory_order_release);
        receiver.join();

        overview.Snapshot(0, rows, events);
        EXPECT_EQ(overview.RowCount(), rows.size());
        if (!clear) {  // nothing missed
            ASSERT_EQ(rows.size(), IdOverview::kMaxRows + 1);
            std::uint64_t total = 0;
            for (const OverviewRow& r : rows)
                total += r.count;
            EXPECT_EQ(total, kFrames);
            EXPECT_EQ(rows.back().count, 3u * (kIds - IdOverview::kMaxRows));
        }
    }
}

}  // namespace
