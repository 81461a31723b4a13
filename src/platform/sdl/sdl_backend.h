#pragma once
// The real window: the visible page through the palette into a streaming
// texture, scaled by whole factors and centred; keys from the keyboard.
#include <memory>
#include <string>

#include "platform/backend.h"

namespace delve {

struct WindowSettings {
    bool fullscreen = false;
    // The first window size in multiples of 960 x 720, as far as the screen
    // has room; 0 for the plain size.
    int scale = 0;
    // Keys delivered before any the player types, one per request for keys,
    // as if typed at once (a seed given on the command line).
    std::string typedKeys;
};

// Why no window can be shown here (no X11 or Wayland display and no video
// driver asked for by name), or "" when one can be tried.
std::string displayProblem();

// Null when the video system cannot start; `problem` then says why. The
// window's close request, SIGTERM and SIGHUP end the run (EndRequested).
std::unique_ptr<Backend> createSdlBackend(const WindowSettings& settings = {}, std::string* problem = nullptr);

}  // namespace delve
