#pragma once
// The game in a browser page (WebAssembly build only). Pages go through the
// palette onto the page's canvas; keys come from the page's key events,
// translated as the window translates its own; waiting for a key hands the
// browser back its thread until a key (or, when polling, a short timer)
// wakes the game. The page provides the other half: see web/index.html.
#include <memory>
#include <string>

#include "platform/backend.h"

namespace delve {

// Where the page's file package puts res/ and tiles/: the game's file root.
constexpr const char* kWebGameRoot = "/game";

std::unique_ptr<Backend> createWebBackend();

// Lets the page have its turn (input, painting) when the program has held
// the browser's thread for more than a few milliseconds, and returns at once
// otherwise: the start, say, is long work with no key to wait for. Like
// waiting for a key it pauses the program (Asyncify), so it may only be
// called where a key could be waited for, never under the functions of
// web/asyncify_remove.json. Nothing the game reads changes meanwhile: keys
// that come wait for the next pump. `page` is the backend createWebBackend
// made (which knows since when the program holds the thread), not one
// standing in front of it.
void breathe(Backend& page);

// Hands the page's watch bar (web/js/watch-bar.js) a watcher's timeline, as
// the JSON text the bar takes ("null": no timeline).
void showWatchBar(const std::string& json);

// The program has ended (Escape): the page replaces the canvas by its
// "ended" view.
void announceProgramEnded();

}  // namespace delve
