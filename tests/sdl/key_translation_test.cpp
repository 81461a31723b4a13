// One key text per key press, whatever mix of key-down and text-input events
// the system sends for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_keys.h"

namespace delve {
namespace {

SDL_Keysym keysym(SDL_Scancode code, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
    SDL_Keysym k{};
    k.scancode = code;
    k.sym = sym;
    k.mod = mod;
    return k;
}

struct Keyboard {
    KeyTranslator translator;
    KeyQueue queue;
    KeyDownResult down(SDL_Scancode code, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        return translateKeyDown(translator, keysym(code, sym, mod), queue);
    }
    void text(const char* t) { translateTextInput(translator, t, queue); }
    std::vector<std::string> keys() {
        std::vector<std::string> out;
        while (hasKey(queue)) out.push_back(takeKey(queue));
        return out;
    }
};

using Keys = std::vector<std::string>;

TEST(KeyTranslation, PrintableKeysComeFromTextInputOnly) {
    Keyboard kb;
    // "@" typed as Shift+2: the modifier and the key-down queue nothing.
    kb.down(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    kb.down(SDL_SCANCODE_2, SDLK_2, KMOD_LSHIFT);
    kb.text("@");
    kb.down(SDL_SCANCODE_SPACE, SDLK_SPACE);
    kb.text(" ");
    kb.down(SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, KMOD_SHIFT);
    kb.text("~");
    EXPECT_EQ(kb.keys(), (Keys{"@", " ", "~"}));
}

TEST(KeyTranslation, AltGrCharactersAreNotTakenForControlKeys) {
    Keyboard kb;
    // Some systems report AltGr as Ctrl+Alt; the character must still arrive once.
    kb.down(SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL | KMOD_RALT);
    kb.text("@");
    // A plain Ctrl combination brings no text, but is still one key press.
    kb.down(SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL);
    EXPECT_EQ(kb.keys(), (Keys{"@", kNoCommandKey}));
}

TEST(KeyTranslation, ControlKeysGiveTheirCodes) {
    Keyboard kb;
    kb.down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    kb.down(SDL_SCANCODE_RETURN, SDLK_RETURN);
    kb.down(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
    kb.down(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
    EXPECT_EQ(kb.keys(), (Keys{"\x1b", "\r", "\r", "\b"}));
}

TEST(KeyTranslation, KeysWithoutCharacterMatchNoCommand) {
    Keyboard kb;
    kb.down(SDL_SCANCODE_UP, SDLK_UP);
    kb.down(SDL_SCANCODE_F1, SDLK_F1);
    kb.down(SDL_SCANCODE_TAB, SDLK_TAB);
    kb.down(SDL_SCANCODE_DELETE, SDLK_DELETE);
    kb.down(SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK);  // a lock key is no key press
    EXPECT_EQ(kb.keys(), (Keys{kNoCommandKey, kNoCommandKey, kNoCommandKey, kNoCommandKey}));
}

TEST(KeyTranslation, AltEnterIsNeverQueued) {
    Keyboard kb;
    EXPECT_EQ(kb.down(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT), KeyDownResult::ToggleFullscreen);
    EXPECT_EQ(kb.down(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT), KeyDownResult::ToggleFullscreen);
    EXPECT_TRUE(kb.keys().empty());
}

TEST(KeyTranslation, KeypadDigitsGiveOneDigitWithNumLockOnOrOff) {
    Keyboard kb;
    // NumLock on: the key-down and its text both arrive.
    kb.down(SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM);
    kb.text("8");
    // NumLock off: the same physical key, no text, whatever symbol it carries.
    kb.down(SDL_SCANCODE_KP_6, SDLK_RIGHT);
    // Then the main-row 6: its text must not be swallowed by the keypad's wait.
    kb.down(SDL_SCANCODE_6, SDLK_6);
    kb.text("6");
    kb.down(SDL_SCANCODE_KP_2, SDLK_DOWN);
    kb.down(SDL_SCANCODE_KP_4, SDLK_KP_4, KMOD_NUM);
    kb.text("4");
    EXPECT_EQ(kb.keys(), (Keys{"8", "6", "6", "2", "4"}));
}

TEST(KeyTranslation, KeypadSignsAreQueuedOnce) {
    Keyboard kb;
    kb.down(SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS);
    kb.text("+");
    kb.down(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS);
    kb.text("-");
    // The decimal key types what the layout says, and only with NumLock on.
    kb.down(SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM);
    kb.text(",");
    EXPECT_EQ(kb.keys(), (Keys{"+", "-", ","}));
}

TEST(KeyTranslation, TextInputSplitsIntoCharacters) {
    Keyboard kb;
    kb.text("ab");
    kb.text("\xc3\xa9");  // one two-byte character
    EXPECT_EQ(kb.keys(), (Keys{"a", "b", "\xc3\xa9"}));
}

}  // namespace
}  // namespace delve
