// The plot area's pixels: each operation sets what its contract says and nothing outside the
// raster, however far off its coordinates are.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plot/plot_raster.h"

namespace {

using plot::Raster;
constexpr Raster::Pixel kBack = 0x000000, kInk = 0xFFFFFF;

// The raster as rows of '#' (ink), '.' (background) and '+' (blended).
std::vector<std::string> Rows(const Raster& r) {
    std::vector<std::string> rows;
    for (int y = 0; y < r.Height(); ++y) {
        std::string row;
        for (int x = 0; x < r.Width(); ++x)
            row += r.At(x, y) == kInk ? '#' : r.At(x, y) == kBack ? '.' : '+';
        rows.push_back(row);
    }
    return rows;
}

TEST(PlotRaster, EachOperationSetsItsPixelsAndClipsToTheRaster) {
    struct Case {
        const char* what;
        int width, height;
        void (*draw)(Raster&);
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"a box, corners in any order",
         4,
         3,
         [](Raster& r) { r.FillRect(9, 9, 1, 1, kInk); },
         {"....", ".###", ".###"}},
        {"a narrow box (a dense column)",
         4,
         3,
         [](Raster& r) { r.FillRect(1, 0, 2, 1, kInk); },
         {".##.", ".##.", "...."}},
        {"a column far beyond both edges",
         4,
         3,
         [](Raster& r) { r.VLine(2, -1'000'000, 1'000'000, kInk); },
         {"..#.", "..#.", "..#."}},
        {"dashes of 2", 8, 1, [](Raster& r) { r.HLine(0, 0, 7, kInk, 2); }, {"##..##.."}},
        {"lines wholly outside",
         3,
         2,
         [](Raster& r) {
             r.HLine(-1, 0, 2, kInk);
             r.VLine(5, 0, 1, kInk);
             r.FillRect(-9, -9, -1, -1, kInk);
             r.Line(-100, -50, -1, -1e6, kInk, 2);
         },
         {"...", "..."}},
        {"a level line two pixels thick on a pixel boundary",
         5,
         4,
         [](Raster& r) { r.Line(0, 1.5, 4, 1.5, kInk, 2); },
         {".....", "#####", "#####", "....."}},
        {"a level line through pixel centres: half of each neighbour",
         5,
         3,
         [](Raster& r) { r.Line(0, 1, 4, 1, kInk, 2); },
         {"+++++", "#####", "+++++"}},
        {"a steep line from far off to a point",
         3,
         3,
         [](Raster& r) { r.Line(1, -1e6, 1, 1, kInk, 1); },
         {".#.", ".#.", "..."}},
    };
    for (const Case& c : cases) {
        Raster r;
        r.Reset(c.width, c.height, kBack);
        c.draw(r);
        EXPECT_EQ(Rows(r), c.rows) << c.what;
    }
}

TEST(PlotRaster, AnEdgeIsBlendedByTheShareItCovers) {
    Raster r;
    r.Reset(1, 3, Raster::Rgb(0, 0, 200));
    // The pixel row 0 is covered for a quarter, row 2 for a quarter.
    r.Line(0, 1, 0.5, 1, Raster::Rgb(200, 100, 0), 1.5);
    EXPECT_EQ(r.At(0, 0), Raster::Rgb(50, 25, 150));
    EXPECT_EQ(r.At(0, 1), Raster::Rgb(200, 100, 0));
    EXPECT_EQ(r.At(0, 2), Raster::Rgb(50, 25, 150));
}

}  // namespace
