#include "plot/plot_raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace plot {

void Raster::Reset(int width, int height, Pixel background) {
    m_width = std::max(1, width);
    m_height = std::max(1, height);
    m_pixels.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height),
                    background);
}

void Raster::FillRect(int x0, int y0, int x1, int y1, Pixel colour) {
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, m_width - 1);
    y1 = std::min(y1, m_height - 1);
    if (x0 > x1 || y0 > y1)
        return;
    const std::size_t stride = static_cast<std::size_t>(m_width);
    Pixel* const first = m_pixels.data() + static_cast<std::size_t>(y0) * stride;
    const std::size_t rows = static_cast<std::size_t>(y1 - y0) + 1;
    if (x1 - x0 < 4) {
        // The columns of a dense series: a few pixels wide, walked down.
        for (int x = x0; x <= x1; ++x) {
            Pixel* p = first + x;
            for (std::size_t r = 0; r < rows; ++r, p += stride)
                *p = colour;
        }
        return;
    }
    for (std::size_t r = 0; r < rows; ++r)
        std::fill(first + r * stride + x0, first + r * stride + x1 + 1, colour);
}

void Raster::HLine(int y, int x0, int x1, Pixel colour, int dash) {
    if (y < 0 || y >= m_height)
        return;
    if (x0 > x1)
        std::swap(x0, x1);
    Pixel* row = m_pixels.data() + static_cast<std::size_t>(y) * m_width;
    for (int x = std::max(x0, 0); x <= std::min(x1, m_width - 1); ++x) {
        if (dash <= 0 || (x / dash) % 2 == 0)
            row[x] = colour;
    }
}

void Raster::VLine(int x, int y0, int y1, Pixel colour, int dash) {
    if (x < 0 || x >= m_width)
        return;
    if (y0 > y1)
        std::swap(y0, y1);
    for (int y = std::max(y0, 0); y <= std::min(y1, m_height - 1); ++y) {
        if (dash <= 0 || (y / dash) % 2 == 0)
            m_pixels[static_cast<std::size_t>(y) * m_width + x] = colour;
    }
}

void Raster::Blend(int x, int y, Pixel colour, double cover) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || !(cover > 0))
        return;
    Pixel& p = m_pixels[static_cast<std::size_t>(y) * m_width + x];
    if (cover >= 1) {
        p = colour;
        return;
    }
    const int a = static_cast<int>(cover * 256);
    Pixel out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = static_cast<int>((p >> shift) & 0xFF);
        const int s = static_cast<int>((colour >> shift) & 0xFF);
        out |= static_cast<Pixel>(d + (((s - d) * a) >> 8)) << shift;
    }
    p = out;
}

void Raster::Line(double x0, double y0, double x1, double y1, Pixel colour, double width) {
    const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
    // Walks the major axis one pixel at a time and covers the stretch of the minor axis that the
    // line's thickness spans there, its two end pixels by the share of them it covers.
    if (steep) {
        std::swap(x0, y0);
        std::swap(x1, y1);
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int majorSize = steep ? m_height : m_width;
    const int minorSize = steep ? m_width : m_height;
    const double slope = x1 > x0 ? (y1 - y0) / (x1 - x0) : 0;
    const double half = width * std::sqrt(1 + slope * slope) / 2;
    const double from = std::max(std::ceil(x0 - 0.5), 0.0);
    const double to = std::min(std::floor(x1 + 0.5), static_cast<double>(majorSize - 1));
    for (double major = from; major <= to; ++major) {
        const double centre = y0 + (std::clamp(major, x0, x1) - x0) * slope;
        const double top = centre - half, bottom = centre + half;
        const double first = std::max(std::floor(top + 0.5), 0.0);
        const double last = std::min(std::floor(bottom + 0.5), static_cast<double>(minorSize - 1));
        for (double minor = first; minor <= last; ++minor) {
            const double cover = std::min(bottom, minor + 0.5) - std::max(top, minor - 0.5);
            const int a = static_cast<int>(major), b = static_cast<int>(minor);
            if (steep)
                Blend(b, a, colour, cover);
            else
                Blend(a, b, colour, cover);
        }
    }
}

}  // namespace plot
