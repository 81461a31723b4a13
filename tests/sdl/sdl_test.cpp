// The real window under a display-less video driver (SDL_VIDEODRIVER=dummy in
// CTest), keyboard events to one key text per press, and where the frame sits
// in the window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>
#include <cstdlib>

#include "platform/frame_fit.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_keys.h"
#include "watch/strip/timeline_strip.h"
#include "video_or_skip.h"

namespace delve {
namespace {

TEST(SdlWindow, OpensPresentsAndPumps) {
    auto backend = createSdlBackend();
    DELVE_SKIP_WITHOUT_VIDEO(backend);
    Platform p(*backend);
    openWindow(p, 960, 720);
    setPages(p, 0, 0);
    setWindowTitle(p, "Delve test");
    drawLine(workSurface(p.screen), 10, 10, 300, 200, 12, LineShape::FilledBox);
    EXPECT_EQ(pollKey(p), "");  // draws the changed page, then waits at most a moment
    openWindow(p, 320, 200);
    setPages(p, 0, 1);
    copyPage(p, 0, 1);
}

void pushQuit() {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
}

TEST(SdlWindow, CloseRequestsAndEndSignalsEndTheRunWhereverItWaits) {
    WindowSettings settings;
    settings.typedKeys = "@7\r";
    settings.scale = 2;
    auto backend = createSdlBackend(settings);
    DELVE_SKIP_WITHOUT_VIDEO(backend);
    Platform p(*backend);
    openWindow(p, 960, 720);
    setPages(p, 0, 0);
    // Typed keys come first, one at a time, as a player types them.
    waitForKeyPress(p);
    EXPECT_EQ(readKey(p), "@");
    EXPECT_EQ(readKey(p), "7");
    EXPECT_EQ(readKey(p), "\r");
    // The close request, waiting for a key, polling, or in the middle of a
    // frame shown without asking for keys.
    pushQuit();
    EXPECT_THROW(readKey(p), EndRequested);
    pushQuit();
    EXPECT_THROW(pollKey(p), EndRequested);
    setPages(p, 0, 1);
    pushQuit();
    EXPECT_THROW(copyPage(p, 0, 1), EndRequested);
#ifndef _WIN32  // Windows ends a windowed program by its close request only
    // SIGTERM and SIGHUP wait, blocked, for the next look at the keys.
    for (int signal : {SIGTERM, SIGHUP}) {
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_THROW(pollKey(p), EndRequested);
    }
#endif
    // Ending that way is a clean end, as the replay tool's used-up script is.
    try {
        pushQuit();
        readKey(p);
        FAIL() << "the close request was taken as a key";
    } catch (const RunEnded&) {
    }
}

TEST(KeyTranslation, EveryPressGivesOneKeyWhateverEventsItSends) {
    // Each press: its key-down, the text input the system sends after it (if
    // any), and the keys that must be queued for it, '|' between.
    const struct {
        SDL_Scancode code;
        SDL_Keycode sym;
        int mod;
        const char *text, *keys;
    } presses[] = {
        {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT, nullptr, ""},  // a modifier alone is no press
        {SDL_SCANCODE_2, SDLK_2, KMOD_LSHIFT, "@", "@"},               // printable keys come from text
        {SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL | KMOD_RALT, "@", "@"},    // AltGr reported as Ctrl+Alt
        {SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL, nullptr, "\x01"},         // Ctrl+C brings no text
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, nullptr, "\x1b"},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 0, nullptr, "\r"},
        {SDL_SCANCODE_UP, SDLK_UP, 0, nullptr, "\x01"},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT, nullptr, ""},  // Alt+Enter toggles full screen
        {SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM, "8", "8"},          // the keypad with NumLock on,
        {SDL_SCANCODE_KP_6, SDLK_RIGHT, 0, nullptr, "6"},            // and off: no text follows,
        {SDL_SCANCODE_6, SDLK_6, 0, "6", "6"},                       // so the next press's text is kept
        {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM, ",", ","},  // as the layout types it
        {SDL_SCANCODE_E, SDLK_e, 0, "e\xc3\xa9", "e|\xc3\xa9"}};       // text splits into characters
    KeyTranslator translator;
    KeyQueue queue;
    for (const auto& press : presses) {
        translateKeyDown(translator, {press.code, press.sym, static_cast<Uint16>(press.mod), 0}, queue);
        translateTextInput(translator, press.text, queue);
        std::string keys;
        while (hasKey(queue)) keys += (keys.empty() ? "" : "|") + takeKey(queue);
        EXPECT_EQ(keys, press.keys);
    }
}

// A watcher reads the keys without a character by name; the game, at any
// other time, gets the one "no command" key for all of them, as before.
TEST(SdlKeys, KeysWithoutACharacterAreNamedOnlyForAWatcher) {
    const std::pair<SDL_Keycode, std::string> keys[] = {
        {SDLK_LEFT, kKeyLeft}, {SDLK_RIGHT, kKeyRight}, {SDLK_PAGEUP, kKeyPageUp},
        {SDLK_PAGEDOWN, kKeyPageDown}, {SDLK_HOME, kKeyHome}, {SDLK_END, kKeyEnd},
        {SDLK_UP, "\x01"}, {SDLK_F5, "\x01"}};
    for (const bool watching : {false, true}) {
        KeyTranslator translator;
        translator.namedKeys = watching;
        KeyQueue queue;
        for (const auto& [sym, named] : keys) {
            translateKeyDown(translator, {SDL_SCANCODE_UNKNOWN, sym, 0, 0}, queue);
            EXPECT_EQ(takeKey(queue), watching ? named : "\x01") << named;
        }
        // The keypad's arrows with NumLock off still type their digits.
        translateKeyDown(translator, {SDL_SCANCODE_KP_4, SDLK_LEFT, 0, 0}, queue);
        EXPECT_EQ(takeKey(queue), "4");
    }
}

TEST(FrameFit, LargestWholeFactorCentredOrShrunkKeepingTheShape) {
    const auto fit = [](int ow, int oh, int fw, int fh) {
        const FrameRect r = fitFrame(ow, oh, fw, fh);
        return std::tuple{r.x, r.y, r.width, r.height, r.wholeScale};
    };
    EXPECT_EQ(fit(960, 720, 320, 200), std::tuple(0, 60, 960, 600, true));  // the seed prompt's frame
    EXPECT_EQ(fit(2000, 1500, 960, 720), std::tuple(40, 30, 1920, 1440, true));
    EXPECT_EQ(fit(1919, 1440, 960, 720), std::tuple(479, 360, 960, 720, true));
    EXPECT_EQ(fit(400, 600, 960, 720), std::tuple(0, 150, 400, 300, false));
    EXPECT_EQ(fit(0, 720, 960, 720), std::tuple(0, 0, 0, 0, false));
}

}  // namespace
}  // namespace delve
