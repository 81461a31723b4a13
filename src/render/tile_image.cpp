#include "render/tile_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace delve {

namespace {

// Byte k (in memory order) of kSpread[bits] is 1 where bit 7 - k of `bits`
// is set: one plane's byte of eight pixels, as eight pixels' colour bits.
constexpr std::array<uint64_t, 256> spreadTable() {
    std::array<uint64_t, 256> table{};
    for (unsigned bits = 0; bits < 256; ++bits) {
        uint8_t bytes[8] = {};
        for (int k = 0; k < 8; ++k) bytes[k] = (bits & (0x80u >> k)) ? 1 : 0;
        uint64_t value = 0;
        // Little-endian hosts keep byte k at bits 8k..8k+7.
        for (int k = 7; k >= 0; --k) value = (value << 8) | bytes[k];
        table[bits] = value;
    }
    return table;
}
constexpr std::array<uint64_t, 256> kSpread = spreadTable();
static_assert(std::endian::native == std::endian::little, "kSpread is laid out for little-endian bytes");

}  // namespace

std::optional<Image> decodeTileImage(std::string_view bytes) {
    if (bytes.empty() || static_cast<unsigned char>(bytes[0]) != kTileSignature) return std::nullopt;
    auto byteAt = [&](size_t i) -> unsigned { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const int width = static_cast<int>((byteAt(7) | (byteAt(8) << 8)) & 0x7FFF);
    const int height = static_cast<int>((byteAt(9) | (byteAt(10) << 8)) & 0x7FFF);
    if (width == 0 || height == 0 || width > kMaxTileSide || height > kMaxTileSide) return std::nullopt;

    // Tiles stored 25 by 25 show as 24 by 24: the last column and row decode
    // outside the picture and are lost.
    const bool trim = width == 25 && height == 25;
    const int shownWidth = trim ? 24 : width, shownHeight = trim ? 24 : height;
    // Every tile of every frame comes through here, so a row is decoded
    // eight pixels at a time: each plane's byte spreads into eight colour
    // bytes at once (kSpread), then each colour is written twice and the
    // doubled row copied below itself.
    Image doubled = createImage(shownWidth * 2, shownHeight * 2);
    const size_t stride = static_cast<size_t>(doubled.width);
    // Each row holds, plane after plane, one bit per pixel from the most
    // significant bit, every plane padded to whole bytes.
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    std::array<uint8_t, kMaxTileSide + 8> colours;
    size_t next = 11;
    // A trimmed tile's lost row is its last, so decoding stops before it.
    for (int y = 0; y < shownHeight; ++y) {
        std::fill(colours.begin(), colours.begin() + rowBytes * 8, uint8_t{0});
        for (int plane = 0; plane < 4; ++plane) {
            for (size_t b = 0; b < rowBytes; ++b) {
                // A file cut short reads as zero bits from where it ends.
                const unsigned bits = next < bytes.size() ? static_cast<unsigned char>(bytes[next]) : 0u;
                ++next;
                if (bits == 0) continue;
                uint64_t eight;
                std::memcpy(&eight, colours.data() + b * 8, 8);
                eight |= kSpread[bits] << plane;
                std::memcpy(colours.data() + b * 8, &eight, 8);
            }
        }
        uint8_t* row = doubled.pixels.data() + 2 * static_cast<size_t>(y) * stride;
        for (int x = 0; x < shownWidth; ++x) row[2 * x] = row[2 * x + 1] = colours[static_cast<size_t>(x)];
        std::memcpy(row + stride, row, stride);
    }
    return doubled;
}

Image tilePlaceholder() {
    Image image = createImage(24, 24);
    Surface target = surfaceOf(image);
    for (int v = 0; v <= 5; ++v) {
        if (v % 2 == 0)
            drawLine(target, 5 - v, 0, 23 - v, 23, 12, LineShape::Line, 0xAAAA);
        else
            drawLine(target, 23 - v, 0, 5 - v, 23, 12, LineShape::Line, 0xAAAA);
    }
    return image;
}

std::optional<Image> loadTileImage(Files& files, const std::string& fileName) {
    // Decoded from the files' read buffer: no copy of the bytes per tile.
    const auto bytes = readGameFileView(files, fileName);
    if (!bytes) return tilePlaceholder();
    return decodeTileImage(*bytes);
}

}  // namespace delve
