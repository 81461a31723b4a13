#pragma once
// A game controller's state to the game's ordinary key texts, the same for
// the window (SDL's controllers) and the page (the browser's gamepads): the
// game never learns that a pad was used, so traces and recordings hold keys.
//
//   d-pad, left stick  8 6 2 4: one key per push; held, again after 0.4 s,
//                      then every 0.15 s
//   A B X Y            Space, b (bomb), h (Heal), v (Vision)
//   LB RB              - +  (the previous or next member)
//   LT RT              w (Warp), p (Passage)
//   Back + A X Y       ~ (new game), t (Tinker), f (Flare)
//   Start held 1 s     Escape, once per hold
//
// A button gives its key when pressed, never while held. Back is only a
// modifier: alone it gives nothing.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/key_queue.h"

namespace delve {

enum class PadButton { Up, Down, Left, Right, A, B, X, Y, LeftShoulder, RightShoulder, Back, Start };
constexpr int kPadButtonCount = 12;

// One controller at one moment.
struct PadSnapshot {
    std::array<bool, kPadButtonCount> buttons{};
    float stickX = 0;  // -1 left .. 1 right
    float stickY = 0;  // -1 up .. 1 down
    float leftTrigger = 0;  // 0 released .. 1 fully pulled
    float rightTrigger = 0;
    bool& operator[](PadButton b) { return buttons[static_cast<int>(b)]; }
    bool operator[](PadButton b) const { return buttons[static_cast<int>(b)]; }
    bool operator==(const PadSnapshot&) const = default;
};

// What one controller's mapping remembers between snapshots. A fresh one
// is a controller with nothing held.
struct PadMapper {
    std::array<bool, kPadButtonCount> held{};
    char direction = 0;        // the move key held ("8" "6" "2" "4"), or 0
    double nextRepeatAt = 0;   // when the held direction gives its next key
    bool leftTriggerDown = false, rightTriggerDown = false;
    double startSince = -1;    // when Start went down, or -1
    bool startSpent = false;   // this hold of Start has given its Escape
};

constexpr double kPadFirstRepeatSeconds = 0.4;
constexpr double kPadRepeatSeconds = 0.15;
constexpr double kPadQuitHoldSeconds = 1.0;

// The keys the change from the mapper's last snapshot to `now` gives, in
// order; `seconds` is the backend's timer. While `keysWaiting` (the game has
// not yet taken earlier keys) a due repeat is left out, so a held stick never
// runs ahead of the game.
std::vector<std::string> padKeys(PadMapper& m, const PadSnapshot& now, double seconds, bool keysWaiting = false);

// padKeys straight into the game's key queue; returns how many it queued.
int queuePadKeys(PadMapper& m, const PadSnapshot& now, double seconds, KeyQueue& queue);

// When the mapper next has something to give without any change of the
// controller (a repeat, the Escape of a held Start), or a negative number
// when nothing is held. A backend that sleeps must wake by then.
double padDeadline(const PadMapper& m);

// The browser's "standard" gamepad layout: `pressedBits` has bit i set when
// button i is pressed (0 A, 1 B, 2 X, 3 Y, 4 LB, 5 RB, 8 Back, 9 Start, 12-15
// d-pad up, down, left, right); the triggers (buttons 6 and 7) come as their
// values 0..1 and the left stick as axes 0 and 1.
PadSnapshot standardPadSnapshot(uint32_t pressedBits, double leftTrigger, double rightTrigger, double stickX,
                                double stickY);

}  // namespace delve
