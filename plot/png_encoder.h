// PNG files of an RGB picture, for the plot's "Bild speichern". The toolkit's PNG writer needs
// libpng, which the Windows build leaves out; a PNG needs nothing but zlib, which both builds have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace plot {

// A picture of `width` x `height` pixels, three bytes (red, green, blue) a pixel, its rows
// `stride` bytes apart, as the bytes of a PNG file: 8-bit truecolour, no interlace, every row
// unfiltered. Empty when the picture is empty, a row does not fit into `rgb`, or zlib fails.
//
//   rgb {1,2,3}, 1 x 1, stride 3   -> signature, IHDR (1, 1, depth 8, colour type 2), IDAT of
//                                      the row "0 1 2 3", IEND
//   rgb of 14 bytes, 2 x 2, stride 8 -> rows 0..5 and 8..13; bytes 6 and 7 are left out
//   2 x 2, stride 5                  -> "" (a row is 6 bytes)
//   0 x 0                            -> ""
std::string EncodePng(std::span<const std::uint8_t> rgb, int width, int height, std::size_t stride);

}  // namespace plot
