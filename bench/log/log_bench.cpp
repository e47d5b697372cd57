// The log core's costs: the receive thread's share of each row, formatting a visible row, and
// the memory the log keeps however many rows go through it.
//
//   build-log/bench/log/log_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "bench/common/allocation_count.h"
#include "log/event_log.h"

namespace {

int DropReply(void*, std::uint32_t, int, const std::uint8_t*) {
    return 0;
}

CanMsg ReceivedFrame() {
    CanMsg m{};
    m.type = CAN_EV_RX_EXT;
    m.id = 0x18fe1234;
    m.dlc = 8;
    m.status = 0x1c;
    for (int i = 0; i < 8; ++i)
        m.data[i] = static_cast<std::uint8_t>(0x10 * i + i);
    return m;
}

// The user-interface thread's share: a timer that drains the inbox every 20 ms.
class DrainTimer {
  public:
    explicit DrainTimer(LogModel& model)
        : thread_([this, &model] {
              while (!stop_.load(std::memory_order_acquire)) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  if (model.HasPending())
                      model.Drain();
              }
          }) {}
    ~DrainTimer() {
        stop_.store(true, std::memory_order_release);
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// One received frame through dispatch, four reply entries that do not fire, and the hand-over
// to the log model, with the user-interface thread draining beside it. Arg 0: the entries wait
// for other identifiers; arg 1: they wait for this identifier but other data, so each frame is
// compared byte by byte against all four.
void BM_ReceivePath(benchmark::State& state) {
    LogModel model;
    AutoReplies replies;
    const CanMsg frame = ReceivedFrame();
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        const std::uint32_t trigger =
            state.range(0) == 0 ? 0x700u + static_cast<std::uint32_t>(i) : frame.id;
        replies.SetEntry(i, {trigger, "00 11 22 33 44 55 66 78", 0x123, "01 02 03"});
    }
    EventLog log(model, replies, ReplySink{&DropReply, nullptr});
    DrainTimer timer(model);

    const std::uint64_t allocationsBefore = ThreadAllocations();
    double seconds = 0;
    for (auto _ : state) {
        log.OnCanNotify(&frame, seconds, 0.0001);
        seconds += 0.0001;
    }
    const std::uint64_t allocations = ThreadAllocations() - allocationsBefore;

    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_row"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    if (allocations != 0)
        state.SkipWithError("the receive path allocated");
}
BENCHMARK(BM_ReceivePath)->Arg(0)->Arg(1)->UseRealTime();

LogRow VisibleRow() {
    LogRow row{};
    row.msg = ReceivedFrame();
    row.msg.lost = 12;
    row.absSeconds = 3725.125;
    row.deltaSeconds = 0.000412;
    return row;
}

// The eight cells of one row into a caller's buffer, as a list asking for visible rows does.
void BM_FormatRowIntoBuffer(benchmark::State& state) {
    const LogRow row = VisibleRow();
    char cell[kLogCellCapacity];
    for (auto _ : state) {
        for (int column = 0; column < kLogColumnCount; ++column) {
            benchmark::DoNotOptimize(FormatLogCell(row, column, cell, sizeof cell));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatRowIntoBuffer);

// The same returning eight strings.
void BM_FormatRowAsStrings(benchmark::State& state) {
    const LogRow row = VisibleRow();
    for (auto _ : state) {
        for (int column = 0; column < kLogColumnCount; ++column) {
            benchmark::DoNotOptimize(FormatLogCell(row, column));
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatRowAsStrings);

// Resident set size of the process in KiB, from /proc/self/status.
double ResidentKiB() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr)
        return -1;
    char line[256];
    double kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kib = std::atof(line + 6);
    }
    std::fclose(f);
    return kib;
}

// Rows pushed as fast as the receive path goes, drained by the timer: the resident set after
// 5,000 rows and after 10,000,000.
void BM_MemoryAfterRows(benchmark::State& state) {
    for (auto _ : state) {
        const double before = ResidentKiB();
        LogModel model;
        AutoReplies replies;
        EventLog log(model, replies, ReplySink{&DropReply, nullptr});
        CanMsg frame = ReceivedFrame();
        double after5k = 0;
        {
            DrainTimer timer(model);
            for (std::uint32_t n = 1; n <= 10'000'000; ++n) {
                frame.id = n;
                log.OnCanNotify(&frame, n * 0.0001, 0.0001);
                if (n == 5000)
                    after5k = ResidentKiB();
            }
        }
        model.Drain();
        state.counters["rss_before_model_kib"] = before;
        state.counters["rss_after_5k_kib"] = after5k;
        state.counters["rss_after_10m_kib"] = ResidentKiB();
        state.counters["rows_shown"] = static_cast<double>(model.RowCount());
    }
}
BENCHMARK(BM_MemoryAfterRows)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
