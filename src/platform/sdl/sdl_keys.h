#pragma once
// Keyboard events to key texts, one text per key press. Printable keys come
// from text input, so every keyboard layout types its own "@", "~" and "+";
// key-down events supply only what text input never brings (Escape, Enter,
// Backspace, keys without a character) and the keypad's digits and signs,
// which must give their character with NumLock on and off alike.
#include <SDL.h>

#include "platform/key_queue.h"

namespace delve {

struct KeyTranslator {
    // A keypad key queued from its key-down: the text input that may follow
    // for the same press must not queue it a second time.
    char pendingKeypadCharacter = 0;
    // A watcher is reading the keys: the arrows, Page Up/Down, Home and End
    // come as their own key texts (watch/strip/timeline_strip.h), not as the
    // game's kNoCommandKey.
    bool namedKeys = false;
};

enum class KeyDownResult {
    Ignored,          // nothing queued (modifiers, or text input will bring it)
    Queued,           // one key queued
    ToggleFullscreen  // Alt+Enter: handled by the window, never a key
};

KeyDownResult translateKeyDown(KeyTranslator& t, const SDL_Keysym& key, KeyQueue& queue);
// Queues one key per character of the text; returns how many were queued.
int translateTextInput(KeyTranslator& t, const char* text, KeyQueue& queue);

}  // namespace delve
