#include "platform/image.h"

#include <algorithm>
#include <cstdlib>

namespace delve {

namespace {

// Images larger than this are refused: nothing the game draws comes close,
// and it keeps a corrupt size from turning into a huge allocation.
constexpr int64_t kMaxImagePixels = 4096LL * 4096LL;

void plot(Surface& t, int x, int y, uint8_t index) {
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
    t.pixels[static_cast<size_t>(y) * t.width + x] = index;
}

// Bresenham over every pixel step, the pattern advancing one bit per step.
void patternLine(Surface& t, int x1, int y1, int x2, int y2, uint8_t index, uint16_t pattern,
                 int& bit) {
    int64_t dx = std::llabs(int64_t{x2} - x1), dy = -std::llabs(int64_t{y2} - y1);
    int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int64_t err = dx + dy;
    int64_t x = x1, y = y1;
    while (true) {
        if (pattern & (0x8000u >> bit)) plot(t, static_cast<int>(x), static_cast<int>(y), index);
        bit = (bit + 1) & 15;
        if (x == x2 && y == y2) break;
        int64_t e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

// The pixels from a to b (either order) along row `at` (across) or column
// `at` (down), clipped to the target.
void solidRun(Surface& t, int a, int b, int at, bool across, uint8_t index) {
    const int limit = across ? t.width : t.height;
    if (at < 0 || at >= (across ? t.height : t.width)) return;
    const int from = std::max(std::min(a, b), 0), to = std::min(std::max(a, b), limit - 1);
    for (int i = from; i <= to; ++i) {
        const size_t x = static_cast<size_t>(across ? i : at), y = static_cast<size_t>(across ? at : i);
        t.pixels[y * static_cast<size_t>(t.width) + x] = index;
    }
}

}  // namespace

Image createImage(int width, int height) {
    Image image;
    if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxImagePixels) return image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0);
    return image;
}

Surface surfaceOf(Image& image) { return Surface{image.pixels.data(), image.width, image.height}; }

int getPixel(const Image& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return -1;
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

void setPixel(Image& image, int x, int y, int index) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    image.pixels[static_cast<size_t>(y) * image.width + x] = static_cast<uint8_t>(index);
}

void drawLine(Surface t, int x1, int y1, int x2, int y2, int index, LineShape shape,
              uint16_t pattern) {
    if (!t.pixels || t.width <= 0 || t.height <= 0) return;
    const uint8_t c = static_cast<uint8_t>(index);
    if (shape == LineShape::FilledBox) {
        int left = std::max(std::min(x1, x2), 0), right = std::min(std::max(x1, x2), t.width - 1);
        int top = std::max(std::min(y1, y2), 0), bottom = std::min(std::max(y1, y2), t.height - 1);
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) t.pixels[static_cast<size_t>(y) * t.width + x] = c;
        return;
    }
    // Far-off coordinates are brought near the target first so that a line
    // never walks millions of invisible pixels; lines are only ever drawn
    // within a tile or a page, so this clamp changes nothing that shows.
    auto near = [](int v, int limit) { return std::clamp(v, -limit, 2 * limit); };
    const int lim = std::max(t.width, t.height) + 16;
    if (shape == LineShape::Line) {
        int bit = 0;
        patternLine(t, near(x1, lim), near(y1, lim), near(x2, lim), near(y2, lim), c, pattern, bit);
        return;
    }
    int ax = near(x1, lim), ay = near(y1, lim), bx = near(x2, lim), by = near(y2, lim);
    if (pattern == 0xFFFF) {
        // Solid outlines (every panel frame and progress bar) as clipped runs.
        solidRun(t, ax, bx, ay, true, c);
        solidRun(t, ax, bx, by, true, c);
        solidRun(t, ay, by, ax, false, c);
        solidRun(t, ay, by, bx, false, c);
        return;
    }
    int bit = 0;
    patternLine(t, ax, ay, bx, ay, c, pattern, bit);
    patternLine(t, bx, ay, bx, by, c, pattern, bit);
    patternLine(t, bx, by, ax, by, c, pattern, bit);
    patternLine(t, ax, by, ax, ay, c, pattern, bit);
}

void combineRow(uint8_t* d, const uint8_t* s, size_t count, Combine mode) {
    switch (mode) {
        case Combine::Pset: std::copy(s, s + count, d); break;
        case Combine::Preset:
            for (size_t i = 0; i < count; ++i) d[i] = static_cast<uint8_t>(~s[i]);
            break;
        case Combine::And:
            for (size_t i = 0; i < count; ++i) d[i] &= s[i];
            break;
        case Combine::Or:
            for (size_t i = 0; i < count; ++i) d[i] |= s[i];
            break;
        case Combine::Xor:
            for (size_t i = 0; i < count; ++i) d[i] ^= s[i];
            break;
    }
}

void drawImage(Surface t, int x, int y, const Image& image, Combine mode) {
    if (!t.pixels) return;
    // Clipped once up front: every tile of every frame is drawn through here.
    const int64_t left = std::max<int64_t>(0, -int64_t{x});
    const int64_t right = std::min<int64_t>(image.width, int64_t{t.width} - x);
    const int64_t top = std::max<int64_t>(0, -int64_t{y});
    const int64_t bottom = std::min<int64_t>(image.height, int64_t{t.height} - y);
    if (left >= right || top >= bottom) return;
    const size_t count = static_cast<size_t>(right - left);
    for (int64_t sy = top; sy < bottom; ++sy) {
        const uint8_t* s = image.pixels.data() + static_cast<size_t>(sy * image.width + left);
        uint8_t* d = t.pixels + static_cast<size_t>((y + sy) * t.width + x + left);
        combineRow(d, s, count, mode);
    }
}

}  // namespace delve
