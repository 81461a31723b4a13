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
