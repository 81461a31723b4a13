#include "render/tile_image.h"

#include <algorithm>
#include <cstdint>

namespace delve {

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
    // Decoded straight into the doubled picture: each pixel's colour is built
    // in the top-left of its 2 by 2 block, then the block is filled from it.
    // Every tile of every frame comes through here, so it writes the pixels
    // directly instead of going through the checked pixel and box helpers.
    Image doubled = createImage(shownWidth * 2, shownHeight * 2);
    const size_t stride = static_cast<size_t>(doubled.width);
    // Each row holds, plane after plane, one bit per pixel from the most
    // significant bit, every plane padded to whole bytes.
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    size_t next = 11;
    // A trimmed tile's lost row is its last, so decoding stops before it.
    for (int y = 0; y < shownHeight; ++y) {
        uint8_t* row = doubled.pixels.data() + 2 * static_cast<size_t>(y) * stride;
        for (int plane = 0; plane < 4; ++plane) {
            const uint8_t planeBit = static_cast<uint8_t>(1 << plane);
            for (size_t b = 0; b < rowBytes; ++b) {
                const unsigned bits = byteAt(next++);
                if (bits == 0) continue;
                const int x0 = static_cast<int>(b * 8);
                for (int k = 0; k < 8 && x0 + k < shownWidth; ++k)
                    if (bits & (0x80u >> k)) row[2 * (x0 + k)] ^= planeBit;
            }
        }
        for (int x = 0; x < shownWidth; ++x) row[2 * x + 1] = row[2 * x];
        std::copy(row, row + stride, row + stride);
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
