#include "platform/frame_fit.h"

#include <algorithm>
#include <cstdint>

namespace delve {

FrameRect fitFrame(int outputWidth, int outputHeight, int frameWidth, int frameHeight) {
    FrameRect r;
    if (outputWidth <= 0 || outputHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return r;
    const int scale = std::min(outputWidth / frameWidth, outputHeight / frameHeight);
    if (scale >= 1) {
        r.width = frameWidth * scale;
        r.height = frameHeight * scale;
        r.wholeScale = true;
    } else if (int64_t{outputWidth} * frameHeight <= int64_t{outputHeight} * frameWidth) {
        // The width is the tighter bound.
        r.width = outputWidth;
        r.height = static_cast<int>(int64_t{outputWidth} * frameHeight / frameWidth);
    } else {
        r.height = outputHeight;
        r.width = static_cast<int>(int64_t{outputHeight} * frameWidth / frameHeight);
    }
    r.width = std::max(r.width, 1);
    r.height = std::max(r.height, 1);
    r.x = (outputWidth - r.width) / 2;
    r.y = (outputHeight - r.height) / 2;
    return r;
}

}  // namespace delve

namespace delve {

bool framePixelAt(const FrameRect& fit, int frameWidth, int frameHeight, int outputX, int outputY, int& frameX,
                  int& frameY) {
    if (fit.width <= 0 || fit.height <= 0) return false;
    const int64_t dx = int64_t{outputX} - fit.x, dy = int64_t{outputY} - fit.y;
    if (dx < 0 || dy < 0 || dx >= fit.width || dy >= fit.height) return false;
    frameX = static_cast<int>(dx * frameWidth / fit.width);
    frameY = static_cast<int>(dy * frameHeight / fit.height);
    return true;
}

}  // namespace delve
