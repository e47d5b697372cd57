// The receive thread's share of the overview by identifier and of the exact bus load, per frame,
// and the heap allocations it makes (none may be made once an identifier has been seen).
//
//   build/bench/log/overview_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/common/allocation_count.h"
#include "log/id_overview.h"
#include "monitor/true_bus_load.h"

namespace {

constexpr std::int64_t kFrameSpacingNs = 83'000;  // 12,000 frames/s

// A bus of `ids` distinct identifiers: every third one 29-bit (all beyond the first 1,500),
// lengths 0..8, one remote frame in 16, a counter in the first byte and fixed bytes after it, as
// cyclic traffic looks.
std::vector<CanMsg> Traffic(int ids) {
    std::vector<CanMsg> frames;
    for (int i = 0; i < ids; ++i) {
        CanMsg m{};
        const bool extended = i % 3 == 0 || i >= 1500;
        m.type = extended ? CAN_EV_RX_EXT : CAN_EV_RX_STD;
        m.id = static_cast<std::uint32_t>(i) + (extended ? 0x18FE0000u : 0x100u);
        m.rtr = i % 16 == 15 ? 1 : 0;
        m.dlc = static_cast<std::uint8_t>(i % 9);
        for (int b = 0; b < 8; ++b)
            m.data[b] = static_cast<std::uint8_t>(0x11 * b + i);
        frames.push_back(m);
    }
    return frames;
}

// The user-interface thread's share: a snapshot every 20 ms.
class SnapshotTimer {
  public:
    explicit SnapshotTimer(const IdOverview& overview)
        : thread_([this, &overview] {
              std::vector<OverviewRow> rows;
              OverviewEvents events;
              while (!stop_.load(std::memory_order_acquire)) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  overview.Snapshot(0, rows, events);
              }
          }) {}
    ~SnapshotTimer() {
        stop_.store(true, std::memory_order_release);
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Arg 0: identifiers on the bus (5,000 passes the bound: 904 of them share the "other" row);
// arg 1: whether a snapshot thread runs beside it.
void BM_OverviewPush(benchmark::State& state) {
    IdOverview overview;
    std::vector<CanMsg> frames = Traffic(static_cast<int>(state.range(0)));
    std::int64_t ns = 0;
    for (const CanMsg& m : frames)  // every identifier seen once
        overview.Push(m, 0, ns += kFrameSpacingNs);
    std::unique_ptr<SnapshotTimer> timer;
    if (state.range(1) != 0)
        timer = std::make_unique<SnapshotTimer>(overview);

    const std::uint64_t allocationsBefore = ThreadAllocations();
    std::size_t next = 0;
    for (auto _ : state) {
        CanMsg& m = frames[next];
        ++m.data[0];
        ns += kFrameSpacingNs;
        overview.Push(m, double(ns) * 1e-9, ns);
        if (++next == frames.size())
            next = 0;
    }
    const std::uint64_t allocations = ThreadAllocations() - allocationsBefore;
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_frame"] =
        double(allocations) / static_cast<double>(state.iterations());
    state.counters["rows"] = static_cast<double>(overview.RowCount());
    if (allocations != 0)
        state.SkipWithError("Push allocated");
}
BENCHMARK(BM_OverviewPush)->Args({50, 0})->Args({50, 1})->Args({5000, 0})->Args({5000, 1});

// The copy the user-interface thread makes: all rows, sorted, with means and changed marks.
void BM_OverviewSnapshot(benchmark::State& state) {
    IdOverview overview;
    std::int64_t ns = 0;
    for (const CanMsg& m : Traffic(static_cast<int>(state.range(0))))
        overview.Push(m, 0, ns += kFrameSpacingNs);
    std::vector<OverviewRow> rows;
    OverviewEvents events;
    for (auto _ : state)
        overview.Snapshot(ns, rows, events);
    state.counters["rows"] = static_cast<double>(rows.size());
}
BENCHMARK(BM_OverviewSnapshot)->Arg(50)->Arg(5000)->Unit(benchmark::kMicrosecond);

// A clear of a full table: what a frame of a new identifier may wait for on the table lock.
void BM_OverviewClear(benchmark::State& state) {
    IdOverview overview;
    const std::vector<CanMsg> frames = Traffic(5000);
    for (auto _ : state) {
        state.PauseTiming();
        for (const CanMsg& m : frames)
            overview.Push(m, 0, 0);
        state.ResumeTiming();
        overview.Clear();
    }
}
BENCHMARK(BM_OverviewClear)->Unit(benchmark::kMicrosecond);

void BM_TrueBusLoadAdd(benchmark::State& state) {
    TrueBusLoad load;
    std::vector<CanMsg> frames = Traffic(50);
    const std::uint64_t allocationsBefore = ThreadAllocations();
    std::int64_t ns = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        CanMsg& m = frames[next];
        ++m.data[0];
        ns += kFrameSpacingNs;
        load.Add(m, ns, ns, 1'000'000);
        if (++next == frames.size())
            next = 0;
    }
    const std::uint64_t allocations = ThreadAllocations() - allocationsBefore;
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_frame"] =
        double(allocations) / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(load.Sample(ns, 1'000'000));
    if (allocations != 0)
        state.SkipWithError("Add allocated");
}
BENCHMARK(BM_TrueBusLoadAdd);

}  // namespace

BENCHMARK_MAIN();
