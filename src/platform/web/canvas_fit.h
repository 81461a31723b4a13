#pragma once
// Where the canvas goes on the page. The page measures in CSS pixels, the
// screen in device pixels (more of them on a high-density display), so the
// frame is fitted in device pixels, as in the window: the largest whole
// factor, centred, with a smooth shrink only when even one factor does not
// fit; then the result is given back in CSS pixels. Where the whole factor
// would show the frame smaller than its CSS size (a dense screen), it is
// scaled smoothly instead, up to that size as far as the area has room.
namespace delve {

struct CanvasPlacement {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool smooth = false;  // not a whole number of device pixels per game pixel
};

// The area and its device pixels per CSS pixel as the browser reports them;
// a ratio that is not a positive number counts as 1. Empty when the area or
// the frame is empty.
CanvasPlacement placeCanvas(double areaWidth, double areaHeight, double pixelRatio, int frameWidth,
                            int frameHeight);

// The frame pixel under a point of the same area, given in CSS pixels from
// its top left corner, as the canvas is placed above; false off the frame.
bool framePixelAtCss(double areaWidth, double areaHeight, double pixelRatio, int frameWidth, int frameHeight,
                     double x, double y, int& frameX, int& frameY);

}  // namespace delve
