#include "platform/web/shown_frame.h"

#include <algorithm>
#include <cstring>

namespace delve {

namespace {

// Eight bytes at a time: the browser's C library compares byte by byte, and
// every picture compares a whole frame.
bool sameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

void resetShownFrame(ShownFrame& shown, int width, int height) {
    shown.width = std::max(width, 0);
    shown.height = std::max(height, 0);
    const size_t n = static_cast<size_t>(shown.width) * static_cast<size_t>(shown.height);
    shown.indices.assign(n, 0);
    shown.rgba.assign(n, 0);
    shown.stale = true;
}

FrameArea updateShownFrame(ShownFrame& shown, const uint8_t* page, size_t pageSize,
                           const std::array<uint32_t, 256>& colours) {
    const size_t w = static_cast<size_t>(shown.width);
    const size_t h = static_cast<size_t>(shown.height);
    // A page shorter than the frame reads as index 0 past its end.
    std::vector<uint8_t> padded;
    const uint8_t* next = page;
    if (pageSize < w * h) {
        padded.assign(page, page + pageSize);
        padded.resize(w * h, 0);
        next = padded.data();
    }
    uint8_t* old = shown.indices.data();

    size_t top = h, bottom = 0, left = w, right = 0;
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* a = old + y * w;
        const uint8_t* b = next + y * w;
        if (!shown.stale && sameBytes(a, b, w)) continue;
        size_t l = 0, r = w;
        if (!shown.stale) {
            while (a[l] == b[l]) ++l;          // a difference exists, so both stop
            while (a[r - 1] == b[r - 1]) --r;
        }
        top = std::min(top, y);
        bottom = y + 1;
        left = std::min(left, l);
        right = std::max(right, r);
    }
    shown.stale = false;
    if (top >= bottom) return {};
    for (size_t y = top; y < bottom; ++y) {
        const uint8_t* b = next + y * w;
        uint32_t* out = shown.rgba.data() + y * w;
        for (size_t x = left; x < right; ++x) out[x] = colours[b[x]];
        std::memcpy(old + y * w + left, b + left, right - left);
    }
    return FrameArea{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                     static_cast<int>(bottom - top)};
}

}  // namespace delve
