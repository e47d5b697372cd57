#include "plot/png_encoder.h"

#include <zlib.h>

#include <vector>

namespace plot {
namespace {

void AppendBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Length, type, data and the CRC over type and data.
void AppendChunk(std::string& out, const char (&type)[5], const std::string& data) {
    AppendBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* crcFrom = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    AppendBig32(out, static_cast<std::uint32_t>(
                         crc32(crc32(0, nullptr, 0), crcFrom, static_cast<uInt>(4 + data.size()))));
}

}  // namespace

std::string EncodePng(std::span<const std::uint8_t> rgb, int width, int height,
                      std::size_t stride) {
    if (width <= 0 || height <= 0)
        return {};
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    const auto rows = static_cast<std::size_t>(height);
    if (stride < rowBytes || rgb.size() < stride * (rows - 1) + rowBytes)
        return {};

    // Each row behind its filter byte (0: none).
    std::vector<std::uint8_t> raw;
    raw.reserve(rows * (rowBytes + 1));
    for (std::size_t y = 0; y < rows; ++y) {
        raw.push_back(0);
        const auto row = rgb.subspan(y * stride, rowBytes);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(),
                  static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    AppendBig32(header, static_cast<std::uint32_t>(width));
    AppendBig32(header, static_cast<std::uint32_t>(height));
    // Depth 8, truecolour, deflate, adaptive filtering (each row names its own), no interlace.
    header += std::string("\x08\x02\x00\x00\x00", 5);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    return png;
}

}  // namespace plot
