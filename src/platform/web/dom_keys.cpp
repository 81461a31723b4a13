#include "platform/web/dom_keys.h"

#include <algorithm>
#include <cstddef>

#include "platform/platform.h"
#include "watch/strip/timeline_strip.h"

namespace delve {

namespace {

// The keypad keys queued by their physical key, so NumLock (which turns
// "8" into "ArrowUp") changes nothing; 0 for other keys.
char keypadCharacter(const std::string& code) {
    if (code.size() == 7 && code.compare(0, 6, "Numpad") == 0 && code[6] >= '0' && code[6] <= '9') return code[6];
    if (code == "NumpadAdd") return '+';
    if (code == "NumpadSubtract") return '-';
    if (code == "NumpadMultiply") return '*';
    if (code == "NumpadDivide") return '/';
    return 0;
}

// Keypad keys whose character depends on the layout and on NumLock: they
// give what they type, and nothing when they type nothing (NumLock off).
bool keypadTypingKey(const std::string& code) {
    return code == "NumpadDecimal" || code == "NumpadComma" || code == "NumpadEqual";
}

// Keys that only change other keys, dead keys whose character comes with the
// next press, and keys the browser cannot name: pressing them is no key press.
bool isSilentKey(const std::string& key) {
    static const char* const names[] = {"Shift",    "Control",  "Alt",        "AltGraph", "Meta",
                                        "OS",       "Super",    "Hyper",      "Fn",       "FnLock",
                                        "CapsLock", "NumLock",  "ScrollLock", "Symbol",   "SymbolLock",
                                        "Dead",     "Compose",  "Process",    "Unidentified"};
    if (key.empty()) return true;
    for (const char* name : names)
        if (key == name) return true;
    return false;
}

// A key's name ("Enter", "ArrowUp", "F5") as opposed to the text it types:
// names are two or more ASCII letters and digits starting with a capital.
bool isKeyName(const std::string& key) {
    if (key.size() < 2 || key[0] < 'A' || key[0] > 'Z') return false;
    for (char c : key) {
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum) return false;
    }
    return true;
}

// Bytes in the UTF-8 sequence that starts with `lead` (1 for stray bytes).
size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// One key per character typed.
int queueText(const std::string& text, KeyQueue& queue) {
    int queued = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t n = std::min(sequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        pushKey(queue, text.substr(i, n));
        i += n;
        ++queued;
    }
    return queued;
}

DomKeyResult taken(KeyQueue& queue, const std::string& text) {
    pushKey(queue, text);
    return {1, true, false};
}

}  // namespace

DomKeyResult translateDomKey(const DomKeyEvent& e, KeyQueue& queue) {
    const bool enter = e.key == "Enter" || e.code == "NumpadEnter";
    if (enter && e.alt) return {0, true, !e.repeat};
    if (e.key == "Escape") return taken(queue, std::string(1, kEscape));
    if (enter) return taken(queue, std::string(1, kEnter));
    if (e.key == "Backspace") return taken(queue, std::string(1, kBackspace));
    if (const char c = keypadCharacter(e.code)) return taken(queue, std::string(1, c));
    if (isSilentKey(e.key)) return {};
    // A character key together with Ctrl (but not AltGr, which some systems
    // report as Ctrl+Alt) or the system key is a shortcut: it types nothing,
    // so the game sees the non-command key, and the browser keeps it.
    if (!isKeyName(e.key)) {
        if ((e.ctrl && !e.alt && !e.altGraph) || e.meta) {
            pushKey(queue, kNoCommandKey);
            return {1, false, false};
        }
        // Alt with a character is left to the browser too (its menus), but
        // the character still reaches the game, as in the window.
        const bool altShortcut = e.alt && !e.ctrl && !e.altGraph;
        return {queueText(e.key, queue), !altShortcut, false};
    }
    if (keypadTypingKey(e.code)) return {};
    if (e.namedKeys) {
        const std::string named = e.key == "ArrowLeft"   ? kKeyLeft
                                  : e.key == "ArrowRight" ? kKeyRight
                                  : e.key == "PageUp"     ? kKeyPageUp
                                  : e.key == "PageDown"   ? kKeyPageDown
                                  : e.key == "Home"       ? kKeyHome
                                  : e.key == "End"        ? kKeyEnd
                                                          : "";
        if (!named.empty()) return taken(queue, named);
    }
    // Arrows, function keys, Tab, Delete and the rest have no character.
    pushKey(queue, kNoCommandKey);
    return {1, false, false};
}

int domKeyResultBits(const DomKeyResult& r) {
    return (r.queued > 0 ? kDomKeyQueued : 0) | (r.preventDefault ? kDomKeyPreventDefault : 0) |
           (r.toggleFullscreen ? kDomKeyToggleFullscreen : 0);
}

}  // namespace delve
