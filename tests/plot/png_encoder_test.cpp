// The plot's PNG files. That libpng reads them is the window test's business (wx's loader); here
// the layout of the chunks and the rows as they come out of the compressed data.
#include "plot/png_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

std::uint32_t Big32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<std::uint8_t>(s[at + i]);
    return v;
}

TEST(PngEncoder, ChunksAndRowsOfAPictureWithPaddedRows) {
    // 2 x 2 pixels, rows 8 bytes apart (2 bytes of padding that must not show).
    const std::vector<std::uint8_t> rgb = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12};
    const std::string png = plot::EncodePng(rgb, 2, 2, 8);
    ASSERT_GE(png.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    // IHDR: 13 bytes, width, height, depth 8, truecolour (its CRC is libpng's to check).
    EXPECT_EQ(Big32(png, 8), 13u);
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(Big32(png, 16), 2u);
    EXPECT_EQ(Big32(png, 20), 2u);
    EXPECT_EQ(png.substr(24, 5), std::string("\x08\x02\x00\x00\x00", 5));
    // IDAT: each row behind a filter byte of 0.
    const std::uint32_t idatSize = Big32(png, 33);
    EXPECT_EQ(png.substr(37, 4), "IDAT");
    std::vector<Bytef> rows(14);
    uLongf rowsSize = rows.size();
    ASSERT_EQ(uncompress(rows.data(), &rowsSize, reinterpret_cast<const Bytef*>(png.data() + 41),
                         idatSize),
              Z_OK);
    EXPECT_EQ(std::vector<Bytef>(rows.begin(), rows.begin() + static_cast<long>(rowsSize)),
              (std::vector<Bytef>{0, 1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12));

    // Nothing to draw, a row longer than its stride, rows beyond the bytes given.
    EXPECT_EQ(plot::EncodePng({}, 0, 0, 0), "");
    EXPECT_EQ(plot::EncodePng(rgb, 2, 2, 5), "");
    EXPECT_EQ(plot::EncodePng(rgb, 2, 3, 8), "");
}

}  // namespace
