#include "platform/sdl/sdl_video.h"

#include <cstdint>

#include <algorithm>
#include <cstring>

#include "platform/frame_fit.h"
#include "platform/palette.h"

namespace delve {

namespace {

constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 720;

void uploadFrame(SdlVideo& v) {
    if (!v.texture || v.frame.empty()) return;
    SDL_UpdateTexture(v.texture, nullptr, v.frame.data(), v.frameWidth * 4);
}

}  // namespace

bool openVideo(SdlVideo& v, int scale, bool fullscreen) {
    const auto& palette = defaultPalette();
    for (size_t i = 0; i < palette.size(); ++i)
        v.colours[i] = 0xFF000000u | uint32_t{palette[i].r} << 16 | uint32_t{palette[i].g} << 8 |
                       uint32_t{palette[i].b};
    // The largest factor up to `scale` that fits the screen's usable area.
    SDL_Rect usable{0, 0, kWindowWidth, kWindowHeight};
    if (scale > 1 && SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = {0, 0, kWindowWidth, kWindowHeight};
    while (scale > 1 && (kWindowWidth * scale > usable.w || kWindowHeight * scale > usable.h)) --scale;
    scale = std::max(scale, 1);
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    v.window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWindowWidth * scale,
                                kWindowHeight * scale, flags);
    if (!v.window) return false;
    SDL_SetWindowMinimumSize(v.window, 160, 100);
    // Never synchronised with the display: level generation shows dozens of
    // progress frames and must not wait a refresh for each.
    v.renderer = SDL_CreateRenderer(v.window, -1, SDL_RENDERER_ACCELERATED);
    if (!v.renderer) v.renderer = SDL_CreateRenderer(v.window, -1, SDL_RENDERER_SOFTWARE);
    return v.renderer != nullptr;
}

void closeVideo(SdlVideo& v) {
    if (v.texture) SDL_DestroyTexture(v.texture);
    if (v.renderer) SDL_DestroyRenderer(v.renderer);
    if (v.window) SDL_DestroyWindow(v.window);
    v.texture = nullptr;
    v.renderer = nullptr;
    v.window = nullptr;
}

void rebuildTexture(SdlVideo& v) {
    if (v.texture) SDL_DestroyTexture(v.texture);
    v.texture = nullptr;
    if (!v.renderer || v.frameWidth <= 0 || v.frameHeight <= 0) return;
    v.texture = SDL_CreateTexture(v.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                  v.frameWidth, v.frameHeight);
    uploadFrame(v);
}

void setFrameSize(SdlVideo& v, int width, int height) {
    v.frameWidth = std::max(width, 0);
    v.frameHeight = std::max(height, 0);
    v.frame.assign(static_cast<size_t>(v.frameWidth) * v.frameHeight, v.colours[0]);
    rebuildTexture(v);
    if (v.window && (SDL_GetWindowFlags(v.window) & SDL_WINDOW_HIDDEN)) SDL_ShowWindow(v.window);
    renderFrame(v);
}

void showPage(SdlVideo& v, const Screen& screen) {
    if (screen.visiblePage < 0 || screen.visiblePage >= kPageCount) return;
    const Page& page = screen.pages[screen.visiblePage];
    if (screen.width != v.frameWidth || screen.height != v.frameHeight) setFrameSize(v, screen.width, screen.height);
    const size_t n = std::min(page.size(), v.frame.size());
    for (size_t i = 0; i < n; ++i) v.frame[i] = v.colours[page[i]];
    uploadFrame(v);
    renderFrame(v);
}

void renderFrame(SdlVideo& v) {
    if (!v.renderer) return;
    // The whole output, measured now: a size change whose event has not been
    // seen yet must not leave the picture in a stale corner.
    SDL_RenderSetViewport(v.renderer, nullptr);
    SDL_SetRenderDrawColor(v.renderer, 0, 0, 0, 255);
    SDL_RenderClear(v.renderer);
    int outputWidth = 0, outputHeight = 0;
    // In pixels, which on a high-density display is more than the window's size.
    if (v.texture && SDL_GetRendererOutputSize(v.renderer, &outputWidth, &outputHeight) == 0) {
        const FrameRect fit = fitFrame(outputWidth, outputHeight, v.frameWidth, v.frameHeight);
        if (fit.width > 0) {
            // Whole factors stay sharp; only a frame squeezed into a window too
            // small for it is smoothed, so thin lines do not vanish.
            SDL_SetTextureScaleMode(v.texture, fit.wholeScale ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
            const SDL_Rect target{fit.x, fit.y, fit.width, fit.height};
            SDL_RenderCopy(v.renderer, v.texture, nullptr, &target);
        }
    }
    SDL_RenderPresent(v.renderer);
}

bool framePixelAtWindowPoint(const SdlVideo& v, int windowX, int windowY, int& frameX, int& frameY) {
    if (!v.renderer || !v.window) return false;
    int outputWidth = 0, outputHeight = 0, windowWidth = 0, windowHeight = 0;
    if (SDL_GetRendererOutputSize(v.renderer, &outputWidth, &outputHeight) != 0) return false;
    SDL_GetWindowSize(v.window, &windowWidth, &windowHeight);
    if (windowWidth <= 0 || windowHeight <= 0) return false;
    const int outputX = static_cast<int>(int64_t{windowX} * outputWidth / windowWidth);
    const int outputY = static_cast<int>(int64_t{windowY} * outputHeight / windowHeight);
    const FrameRect fit = fitFrame(outputWidth, outputHeight, v.frameWidth, v.frameHeight);
    return framePixelAt(fit, v.frameWidth, v.frameHeight, outputX, outputY, frameX, frameY);
}

void toggleFullscreen(SdlVideo& v) {
    if (!v.window) return;
    const bool full = (SDL_GetWindowFlags(v.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(v.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    renderFrame(v);
}

}  // namespace delve
