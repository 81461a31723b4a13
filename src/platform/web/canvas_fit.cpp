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

double sanePixelRatio(double pixelRatio) { return std::isfinite(pixelRatio) && pixelRatio > 0 ? pixelRatio : 1.0; }

FrameRect fitInArea(double areaWidth, double areaHeight, double ratio, int frameWidth, int frameHeight) {
    const int width = devicePixels(areaWidth, ratio), height = devicePixels(areaHeight, ratio);
    const FrameRect sharp = fitFrame(width, height, frameWidth, frameHeight);
    if (sharp.width <= 0 || !sharp.wholeScale) return sharp;
    // On a dense screen (a phone) the largest whole factor can leave the
    // frame far below its size in CSS pixels, its text too small to read:
    // then it is scaled smoothly, as large as its CSS size where the area
    // has room for that, else as large as the area allows.
    const double scale = std::fmin(std::fmin(static_cast<double>(width) / frameWidth,
                                             static_cast<double>(height) / frameHeight),
                                   ratio);
    FrameRect smooth;
    smooth.width = static_cast<int>(std::floor(frameWidth * scale));
    smooth.height = static_cast<int>(std::floor(frameHeight * scale));
    if (smooth.width <= sharp.width || smooth.height <= sharp.height) return sharp;
    smooth.x = (width - smooth.width) / 2;
    smooth.y = (height - smooth.height) / 2;
    return smooth;
}

}  // namespace

CanvasPlacement placeCanvas(double areaWidth, double areaHeight, double pixelRatio, int frameWidth,
                            int frameHeight) {
    const double ratio = sanePixelRatio(pixelRatio);
    const FrameRect fit = fitInArea(areaWidth, areaHeight, ratio, frameWidth, frameHeight);
    CanvasPlacement p;
    if (fit.width <= 0) return p;
    p.left = fit.x / ratio;
    p.top = fit.y / ratio;
    p.width = fit.width / ratio;
    p.height = fit.height / ratio;
    p.smooth = !fit.wholeScale;
    return p;
}

bool framePixelAtCss(double areaWidth, double areaHeight, double pixelRatio, int frameWidth, int frameHeight,
                     double x, double y, int& frameX, int& frameY) {
    const double ratio = sanePixelRatio(pixelRatio);
    const double dx = x * ratio, dy = y * ratio;
    if (!(dx >= 0 && dy >= 0 && dx < 1e8 && dy < 1e8)) return false;  // also NaN
    const FrameRect fit = fitInArea(areaWidth, areaHeight, ratio, frameWidth, frameHeight);
    return framePixelAt(fit, frameWidth, frameHeight, static_cast<int>(dx), static_cast<int>(dy), frameX, frameY);
}

}  // namespace delve
