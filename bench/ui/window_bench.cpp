// The whole program in process on the simulated adapter's flooded 1 Mbit/s bus, with the channel
// open and rows shown as the operator sees them. Reports:
//   - processor time of the whole process (every thread) over a measuring window,
//   - the largest delay from a frame reaching the program (the channel's callback) to the first
//     repaint of the table after the drain that took its row,
//   - the resident set at intervals, to show that it stays flat.
//
//   xvfb-run -a build/bench/ui/ui_window_bench [--seconds N] [--measure-from S] [--measure-for S]
//                                              [--hidden]   (no window on screen: all but painting)
//                                              [--overview] (the overview by identifier shown)
//
// The settings file is a fresh one in a temporary folder, holding only the baud rate.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <wx/init.h>
#include <wx/timer.h>

#include "bench/ui/bench_program.h"
#include "channel/can_channel.h"
#include "ui/log_list_ctrl.h"
#include "ui/main_frame.h"
#include "ui/overview_window.h"
#include "ui/vesk_app.h"
#include "ui/vesk_view.h"

namespace {

using Clock = std::chrono::steady_clock;

using bench::NowNs;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Arrival time of the oldest frame whose row has not been drained yet (0: none).
std::atomic<std::int64_t> g_oldestPending{0};
std::atomic<std::uint64_t> g_frames{0};
CanNotifyCallback g_viewCallback = nullptr;

int TimingCallback(CanChannel* channel, double absSeconds, double deltaSeconds, const CanMsg* msg) {
    std::int64_t none = 0;
    g_oldestPending.compare_exchange_strong(none, NowNs(), std::memory_order_relaxed);
    g_frames.fetch_add(1, std::memory_order_relaxed);
    return g_viewCallback(channel, absSeconds, deltaSeconds, msg);
}

struct Options {
    int seconds = 60;
    int measureFrom = 5;
    int measureFor = 10;
    bool hidden = false;    // no window on screen: what everything but painting costs
    bool overview = false;  // the overview by identifier instead of the log
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--hidden")
            o.hidden = true;
        if (std::string(argv[i]) == "--overview")
            o.overview = true;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (key == "--seconds")
            o.seconds = value;
        if (key == "--measure-from")
            o.measureFrom = value;
        if (key == "--measure-for")
            o.measureFor = value;
    }
    o.seconds = std::max(o.seconds, o.measureFrom + o.measureFor);
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    bench::BenchProgram program("vesk-ui-bench");
    CMainFrame* frame = program.Start(argv[0], {"--scenario", "flood"});
    if (!frame)
        return 1;
    CVeskView* view = frame->GetView();

    // Frames are timed as the channel hands them over, rows as the table is painted.
    g_viewCallback = view->m_channel->callback;
    view->m_channel->callback = &TimingCallback;
    std::int64_t drainedOldest = 0;
    std::int64_t worstDelayNs = 0;
    std::uint64_t paints = 0;
    bool measuring = false;
    view->Bind(wxEVT_TIMER, [&](wxTimerEvent& event) {
        const std::int64_t oldest = g_oldestPending.exchange(0, std::memory_order_relaxed);
        if (oldest != 0 && drainedOldest == 0)
            drainedOldest = oldest;
        event.Skip();  // the view drains now
    });
    if (options.overview)
        view->ShowOverview(true);
    CFastReportList* shown = options.overview
                                 ? static_cast<CFastReportList*>(view->GetOverview()->List())
                                 : view->GetList();
    shown->RowsWindow()->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++paints;
        if (drainedOldest != 0) {
            if (measuring)
                worstDelayNs = std::max(worstDelayNs, NowNs() - drainedOldest);
            drainedOldest = 0;
        }
        event.Skip();
    });

    if (options.hidden)
        frame->Hide();
    if (!view->OpenChannel(0, 0, 0)) {
        std::fprintf(stderr, "the simulated adapter did not open\n");
        return 1;
    }

    const auto start = Clock::now();
    double cpuAtStart = 0;
    std::uint64_t framesAtStart = 0;
    std::uint64_t paintsAtStart = 0;
    std::vector<std::pair<int, long>> resident;
    int second = 0;
    double cpuPercent = 0;
    double framesPerSecond = 0;
    double paintsPerSecond = 0;

    wxTimer clock;
    clock.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        ++second;
        if (second == options.measureFrom) {
            cpuAtStart = bench::CpuSeconds();
            framesAtStart = g_frames.load();
            paintsAtStart = paints;
            measuring = true;
        }
        if (second == options.measureFrom + options.measureFor) {
            const double wall = options.measureFor;
            cpuPercent = 100.0 * (bench::CpuSeconds() - cpuAtStart) / wall;
            framesPerSecond = static_cast<double>(g_frames.load() - framesAtStart) / wall;
            paintsPerSecond = static_cast<double>(paints - paintsAtStart) / wall;
            measuring = false;
        }
        if (second % 10 == 0)
            resident.emplace_back(second, ResidentKiB());
        if (second >= options.seconds)
            frame->Close(true);
    });
    clock.Start(1000);
    wxTheApp->OnRun();
    clock.Stop();

    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("window bench: flood scenario, 1000000 bit/s, %d s run (%.1f s wall)\n",
                options.seconds, elapsed);
    std::printf("  frames reaching the program: %.0f /s\n", framesPerSecond);
    std::printf("  table repaints:              %.1f /s\n", paintsPerSecond);
    std::printf("  process CPU (all threads):   %.1f %% of one core over %d s\n", cpuPercent,
                options.measureFor);
    std::printf("  worst frame-to-screen delay: %.1f ms\n", worstDelayNs / 1e6);
    for (const auto& [at, kib] : resident)
        std::printf("  resident after %3d s: %ld KiB\n", at, kib);

    return 0;
}
