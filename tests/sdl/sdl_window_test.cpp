// The real window under a display-less video driver (SDL_VIDEODRIVER=dummy in
// CTest): it must open, show pages, take a title and pump events without
// crashing. Skipped where SDL video cannot start at all.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/image.h"
#include "platform/palette.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_video.h"

namespace delve {
namespace {

TEST(SdlWindow, OpensPresentsAndPumps) {
    auto backend = createSdlBackend();
    if (!backend) GTEST_SKIP() << "SDL video unavailable: " << SDL_GetError();
    Platform p(*backend);
    openWindow(p, 960, 720);
    setPages(p, 0, 0);
    setWindowTitle(p, "Delve test");
    drawLine(workSurface(p.screen), 10, 10, 300, 200, 12, LineShape::FilledBox);
    EXPECT_EQ(pollKey(p), "");  // draws the dirty page, then waits at most a moment

    openWindow(p, 320, 200);
    setPages(p, 0, 0);
    copyPage(p, 0, -1);
    openWindow(p, 960, 720);
    setPages(p, 0, 1);
    copyPage(p, 0, 1);

    const double t1 = timerSeconds(p);
    const double t2 = timerSeconds(p);
    EXPECT_GE(t2, t1);
    EXPECT_EQ(clockTime(p).size(), 8u);
    EXPECT_EQ(clockDate(p).size(), 10u);
}

TEST(SdlWindow, QueuedEventsBecomeOneKeyEach) {
    auto backend = createSdlBackend();
    if (!backend) GTEST_SKIP() << "SDL video unavailable: " << SDL_GetError();
    Platform p(*backend);
    openWindow(p, 960, 720);
    setPages(p, 0, 0);

    SDL_Event down{};
    down.type = SDL_KEYDOWN;
    down.key.keysym.scancode = SDL_SCANCODE_KP_8;
    down.key.keysym.sym = SDLK_KP_8;
    down.key.keysym.mod = KMOD_NUM;
    ASSERT_EQ(SDL_PushEvent(&down), 1);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    SDL_strlcpy(text.text.text, "8", sizeof text.text.text);
    ASSERT_EQ(SDL_PushEvent(&text), 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    EXPECT_EQ(readKey(p), "8");
    // The close request is a key that matches no command.
    EXPECT_EQ(readKey(p), kNoCommandKey);
    EXPECT_EQ(pollKey(p), "");
}

// The window keeps its size when the frame shrinks to the prompt's, and a
// page reaches the window through the palette.
TEST(SdlWindow, FrameShrinksInsideTheUnchangedWindow) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        GTEST_SKIP() << "SDL video unavailable: " << SDL_GetError();
    SdlVideo video;
    if (!openVideo(video)) {
        closeVideo(video);
        SDL_Quit();
        GTEST_SKIP() << "no renderer: " << SDL_GetError();
    }
    Screen screen;
    screen.width = 320;
    screen.height = 200;
    for (auto& page : screen.pages) page.assign(320 * 200, 1);
    for (int y = 90; y < 110; ++y)
        for (int x = 150; x < 170; ++x) screen.pages[0][y * 320 + x] = 12;
    showPage(video, screen);
    int w = 0, h = 0;
    SDL_GetWindowSize(video.window, &w, &h);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 720);

    int ow = 0, oh = 0;
    ASSERT_EQ(SDL_GetRendererOutputSize(video.renderer, &ow, &oh), 0);
    if (ow == 960 && oh == 720) {
        // Scaled 3x and centred: game pixel (160, 100) lands at (480, 360).
        // (Reading back is not offered by every renderer; the dummy driver's is.)
        SDL_Rect probe{480, 360, 1, 1};
        Uint32 pixel = 0;
        if (SDL_RenderReadPixels(video.renderer, &probe, SDL_PIXELFORMAT_ARGB8888, &pixel, 4) == 0) {
            const Rgb c = defaultPalette()[12];
            EXPECT_EQ(pixel & 0xFFFFFFu, uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
            // The 600-pixel-high frame leaves 60-pixel black bars above and below.
            probe.y = 59;
            ASSERT_EQ(SDL_RenderReadPixels(video.renderer, &probe, SDL_PIXELFORMAT_ARGB8888, &pixel, 4), 0);
            EXPECT_EQ(pixel & 0xFFFFFFu, 0u);
            probe.y = 60;
            ASSERT_EQ(SDL_RenderReadPixels(video.renderer, &probe, SDL_PIXELFORMAT_ARGB8888, &pixel, 4), 0);
            const Rgb blue = defaultPalette()[1];
            EXPECT_EQ(pixel & 0xFFFFFFu, uint32_t{blue.r} << 16 | uint32_t{blue.g} << 8 | blue.b);
        }
    }
    closeVideo(video);
    SDL_Quit();
}

}  // namespace
}  // namespace delve
