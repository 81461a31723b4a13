// Game controllers in the real window, through SDL's virtual joystick under
// the display-less video driver: plugged in while the game runs, their
// buttons and sticks arrive as ordinary keys.
#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "video_or_skip.h"

namespace delve {
namespace {

// Everything the backend queues in a few short polls.
std::string pumped(Backend& backend) {
    KeyQueue queue;
    for (int i = 0; i < 3; ++i) backend.pumpKeys(queue, KeyWait::Brief);
    std::string keys;
    while (hasKey(queue)) keys += (keys.empty() ? "" : "|") + takeKey(queue);
    return keys;
}

// Waits, as the game does, for the next key; returns it and how long it took.
std::pair<std::string, double> nextKey(Backend& backend) {
    const double start = backend.timerSeconds();
    KeyQueue queue;
    backend.pumpKeys(queue, KeyWait::Block);
    return {takeKey(queue), backend.timerSeconds() - start};
}

struct VirtualPad {
    int device = -1;
    SDL_Joystick* joystick = nullptr;
    void button(SDL_GameControllerButton b, bool down) {
        SDL_JoystickSetVirtualButton(joystick, b, down ? SDL_PRESSED : SDL_RELEASED);
    }
    void axis(SDL_GameControllerAxis a, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick, a, value); }
};

VirtualPad plugIn() {
    VirtualPad pad;
    // The virtual driver numbers a controller's buttons and axes as SDL's
    // controller API names them.
    pad.device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                           SDL_CONTROLLER_BUTTON_MAX, 0);
    if (pad.device >= 0) pad.joystick = SDL_JoystickOpen(pad.device);
    return pad;
}

TEST(SdlGamepad, ControllersPluggedInWhilePlayingGiveTheGamesKeys) {
    // The dummy driver's window never has the focus that SDL otherwise wants
    // before it passes a controller on.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    auto backend = createSdlBackend();
    DELVE_SKIP_WITHOUT_VIDEO(backend);
    EXPECT_EQ(pumped(*backend), "");
    VirtualPad pad = plugIn();
    ASSERT_NE(pad.joystick, nullptr) << SDL_GetError();
    ASSERT_TRUE(SDL_IsGameController(pad.device)) << "the virtual joystick is no game controller";
    EXPECT_EQ(pumped(*backend), "");  // plugging in is no key

    using Step = std::function<void()>;
    const struct {
        const char* what;
        Step step;
        const char* keys;
    } steps[] = {
        {"A", [&] { pad.button(SDL_CONTROLLER_BUTTON_A, true); }, " "},
        {"A held", [] {}, ""},
        {"A released", [&] { pad.button(SDL_CONTROLLER_BUTTON_A, false); }, ""},
        {"d-pad up", [&] { pad.button(SDL_CONTROLLER_BUTTON_DPAD_UP, true); }, "8"},
        {"d-pad up released", [&] { pad.button(SDL_CONTROLLER_BUTTON_DPAD_UP, false); }, ""},
        {"both shoulders", [&] {
             pad.button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
             pad.button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, true);
         }, "-|+"},
        {"stick left", [&] { pad.axis(SDL_CONTROLLER_AXIS_LEFTX, -32768); }, "4"},
        {"stick inside the dead zone", [&] { pad.axis(SDL_CONTROLLER_AXIS_LEFTX, -8000); }, ""},
        {"stick down", [&] { pad.axis(SDL_CONTROLLER_AXIS_LEFTY, 30000); }, "2"},
        {"stick back", [&] { pad.axis(SDL_CONTROLLER_AXIS_LEFTY, 0); }, ""},
        {"triggers", [&] {
             pad.axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
             pad.axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
         }, "w|p"},
        {"Back held with X", [&] {
             pad.button(SDL_CONTROLLER_BUTTON_BACK, true);
             SDL_PumpEvents();  // Back first, as fingers do it
             pad.button(SDL_CONTROLLER_BUTTON_X, true);
         }, "t"},
        {"a tap quicker than a look at the keys", [&] {
             pad.button(SDL_CONTROLLER_BUTTON_B, true);
             SDL_PumpEvents();
             pad.button(SDL_CONTROLLER_BUTTON_B, false);
         }, "b"},
    };
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(pumped(*backend), s.keys) << s.what;
    }

    // A second controller, plugged in beside the first, with its own state.
    VirtualPad second = plugIn();
    ASSERT_NE(second.joystick, nullptr) << SDL_GetError();
    pumped(*backend);
    second.button(SDL_CONTROLLER_BUTTON_X, true);
    EXPECT_EQ(pumped(*backend), "h");

    // Held, a direction and Start wake the waiting game by themselves (a
    // wait that nothing wakes would never end: only once the rest worked).
    if (HasFailure()) return;
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(nextKey(*backend).first, "6");
    const auto [repeat, after] = nextKey(*backend);
    EXPECT_EQ(repeat, "6");
    EXPECT_GE(after, 0.3);
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    pumped(*backend);
    pad.button(SDL_CONTROLLER_BUTTON_START, true);
    const auto [escape, held] = nextKey(*backend);
    EXPECT_EQ(escape, "\x1b");
    EXPECT_GE(held, 0.95);
    EXPECT_EQ(pumped(*backend), "");  // once per hold

    // Unplugged, a controller is forgotten; the other plays on.
    SDL_JoystickClose(pad.joystick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(pad.device), 0);
    EXPECT_EQ(pumped(*backend), "");
    second.button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(pumped(*backend), " ");
    SDL_JoystickClose(second.joystick);
}

}  // namespace
}  // namespace delve
