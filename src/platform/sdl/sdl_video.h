#pragma once
// The window, its renderer and the streaming texture that holds the shown
// page in true colour. Pages reach the texture only through present, and the
// texture reaches the window scaled by whole factors, centred on black.
#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/screen.h"
#include "watch/strip/timeline_strip.h"

namespace delve {

struct SdlVideo {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int frameWidth = 0;
    int frameHeight = 0;
    // The shown page converted through the palette, kept so the texture can
    // be rebuilt when the renderer loses it.
    std::vector<uint32_t> frame;
    std::array<uint32_t, 256> colours{};
    // A watcher's timeline, drawn under the frame while lastTurn > 0; the
    // window grew by `stripGrowth` window pixels to make room for it.
    TimelineStrip strip;
    int stripGrowth = 0;
};

// Creates the hidden 960 x 720 window and its renderer; false when either
// cannot be made (the caller then closes what was made).
// `scale` (1 and up) multiplies the first window size where the screen has
// room for it; `fullscreen` starts it in full screen.
bool openVideo(SdlVideo& v, int scale = 1, bool fullscreen = false);
void closeVideo(SdlVideo& v);

// The frame changes size (the window keeps its own): a black frame of that
// size, and the window shown if it was still hidden.
void setFrameSize(SdlVideo& v, int width, int height);
// Converts the screen's visible page and shows it.
void showPage(SdlVideo& v, const Screen& screen);
// Draws the last frame again (the window was uncovered or resized).
void renderFrame(SdlVideo& v);
// The frame pixel under a point of the window (in window coordinates, which
// a high-density display scales to more output pixels); false off the frame.
bool framePixelAtWindowPoint(const SdlVideo& v, int windowX, int windowY, int& frameX, int& frameY);
// Shows the timeline under the frame, or takes it away (lastTurn 0); the
// window grows by the strip when it is shown first, and shrinks back.
void setTimelineStrip(SdlVideo& v, const TimelineStrip& strip);
// The turn under a point of the window on the timeline; false off it.
bool timelineTurnAtWindowPoint(const SdlVideo& v, int windowX, int windowY, int32_t& turn);
// The turn at a column of the window wherever the pointer is (a drag that
// left the strip); 0 without a strip.
int32_t timelineTurnAtWindowColumn(const SdlVideo& v, int windowX);
// After the renderer lost its textures.
void rebuildTexture(SdlVideo& v);
void toggleFullscreen(SdlVideo& v);

}  // namespace delve
