// The picture of the plot area as pixels of our own: the grid, the series and the cursors are
// set here and the window puts the whole picture on screen in one step. A picture of thousands
// of boxes and segments then costs a few passes over memory instead of thousands of calls into
// the toolkit's path filler (which took most of the window's time at 25 pictures a second).
//
// Pixels are 0x00RRGGBB, rows top down. Every operation clips to the raster, so coordinates far
// outside it (a value far off the axis) are safe and cost only what lies inside.
//
//   raster 4x3, FillRect(1, 1, 9, 9, c)        columns 1..3 of rows 1..2 set, nothing else
//   raster 4x3, VLine(2, -100, 100, c, 0)      all of column 2
//   raster 8x1, HLine(0, 0, 7, c, 2)           columns 0, 1, 4, 5 (dashes of 2 on, 2 off)
//   raster 5x3, Line(0, 1, 4, 1, c, 2)         row 1 set, rows 0 and 2 half covered (blended)
#pragma once

#include <cstdint>
#include <vector>

namespace plot {

class Raster {
  public:
    using Pixel = std::uint32_t;
    static constexpr Pixel Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return (Pixel{r} << 16) | (Pixel{g} << 8) | Pixel{b};
    }

    // A picture of width x height (at least 1x1), every pixel `background`.
    void Reset(int width, int height, Pixel background);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Pixel At(int x, int y) const { return m_pixels[static_cast<std::size_t>(y) * m_width + x]; }
    const Pixel* Data() const { return m_pixels.data(); }
    Pixel* Data() { return m_pixels.data(); }

    // The pixels x0..x1, y0..y1 (inclusive, in any order).
    void FillRect(int x0, int y0, int x1, int y1, Pixel colour);
    // A line one pixel wide along a row or a column, inclusive; `dash` > 0 draws `dash` pixels
    // and leaves `dash` out, counted from the raster's edge so that the pattern stands still.
    void HLine(int y, int x0, int x1, Pixel colour, int dash = 0);
    void VLine(int x, int y0, int y1, Pixel colour, int dash = 0);
    // A line `width` pixels thick between two points given as pixel centres, its edges blended
    // with what is under it.
    void Line(double x0, double y0, double x1, double y1, Pixel colour, double width);

  private:
    // Blends `colour` over the pixel with `cover` (0..1); ignores pixels outside.
    void Blend(int x, int y, Pixel colour, double cover);

    int m_width = 0;
    int m_height = 0;
    std::vector<Pixel> m_pixels;
};

}  // namespace plot
