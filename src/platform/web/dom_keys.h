#pragma once
// A browser page's key-down events to key texts, exactly as the window gives
// them: the printable character typed (so every keyboard layout types its own
// "@", "~" and "+"), Escape, Enter and Backspace, the keypad's digits and
// signs with NumLock on and off, and the one non-command key for every key
// without a character. Only keys the game takes as text are kept from the
// browser, so its own shortcuts (Ctrl+R, F5, F11, F12, Ctrl+Shift+I) still
// work. Plain C++, so it is tested without a browser.
#include <string>

#include "platform/key_queue.h"

namespace delve {

// The parts of a KeyboardEvent that decide the key text.
struct DomKeyEvent {
    std::string key;   // what the key types ("a", "@", " ") or its name ("Enter", "ArrowUp", "Dead")
    std::string code;  // the physical key ("KeyA", "Numpad8", "NumpadEnter")
    bool ctrl = false;
    bool alt = false;
    bool meta = false;
    bool altGraph = false;  // AltGr held: the character is typed, not a shortcut
    bool repeat = false;    // the key is held down and repeats
    // A watcher's timeline is shown: the arrows, Page Up/Down, Home and End
    // come as their named texts (watch/strip/timeline_strip.h), which the
    // watcher reads; the game itself never gets them.
    bool namedKeys = false;
};

struct DomKeyResult {
    int queued = 0;                // key texts queued for the press
    bool preventDefault = false;   // the game takes the key; the browser must not act on it too
    bool toggleFullscreen = false; // Alt+Enter: the page's, never a key
};

DomKeyResult translateDomKey(const DomKeyEvent& event, KeyQueue& queue);

// The same as bits, for the page's script: what it must do with the event.
constexpr int kDomKeyQueued = 1;
constexpr int kDomKeyPreventDefault = 2;
constexpr int kDomKeyToggleFullscreen = 4;
int domKeyResultBits(const DomKeyResult& result);

}  // namespace delve
