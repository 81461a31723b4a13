#include "platform/web/canvas_fit.h"

#include <cmath>

#include "platform/frame_fit.h"

namespace delve {

namespace {

// Whole device pixels, rounding the browser's fractions (a 1.25 ratio
// makes 1199.99 of them) and keeping absurd sizes within int.
int devicePixels(double cssPixels, double ratio) {
    const double v = cssPixels * ratio;
    if (!(v > 0)) return 0;  // also NaN
    return static_cast<int>(std::floor(std::fmin(v, 1e8) + 0.01));
}

}  // namespace

CanvasPlacement placeCanvas(double areaWidth, double areaHeight, double pixelRatio, int frameWidth,
                            int frameHeight) {
    const double ratio = std::isfinite(pixelRatio) && pixelRatio > 0 ? pixelRatio : 1.0;
    const FrameRect fit =
        fitFrame(devicePixels(areaWidth, ratio), devicePixels(areaHeight, ratio), frameWidth, frameHeight);
    CanvasPlacement p;
    if (fit.width <= 0) return p;
    p.left = fit.x / ratio;
    p.top = fit.y / ratio;
    p.width = fit.width / ratio;
    p.height = fit.height / ratio;
    p.smooth = !fit.wholeScale;
    return p;
}

}  // namespace delve
