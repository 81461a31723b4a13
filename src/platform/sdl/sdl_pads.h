#pragma once
// Every game controller SDL knows, opened when it appears (at start and when
// plugged in later) and closed when it goes; their buttons and sticks become
// the game's keys through the pad mapping (platform/gamepad_keys.h).
#include <SDL.h>

#include <vector>

#include "platform/gamepad_keys.h"
#include "platform/key_queue.h"

namespace delve {

struct SdlPad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    PadSnapshot state;  // as the events so far have left it
    PadMapper mapper;
};

struct SdlPads {
    std::vector<SdlPad> pads;
};

// Takes a controller event (added, removed, a button, an axis); returns the
// number of keys queued for it, 0 for every other event. The state follows
// each event, so a press and release that arrive together still give a key.
int takePadEvent(SdlPads& p, const SDL_Event& event, double seconds, KeyQueue& queue);
// The keys that time alone gives (repeats of a held direction, a held Start).
int tickPads(SdlPads& p, double seconds, KeyQueue& queue);
// How long a wait may sleep, at most `longest` ms, before a pad needs a tick.
int padWaitMs(const SdlPads& p, double seconds, int longest);
void closePads(SdlPads& p);

}  // namespace delve
