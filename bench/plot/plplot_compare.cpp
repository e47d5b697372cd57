// The plotting library Debian ships with a wx binding, drawing the plot benchmark's load: 10
// signals of 10,000, 100,000 and 1,000,000 points each through wxPLplotstream into a wxMemoryDC
// of 1600x600 (the binding's own way to draw into a window's device context), timed per redraw.
// It draws every segment it is given; the figures decided for a painter of our own.
//
// Usage: xvfb-run -a build/bench/plot/plplot_compare
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <wx/app.h>
#include <wx/dcgraph.h>
#include <wx/dcmemory.h>
#include <wx/init.h>

#include <plplot/wxPLplotstream.h>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv))
        return 1;
    constexpr int kSignals = 10;
    for (int points : {10'000, 100'000, 1'000'000}) {
        const auto n = static_cast<std::size_t>(points);
        std::vector<std::vector<PLFLT>> y(kSignals, std::vector<PLFLT>(n));
        std::vector<PLFLT> x(n);
        for (std::size_t i = 0; i < n; ++i) {
            x[i] = static_cast<PLFLT>(i) * 1e-3;
            for (std::size_t s = 0; s < kSignals; ++s)
                y[s][i] = 32768 + 30000 * std::sin(static_cast<double>(i) / (500.0 + 100.0 * s));
        }
        wxBitmap bitmap(1600, 600, 24);
        wxMemoryDC mem(bitmap);
        wxGCDC dc(mem);
        wxPLplotstream pls(&dc, 1600, 600, wxPLPLOT_NONE);
        for (int r = 0; r < (points > 100'000 ? 1 : 2); ++r) {
            const auto start = std::chrono::steady_clock::now();
            pls.adv(0);
            pls.env(0, points * 1e-3, 0, 65536, 0, 0);
            for (std::size_t s = 0; s < kSignals; ++s) {
                pls.col0(1 + static_cast<PLINT>(s % 14));
                pls.line(points, x.data(), y[s].data());
            }
            pls.RenewPlot();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            std::printf("%d signals x %d points, redraw %d: %.0f ms\n", kSignals, points, r, ms);
        }
    }
    wxEntryCleanup();
    return 0;
}
