// The plot's costs: filling 10 signals with 1 million points each, then redrawing them (the
// summaries of every pixel column) at zoom levels from the whole range down to a few points per
// column, as a wheel or a drag would ask for them; and the memory each point kept takes.
//
// Then a trace of 1,000,000 frames (candump log, 10 messages of 4 signals, one of them
// multiplexed) evaluated with its database until it is ready to plot.
//
// Usage: plot_bench [COLUMNS [REDRAWS [FOLDER]]]   (default 1600 200 /tmp)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbc/dbc_reader.h"
#include "monitor/trace_evaluation.h"
#include "plot/plot_model.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The machine is shared: processor time of this thread tells what the work costs.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
    const int columns = argc > 1 ? std::atoi(argv[1]) : 1600;
    const int redraws = argc > 2 ? std::atoi(argv[2]) : 200;
    constexpr int kSignals = 10;
    constexpr std::int64_t kPointsEach = 1'000'000;
    constexpr std::int64_t kStepNs = 1'000'000;  // 1,000 values a second

    plot::PlotModel model;
    std::vector<plot::SeriesId> ids;
    for (int s = 0; s < kSignals; ++s) {
        plot::SeriesInfo info;
        info.signal.length = 16;
        info.signal.factor = 0.01;
        ids.push_back(model.AddSeries(info));
    }
    const auto fillStart = Clock::now();
    for (std::int64_t i = 0; i < kPointsEach; ++i) {
        for (int s = 0; s < kSignals; ++s) {
            const auto raw = static_cast<std::uint64_t>(
                32768 + 30000 * std::sin(static_cast<double>(i) / (500.0 + 100 * s)));
            // Every signal misses one frame in 100, as a multiplexed one would.
            model.Append(ids[s], {i * kStepNs + s * 1000, raw,
                                  i % 100 == s ? plot::Gap::kNotSelected : plot::Gap::kNone});
        }
    }
    const double fillMs = MsSince(fillStart);
    const std::uint64_t held = model.PointsHeld();

    std::mt19937_64 random(1);
    std::vector<plot::Column> out(static_cast<std::size_t>(columns));
    std::vector<double> times, cpu;
    double slowestMs = 0, slowestSpan = 0;
    const std::int64_t whole = kPointsEach * kStepNs;
    for (int r = 0; r < redraws; ++r) {
        // Spans from the whole trace down to 1/10,000 of it, anywhere in it.
        const double fraction = std::pow(10.0, -4.0 * static_cast<double>(r % 50) / 49.0);
        const auto span = static_cast<std::int64_t>(static_cast<double>(whole) * fraction);
        const std::int64_t from =
            span >= whole ? 0 : static_cast<std::int64_t>(random() % (whole - span));
        const auto start = Clock::now();
        const double cpuStart = CpuMs();
        for (plot::SeriesId id : ids)
            model.Series(id)->Decimate(from, from + span, out);
        cpu.push_back(CpuMs() - cpuStart);
        if (cpu.back() > slowestMs) {
            slowestMs = cpu.back();
            slowestSpan = fraction;
        }
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("points held            %llu (%d signals), let go %llu\n",
                static_cast<unsigned long long>(held), kSignals,
                static_cast<unsigned long long>(model.PointsLetGo()));
    std::printf("fill                   %.1f ms, %.1f ns per point\n", fillMs,
                fillMs * 1e6 / static_cast<double>(held));
    std::printf("memory                 %.2f bytes per point kept\n",
                static_cast<double>(model.MemoryBytes()) / static_cast<double>(held));
    std::printf("redraw of %d columns  median %.2f ms, 99th %.2f ms, max %.2f ms (%d redraws)\n",
                columns, times[times.size() / 2], times[times.size() * 99 / 100], times.back(),
                redraws);
    std::printf("  processor time       median %.2f ms, 99th %.2f ms, max %.2f ms\n",
                cpu[cpu.size() / 2], cpu[cpu.size() * 99 / 100], cpu.back());
    std::printf("  slowest at a span of %.4g of the whole (%.0f points a column)\n", slowestSpan,
                slowestSpan * static_cast<double>(kPointsEach) / columns);

    // The trace: 100 us apart, messages in turn, bytes that change with the frame's number.
    const std::string folder = argc > 3 ? argv[3] : "/tmp";
    const std::string path = folder + "/vesk-plot-bench.log";
    {
        std::ofstream file(path);
        char line[96];
        for (int i = 0; i < 1'000'000; ++i) {
            const unsigned v = static_cast<unsigned>(i);
            std::snprintf(
                line, sizeof line, "(%d.%06d) can0 %03X#%02X%02X%02X%02X%02X%02X%02X%02X R\n",
                1700000000 + i / 10000, i % 10000 * 100, 0x100 + i % 10, v % 2, v & 0xFF,
                (v >> 8) & 0xFF, (v >> 3) & 0xFF, 0x12, (v >> 5) & 0xFF, 0x34, (v >> 1) & 0xFF);
            file << line;
        }
    }
    std::string text;
    for (int m = 0; m < 10; ++m) {
        const std::string id = std::to_string(0x100 + m);
        text += "BO_ " + id + " Botschaft" + std::to_string(m) + ": 8 X\n";
        if (m == 0) {
            text += " SG_ Mux M : 0|8@1+ (1,0) [0|0] \"\" X\n";
            text += " SG_ A m0 : 8|16@1+ (0.1,0) [0|0] \"V\" X\n";
            text += " SG_ B m1 : 8|16@1+ (0.1,0) [0|0] \"V\" X\n";
        } else {
            text += " SG_ S" + id + "_0 : 0|8@1+ (1,0) [0|0] \"\" X\n";
            text += " SG_ S" + id + "_1 : 8|16@1- (0.01,-5) [0|0] \"km/h\" X\n";
            text += " SG_ S" + id + "_2 : 24|8@1+ (1,0) [0|0] \"\" X\n";
        }
        text += " SG_ T" + id + " : 40|8@1+ (0.5,-40) [0|0] \"degC\" X\n";
    }
    dbc::ReadResult read = dbc::ParseDbc(text, "bench.dbc");
    if (!read.database) {
        std::fprintf(stderr, "%s\n", read.error.c_str());
        return 1;
    }
    dbc::DatabaseSet set;
    set.Add(std::make_shared<const dbc::Database>(std::move(*read.database)));
    plot::PlotModel traceModel;
    const auto evalStart = Clock::now();
    const double evalCpuStart = CpuMs();
    const TraceEvaluation result =
        EvaluateTrace(path, set, traceModel, [](double) { return true; });
    const double evalMs = MsSince(evalStart);
    const double evalCpuMs = CpuMs() - evalCpuStart;
    std::filesystem::remove(path);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    const std::uint64_t traceHeld = traceModel.PointsHeld();
    std::printf(
        "trace of %llu frames   ready in %.0f ms (processor %.0f ms), %llu points in "
        "%zu series, %.2f bytes per point kept\n",
        static_cast<unsigned long long>(result.frames), evalMs, evalCpuMs,
        static_cast<unsigned long long>(traceHeld), traceModel.Ids().size(),
        static_cast<double>(traceModel.MemoryBytes()) / static_cast<double>(traceHeld));
    return 0;
}
