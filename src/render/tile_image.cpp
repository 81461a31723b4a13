#include "render/tile_image.h"

namespace delve {

std::optional<Image> decodeTileImage(const std::string& bytes) {
    if (bytes.empty() || static_cast<unsigned char>(bytes[0]) != kTileSignature) return std::nullopt;
    auto byteAt = [&](size_t i) -> unsigned { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const int width = static_cast<int>((byteAt(7) | (byteAt(8) << 8)) & 0x7FFF);
    const int height = static_cast<int>((byteAt(9) | (byteAt(10) << 8)) & 0x7FFF);
    if (width == 0 || height == 0 || width > kMaxTileSide || height > kMaxTileSide) return std::nullopt;

    // Tiles stored 25 by 25 show as 24 by 24: the last column and row decode
    // outside the work image and are lost.
    const bool trim = width == 25 && height == 25;
    Image work = createImage(trim ? 24 : width, trim ? 24 : height);
    size_t next = 11;
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < 4; ++plane) {
            unsigned bits = 0;
            for (int x = 0; x < width; ++x) {
                if (x % 8 == 0) bits = byteAt(next++);
                if (bits & 0x80u) {
                    const int old = getPixel(work, x, y);
                    if (old >= 0) setPixel(work, x, y, old ^ (1 << plane));
                }
                bits = (bits << 1) & 0xFFu;
            }
        }
    }
    Image doubled = createImage(work.width * 2, work.height * 2);
    Surface target = surfaceOf(doubled);
    for (int y = 0; y < work.height; ++y)
        for (int x = 0; x < work.width; ++x)
            drawLine(target, 2 * x, 2 * y, 2 * x + 1, 2 * y + 1, getPixel(work, x, y), LineShape::FilledBox);
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
    auto bytes = readGameFile(files, fileName);
    if (!bytes) return tilePlaceholder();
    return decodeTileImage(*bytes);
}

}  // namespace delve
