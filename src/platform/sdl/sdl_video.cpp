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

// What is fitted into the window: the frame, and the strip under it when
// one is shown.
int contentHeight(const SdlVideo& v) {
    return v.frameHeight + (v.strip.lastTurn > 0 ? kTimelineStripHeight : 0);
}

// The content's place in the output, or false when there is none.
bool contentFit(const SdlVideo& v, FrameRect& fit) {
    int outputWidth = 0, outputHeight = 0;
    if (!v.renderer || SDL_GetRendererOutputSize(v.renderer, &outputWidth, &outputHeight) != 0) return false;
    fit = fitFrame(outputWidth, outputHeight, v.frameWidth, contentHeight(v));
    return fit.width > 0;
}

// The point of the content under a point of the window.
bool contentPixelAt(const SdlVideo& v, int windowX, int windowY, int& x, int& y) {
    if (!v.renderer || !v.window) return false;
    int outputWidth = 0, outputHeight = 0, windowWidth = 0, windowHeight = 0;
    if (SDL_GetRendererOutputSize(v.renderer, &outputWidth, &outputHeight) != 0) return false;
    SDL_GetWindowSize(v.window, &windowWidth, &windowHeight);
    if (windowWidth <= 0 || windowHeight <= 0) return false;
    const int outputX = static_cast<int>(int64_t{windowX} * outputWidth / windowWidth);
    const int outputY = static_cast<int>(int64_t{windowY} * outputHeight / windowHeight);
    const FrameRect fit = fitFrame(outputWidth, outputHeight, v.frameWidth, contentHeight(v));
    return framePixelAt(fit, v.frameWidth, contentHeight(v), outputX, outputY, x, y);
}

// The strip in the content's bottom `kTimelineStripHeight` rows, drawn with
// plain rectangles in strip pixels scaled as the frame is.
void drawStrip(SdlVideo& v, const FrameRect& fit) {
    const TimelineStrip& s = v.strip;
    const int width = v.frameWidth;
    const int height = contentHeight(v);
    auto fill = [&](int x, int y, int w, int h, Uint8 r, Uint8 g, Uint8 b) {
        const int top = v.frameHeight + y;
        const int left = static_cast<int>(int64_t{x} * fit.width / width);
        const int right = static_cast<int>(int64_t{x + w} * fit.width / width);
        const int upper = static_cast<int>(int64_t{top} * fit.height / height);
        const int lower = static_cast<int>(int64_t{top + h} * fit.height / height);
        const SDL_Rect rect{fit.x + left, fit.y + upper, std::max(right - left, 1), std::max(lower - upper, 1)};
        SDL_SetRenderDrawColor(v.renderer, r, g, b, 255);
        SDL_RenderFillRect(v.renderer, &rect);
    };
    auto column = [&](int32_t turn) { return timelineColumn(s, turn, width); };
    fill(0, 0, width, kTimelineStripHeight, 20, 20, 28);
    const int barLeft = column(1), barRight = column(s.lastTurn), shown = column(s.turn);
    fill(barLeft, 16, barRight - barLeft + 1, 8, 64, 64, 80);
    fill(barLeft, 16, shown - barLeft + 1, 8, 96, 136, 200);
    for (const int32_t turn : s.levelStarts) fill(column(turn), 8, 1, 24, 200, 200, 200);
    for (const int32_t turn : s.memberFalls) fill(column(turn) - 1, 2, 3, 10, 240, 160, 40);
    for (const int32_t turn : s.partyFalls) fill(column(turn) - 1, 2, 3, 36, 230, 40, 40);
    fill(shown - 1, 4, 3, 32, 255, 255, 255);
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
    // In pixels, which on a high-density display is more than the window's size.
    if (FrameRect fit; v.texture && contentFit(v, fit)) {
        // Whole factors stay sharp; only a frame squeezed into a window too
        // small for it is smoothed, so thin lines do not vanish.
        SDL_SetTextureScaleMode(v.texture, fit.wholeScale ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
        const int frameOutputHeight = static_cast<int>(int64_t{fit.height} * v.frameHeight / contentHeight(v));
        const SDL_Rect target{fit.x, fit.y, fit.width, frameOutputHeight};
        SDL_RenderCopy(v.renderer, v.texture, nullptr, &target);
        if (v.strip.lastTurn > 0) drawStrip(v, fit);
    }
    SDL_RenderPresent(v.renderer);
}

bool framePixelAtWindowPoint(const SdlVideo& v, int windowX, int windowY, int& frameX, int& frameY) {
    return contentPixelAt(v, windowX, windowY, frameX, frameY) && frameY < v.frameHeight;
}

bool timelineTurnAtWindowPoint(const SdlVideo& v, int windowX, int windowY, int32_t& turn) {
    int x = 0, y = 0;
    if (v.strip.lastTurn <= 0 || !contentPixelAt(v, windowX, windowY, x, y) || y < v.frameHeight) return false;
    turn = timelineTurnAt(v.strip, x, v.frameWidth);
    return true;
}

int32_t timelineTurnAtWindowColumn(const SdlVideo& v, int windowX) {
    FrameRect fit;
    int windowWidth = 0, windowHeight = 0, outputWidth = 0, outputHeight = 0;
    if (v.strip.lastTurn <= 0 || !v.window || !contentFit(v, fit)) return 0;
    SDL_GetWindowSize(v.window, &windowWidth, &windowHeight);
    SDL_GetRendererOutputSize(v.renderer, &outputWidth, &outputHeight);
    if (windowWidth <= 0) return 0;
    const int64_t outputX = int64_t{windowX} * outputWidth / windowWidth;
    const int64_t x = std::clamp<int64_t>((outputX - fit.x) * v.frameWidth / fit.width, 0, v.frameWidth - 1);
    return timelineTurnAt(v.strip, static_cast<int>(x), v.frameWidth);
}

void setTimelineStrip(SdlVideo& v, const TimelineStrip& strip) {
    const bool wasShown = v.strip.lastTurn > 0;
    v.strip = strip;
    const bool shown = strip.lastTurn > 0;
    if (v.window && wasShown != shown) {
        // The window makes room for the strip at the scale the frame has,
        // unless the desktop decides its size (full screen, maximised).
        const Uint32 flags = SDL_GetWindowFlags(v.window);
        int w = 0, h = 0;
        SDL_GetWindowSize(v.window, &w, &h);
        const int frameWidth = v.frameWidth > 0 ? v.frameWidth : kWindowWidth;
        const int frameHeight = v.frameHeight > 0 ? v.frameHeight : kWindowHeight;
        const int scale = std::max(std::min(w / frameWidth, h / frameHeight), 1);
        if (shown && !(flags & (SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_MAXIMIZED))) {
            v.stripGrowth = kTimelineStripHeight * scale;
            SDL_SetWindowSize(v.window, w, h + v.stripGrowth);
        } else if (!shown && v.stripGrowth > 0) {
            if (!(flags & (SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_MAXIMIZED)))
                SDL_SetWindowSize(v.window, w, std::max(h - v.stripGrowth, 100));
            v.stripGrowth = 0;
        }
    }
    renderFrame(v);
}

void toggleFullscreen(SdlVideo& v) {
    if (!v.window) return;
    const bool full = (SDL_GetWindowFlags(v.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(v.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    renderFrame(v);
}

}  // namespace delve
