#pragma once
// Where the frame goes inside the window: the largest whole-number scale that
// fits, centred, so every game pixel stays a sharp square; a window smaller
// than one frame gets the frame shrunk to fit, keeping its shape.
namespace delve {

struct FrameRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool wholeScale = false;  // false when shrunk below one frame pixel per game pixel
};

// All sizes in output pixels. Empty when either size is not positive.
FrameRect fitFrame(int outputWidth, int outputHeight, int frameWidth, int frameHeight);

}  // namespace delve

namespace delve {

// The frame pixel shown at an output pixel of `fit` (a frame of frameWidth x
// frameHeight); false on the border around the frame.
bool framePixelAt(const FrameRect& fit, int frameWidth, int frameHeight, int outputX, int outputY, int& frameX,
                  int& frameY);

}  // namespace delve
