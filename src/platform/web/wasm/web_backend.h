#pragma once
// The game in a browser page (WebAssembly build only). Pages go through the
// palette onto the page's canvas; keys come from the page's key events,
// translated as the window translates its own; waiting for a key hands the
// browser back its thread until a key (or, when polling, a short timer)
// wakes the game. The page provides the other half: see web/index.html.
#include <memory>

#include "platform/backend.h"

namespace delve {

// Where the page's file package puts res/ and tiles/: the game's file root.
constexpr const char* kWebGameRoot = "/game";

std::unique_ptr<Backend> createWebBackend();

// The program has ended (Escape): the page replaces the canvas by its
// "ended" view.
void announceProgramEnded();

}  // namespace delve
