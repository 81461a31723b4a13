#include "platform/sdl/sdl_keys.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "watch/strip/timeline_strip.h"

namespace delve {

namespace {

// The character of a keypad key that is queued straight from its key-down,
// or 0. Scan codes name the physical key, so NumLock does not change them.
char keypadCharOf(SDL_Scancode code) {
    switch (code) {
        case SDL_SCANCODE_KP_0: return '0';
        case SDL_SCANCODE_KP_1: return '1';
        case SDL_SCANCODE_KP_2: return '2';
        case SDL_SCANCODE_KP_3: return '3';
        case SDL_SCANCODE_KP_4: return '4';
        case SDL_SCANCODE_KP_5: return '5';
        case SDL_SCANCODE_KP_6: return '6';
        case SDL_SCANCODE_KP_7: return '7';
        case SDL_SCANCODE_KP_8: return '8';
        case SDL_SCANCODE_KP_9: return '9';
        case SDL_SCANCODE_KP_PLUS: return '+';
        case SDL_SCANCODE_KP_MINUS: return '-';
        case SDL_SCANCODE_KP_MULTIPLY: return '*';
        case SDL_SCANCODE_KP_DIVIDE: return '/';
        default: return 0;
    }
}

// Keys that only change other keys: pressing them is not a key press.
bool isModifierKey(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL:
        case SDLK_LALT: case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI:
        case SDLK_MODE: case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK:
        case SDLK_UNKNOWN:  // dead keys and the like: their text comes later, if at all
            return true;
        default:
            return false;
    }
}

// Whether the key types a character, which then arrives as text input. The
// keypad's decimal key types "." or "," by layout, and only with NumLock on.
bool typesCharacter(const SDL_Keysym& key) {
    if (key.scancode == SDL_SCANCODE_KP_PERIOD || key.scancode == SDL_SCANCODE_KP_COMMA ||
        key.scancode == SDL_SCANCODE_KP_EQUALS)
        return true;
    return key.sym >= 32 && key.sym != SDLK_DELETE && (key.sym & SDLK_SCANCODE_MASK) == 0;
}

// A watcher's own text for a key without a character, or "".
std::string namedKey(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_LEFT: return kKeyLeft;
        case SDLK_RIGHT: return kKeyRight;
        case SDLK_PAGEUP: return kKeyPageUp;
        case SDLK_PAGEDOWN: return kKeyPageDown;
        case SDLK_HOME: return kKeyHome;
        case SDLK_END: return kKeyEnd;
        default: return "";
    }
}

// Bytes in the UTF-8 sequence that starts with `lead` (1 for stray bytes).
size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

KeyDownResult translateKeyDown(KeyTranslator& t, const SDL_Keysym& key, KeyQueue& queue) {
    // Any other key press ends the wait for a keypad key's text (with
    // NumLock off no text follows a keypad digit at all).
    t.pendingKeypadCharacter = 0;
    const bool enter = key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER;
    if (enter && (key.mod & KMOD_ALT)) return KeyDownResult::ToggleFullscreen;
    if (key.sym == SDLK_ESCAPE) {
        pushKey(queue, std::string(1, kEscape));
        return KeyDownResult::Queued;
    }
    if (enter) {
        pushKey(queue, std::string(1, kEnter));
        return KeyDownResult::Queued;
    }
    if (key.sym == SDLK_BACKSPACE) {
        pushKey(queue, std::string(1, kBackspace));
        return KeyDownResult::Queued;
    }
    if (const char c = keypadCharOf(key.scancode)) {
        pushKey(queue, std::string(1, c));
        t.pendingKeypadCharacter = c;
        return KeyDownResult::Queued;
    }
    if (isModifierKey(key.sym)) return KeyDownResult::Ignored;
    if (typesCharacter(key)) {
        // Control combinations bring no text input; AltGr (which some systems
        // report as Ctrl+Alt) does, so only a plain Ctrl press counts here.
        if ((key.mod & KMOD_CTRL) && !(key.mod & KMOD_ALT)) {
            pushKey(queue, kNoCommandKey);
            return KeyDownResult::Queued;
        }
        return KeyDownResult::Ignored;
    }
    // Arrows, function keys, Tab, Delete and the rest have no character.
    const std::string named = t.namedKeys ? namedKey(key.sym) : "";
    pushKey(queue, named.empty() ? kNoCommandKey : named);
    return KeyDownResult::Queued;
}

int translateTextInput(KeyTranslator& t, const char* text, KeyQueue& queue) {
    if (!text) return 0;
    const size_t length = std::strlen(text);
    int queued = 0;
    for (size_t i = 0; i < length;) {
        const size_t n = std::min(utf8SequenceLength(static_cast<unsigned char>(text[i])), length - i);
        const std::string character(text + i, n);
        i += n;
        if (t.pendingKeypadCharacter != 0 && character == std::string(1, t.pendingKeypadCharacter)) {
            t.pendingKeypadCharacter = 0;
            continue;  // already queued from the keypad key itself
        }
        t.pendingKeypadCharacter = 0;
        pushKey(queue, character);
        ++queued;
    }
    return queued;
}

}  // namespace delve
