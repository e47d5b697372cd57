// The live plot under its heaviest load: the whole program in process on a simulated 1 Mbit/s
// bus at 100 %, where one message carrying ten signals comes every millisecond (10 signals at
// 1,000 values a second each) between the frames of a flooding node, all of them in the log.
// With "Signalverlauf" following those ten signals (or, with --no-plot, without the plot window)
// it reports:
//   - processor time of the whole process (every thread) over a measuring window,
//   - values taken into the plot and pictures drawn a second,
//   - the delay from a frame reaching the program (the channel's callback) to the end of the
//     first picture that shows its values, for the first frame new in each picture, which waited
//     longest (median, 99th percentile, largest).
//
//   xvfb-run -a build/bench/ui/ui_plot_window_bench [--no-plot] [--noise] [--measure-from S]
//                                                   [--measure-for S]
//
// bench/ui/measure_window_plot runs it with and without the plot, back to back.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <wx/timer.h>

#include "bench/ui/bench_program.h"
#include "channel/adapter_path.h"
#include "channel/can_channel.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"
#include "ui/main_frame.h"
#include "ui/plot_canvas.h"
#include "ui/plot_window.h"
#include "ui/vesk_app.h"
#include "ui/vesk_view.h"

namespace {

constexpr std::uint32_t kPlottedId = 0x100;

using bench::NowNs;

// The plotted message every millisecond: ten 6-bit signals, each a slow wave of its own period
// with a little noise on it (the shape of a measured quantity), or with --noise every signal
// anywhere in its range at every value (the most a picture can hold: each column's box spans the
// whole axis).
class PlottedNode final : public sim::Node {
  public:
    PlottedNode(sim::Nanos start, bool noise) : m_due(start), m_noise(noise) {
        m_frame.id = kPlottedId;
        m_frame.dlc = 8;
    }
    sim::Nanos ReadyAt() const override { return m_due; }
    const can::Frame& Offer(sim::Nanos start) override {
        std::uint64_t bits = 0;
        const double t = static_cast<double>(start) * 1e-9;
        for (int s = 0; s < 10; ++s) {
            m_rng = m_rng * 1664525u + 1013904223u;
            std::uint64_t v = (m_rng >> 10) & 63;
            if (!m_noise) {
                const double wave = std::sin(6.283185 * t / (2.0 + s) + s);
                v = static_cast<std::uint64_t>(
                    std::clamp(31.5 + 28 * wave + (v % 5) - 2.0, 0.0, 63.0));
            }
            bits |= v << (6 * s);
        }
        for (int i = 0; i < 8; ++i)
            m_frame.data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
        return m_frame;
    }
    void Sent(sim::Nanos end) override {
        m_due += 1'000'000;
        if (m_due < end)
            m_due += ((end - m_due) / 1'000'000) * 1'000'000;
    }
    void SkipTo(sim::Nanos now) override {
        if (m_due < now)
            m_due += ((now - m_due + 999'999) / 1'000'000) * 1'000'000;
    }

  private:
    sim::Nanos m_due;
    bool m_noise;
    std::uint32_t m_rng = 7;
    can::Frame m_frame;
};

// The plotted message and the flood in every gap between.
class LoadSource final : public sim::NodeSource {
  public:
    explicit LoadSource(bool noise) : m_noise(noise) {}
    int Load() override { return 0; }
    std::vector<std::unique_ptr<sim::Node>> Build(sim::Nanos now,
                                                  std::function<std::uint32_t()>) override {
        std::vector<std::unique_ptr<sim::Node>> nodes;
        nodes.push_back(std::make_unique<PlottedNode>(now, m_noise));
        nodes.push_back(std::make_unique<sim::FloodNode>(now));
        return nodes;
    }

  private:
    bool m_noise;
};

// Arrival of the plotted frames, by their time stamp: written by the receive thread, read by the
// user-interface thread.
struct Arrival {
    std::atomic<std::int64_t> stampNs{0};
    std::atomic<std::int64_t> arrivedNs{0};
};
constexpr std::size_t kArrivals = 8192;
std::array<Arrival, kArrivals> g_arrivals;
std::atomic<std::uint64_t> g_arrivalCount{0};
CanNotifyCallback g_viewCallback = nullptr;

int TimingCallback(CanChannel* channel, double absSeconds, double deltaSeconds, const CanMsg* msg) {
    if (msg && msg->id == kPlottedId) {
        const std::uint64_t n = g_arrivalCount.load(std::memory_order_relaxed);
        Arrival& a = g_arrivals[n % kArrivals];
        a.arrivedNs.store(NowNs(), std::memory_order_relaxed);
        a.stampNs.store(std::llround(absSeconds * 1e9), std::memory_order_relaxed);
        g_arrivalCount.store(n + 1, std::memory_order_release);
    }
    return g_viewCallback(channel, absSeconds, deltaSeconds, msg);
}

// When the oldest frame stamped after `afterNs` and at most `uptoNs` arrived; 0 when none is
// known (any more).
std::int64_t FirstArrivalAfter(std::int64_t afterNs, std::int64_t uptoNs) {
    const std::uint64_t n = g_arrivalCount.load(std::memory_order_acquire);
    std::int64_t arrived = 0;
    for (std::uint64_t i = n; i > 0 && n - i < kArrivals - 1024; --i) {
        const Arrival& a = g_arrivals[(i - 1) % kArrivals];
        const std::int64_t stamp = a.stampNs.load(std::memory_order_relaxed);
        if (stamp <= afterNs)
            break;
        if (stamp <= uptoNs)
            arrived = a.arrivedNs.load(std::memory_order_relaxed);
    }
    return arrived;
}

struct Options {
    bool plot = true;
    bool noise = false;
    int measureFrom = 5;
    int measureFor = 10;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--no-plot")
            o.plot = false;
        else if (key == "--noise")
            o.noise = true;
        else if (key == "--measure-from" && i + 1 < argc)
            o.measureFrom = std::atoi(argv[++i]);
        else if (key == "--measure-for" && i + 1 < argc)
            o.measureFor = std::atoi(argv[++i]);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    bench::BenchProgram program("vesk-plot-bench");
    const std::filesystem::path& dir = program.Dir();
    {
        std::ofstream dbc(dir / "load.dbc");
        dbc << "BO_ " << kPlottedId << " Schnell: 8 Node\n";
        for (int s = 0; s < 10; ++s)
            dbc << " SG_ S" << s << " : " << s * 6 << "|6@1+ (0.5,-3) [0|0] \"u\" Node\n";
    }
    std::vector<std::string> args{"--dbc", (dir / "load.dbc").string()};
    if (options.plot) {
        for (int s = 0; s < 10; ++s) {
            args.push_back("--signal");
            args.push_back("Schnell.S" + std::to_string(s));
        }
    }
    sim::SimAdapterOptions simOptions;
    simOptions.nodeSource = std::make_shared<LoadSource>(options.noise);
    platform::RegisterDevice(AdapterPath(0), std::make_shared<sim::SimAdapter>(simOptions));

    CMainFrame* frame = program.Start(argv[0], args);
    if (!frame)
        return 1;
    CVeskView* view = frame->GetView();
    CPlotWindow* plot = options.plot ? view->ShowPlot() : nullptr;
    if (options.plot && (!plot || plot->Canvas()->Traces().size() != 10)) {
        std::fprintf(stderr, "the plot does not show the ten signals\n");
        return 1;
    }

    if (!view->OpenChannel(0, 0, 0)) {
        std::fprintf(stderr, "the simulated adapter did not open\n");
        return 1;
    }
    g_viewCallback = view->m_channel->callback;
    view->m_channel->callback = &TimingCallback;

    bool measuring = false;
    std::uint64_t pictures = 0;
    std::vector<double> delaysMs;
    std::int64_t lastShownNs = 0;
    if (plot) {
        plot->Canvas()->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
            event.Skip();  // the canvas draws after this handler
            std::int64_t newest = 0;
            for (const CPlotCanvas::Trace& t : plot->Canvas()->Traces()) {
                if (const auto last = plot->Model().Series(t.id)->LastTimeNs())
                    newest = std::max(newest, *last);
            }
            if (newest == lastShownNs)
                return;
            // The longest wait of this picture's new values: that of the first frame after those
            // the previous picture showed.
            const std::int64_t arrived = FirstArrivalAfter(lastShownNs, newest);
            lastShownNs = newest;
            if (!measuring)
                return;
            ++pictures;
            if (arrived != 0) {
                // Once the picture is drawn and handed to the display.
                plot->CallAfter(
                    [&delaysMs, arrived] { delaysMs.push_back((NowNs() - arrived) / 1e6); });
            }
        });
    }

    double cpuAtStart = 0, cpuPercent = 0;
    std::uint64_t framesAtStart = 0, pointsAtStart = 0, picturesPerSecond = 0;
    double framesPerSecond = 0, pointsPerSecond = 0;
    auto points = [&] {
        return plot ? plot->Model().PointsHeld() + plot->Model().PointsLetGo() : 0;
    };
    int second = 0;
    wxTimer clock;
    clock.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        ++second;
        if (second == options.measureFrom) {
            cpuAtStart = bench::CpuSeconds();
            framesAtStart = g_arrivalCount.load();
            pointsAtStart = points();
            measuring = true;
        }
        if (second == options.measureFrom + options.measureFor) {
            const double wall = options.measureFor;
            cpuPercent = 100.0 * (bench::CpuSeconds() - cpuAtStart) / wall;
            framesPerSecond = static_cast<double>(g_arrivalCount.load() - framesAtStart) / wall;
            pointsPerSecond = static_cast<double>(points() - pointsAtStart) / wall;
            picturesPerSecond = static_cast<std::uint64_t>(static_cast<double>(pictures) / wall);
            measuring = false;
            frame->Close(true);
        }
    });
    clock.Start(1000);
    wxTheApp->OnRun();
    clock.Stop();

    std::printf(
        "plot window bench: %s, 1000000 bit/s at 100 %%, 0x%X every 1 ms (%s), %d s "
        "measured\n",
        options.plot ? "10 signals plotted" : "no plot", kPlottedId,
        options.noise ? "noise" : "waves", options.measureFor);
    std::printf("  plotted frames reaching the program: %.0f /s\n", framesPerSecond);
    std::printf("  process CPU (all threads):           %.1f %% of one core\n", cpuPercent);
    if (plot) {
        std::sort(delaysMs.begin(), delaysMs.end());
        auto at = [&](double q) {
            return delaysMs.empty()
                       ? 0.0
                       : delaysMs[std::min(delaysMs.size() - 1,
                                           static_cast<std::size_t>(q * delaysMs.size()))];
        };
        std::printf("  values taken into the plot:          %.0f /s\n", pointsPerSecond);
        std::printf("  pictures:                            %llu /s\n",
                    static_cast<unsigned long long>(picturesPerSecond));
        std::printf(
            "  frame to picture: median %.1f ms, 99th percentile %.1f ms, largest %.1f ms "
            "(%zu pictures)\n",
            at(0.5), at(0.99), delaysMs.empty() ? 0.0 : delaysMs.back(), delaysMs.size());
    }

    return 0;
}
