// A controller's buttons and stick to the game's keys: which key each gives,
// when held ones repeat, and the deliberate hold that quits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/gamepad_keys.h"

namespace delve {
namespace {

std::string joined(const std::vector<std::string>& keys) {
    std::string out;
    for (const auto& k : keys) out += (out.empty() ? "" : "|") + k;
    return out;
}

PadSnapshot pressing(std::initializer_list<PadButton> buttons) {
    PadSnapshot s;
    for (PadButton b : buttons) s[b] = true;
    return s;
}

TEST(GamepadKeys, EachButtonGivesItsKeyOnPressOnly) {
    using B = PadButton;
    const struct {
        std::initializer_list<PadButton> buttons;
        const char* keys;
    } presses[] = {
        {{B::Up}, "8"}, {{B::Right}, "6"}, {{B::Down}, "2"}, {{B::Left}, "4"},
        {{B::A}, " "}, {{B::B}, "b"}, {{B::X}, "h"}, {{B::Y}, "v"},
        {{B::LeftShoulder}, "-"}, {{B::RightShoulder}, "+"},
        {{B::Back}, ""}, {{B::Start}, ""},  // Back only changes others; Start must be held
        {{B::Back, B::A}, "~"}, {{B::Back, B::X}, "t"}, {{B::Back, B::Y}, "f"}, {{B::Back, B::B}, "b"},
        {{B::A, B::X, B::RightShoulder}, " |h|+"},  // pressed together: each once
    };
    for (const auto& p : presses) {
        PadMapper m;
        const PadSnapshot s = pressing(p.buttons);
        EXPECT_EQ(joined(padKeys(m, s, 1.0)), p.keys) << p.keys;
        EXPECT_EQ(joined(padKeys(m, s, 1.1)), "") << "held: " << p.keys;  // a move's first repeat is later
        EXPECT_EQ(joined(padKeys(m, PadSnapshot{}, 1.2)), "") << "released: " << p.keys;
        EXPECT_EQ(joined(padKeys(m, s, 1.3)), p.keys) << "again: " << p.keys;
    }
}

TEST(GamepadKeys, SticksAndTriggersNeedAClearPushAndAClearRelease) {
    // One mapper through a sequence of states, the keys each gives.
    const struct {
        float x, y, leftTrigger, rightTrigger;
        const char* keys;
    } steps[] = {
        {0.45f, 0, 0, 0, ""},       // inside the dead zone
        {0.6f, 0, 0, 0, "6"},       // out of it
        {0.4f, 0, 0, 0, ""},        // still held: no new push
        {0.36f, 0, 0, 0, ""},
        {0.6f, 0, 0, 0, ""},        // pushed out again: the same push, never let go
        {0.34f, 0, 0, 0, ""},       // let go
        {0.6f, 0.55f, 0, 0, "6"},   // the larger axis wins
        {0.6f, 0.7f, 0, 0, ""},     // a wobble towards the diagonal keeps it
        {0.5f, 0.8f, 0, 0, "2"},    // clearly down now: a new push
        {0, -0.9f, 0, 0, "8"},
        {0, 0, 0.5f, 0, ""},        // a trigger half pulled
        {0, 0, 0.7f, 0, "w"},
        {0, 0, 0.4f, 0.9f, "p"},    // the left one still down
        {0, 0, 0.7f, 0.9f, ""},
        {0, 0, 0.2f, 0.2f, ""},
        {0, 0, 0.7f, 0.7f, "w|p"},
    };
    PadMapper m;
    double t = 0;
    for (const auto& step : steps) {
        PadSnapshot s;
        s.stickX = step.x;
        s.stickY = step.y;
        s.leftTrigger = step.leftTrigger;
        s.rightTrigger = step.rightTrigger;
        t += 0.05;
        EXPECT_EQ(joined(padKeys(m, s, t)), step.keys) << step.x << "," << step.y << " " << step.leftTrigger;
    }
}

// Within one look at the controller.
constexpr double kLook = 0.0101;

// The times at which a direction held from 0 s for `seconds` gives its key,
// looked at every 10 ms; `busyUntil`: the game has keys waiting until then.
std::vector<double> moveTimes(const PadSnapshot& held, double seconds, double busyUntil = -1) {
    PadMapper m;
    std::vector<double> times;
    for (int ms = 0; ms <= seconds * 1000; ms += 10) {
        const double t = ms / 1000.0;
        for (const auto& key : padKeys(m, held, t, t < busyUntil)) {
            EXPECT_EQ(key, "6");
            times.push_back(t);
        }
    }
    return times;
}

TEST(GamepadKeys, AHeldDirectionRepeatsSteadilyAndNeverRunsAhead) {
    const std::vector<double> expected = {0, 0.4, 0.55, 0.7, 0.85, 1.0};
    PadSnapshot stick;
    stick.stickX = 1;
    const auto dpad = pressing({PadButton::Right});
    for (const auto& held : {stick, dpad}) {
        const auto times = moveTimes(held, 1.0);
        ASSERT_EQ(times.size(), expected.size());
        for (size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], expected[i], kLook);
    }
    // While the game still has keys to take, due repeats are dropped, not saved up.
    const auto busy = moveTimes(dpad, 1.0, 0.75);
    ASSERT_EQ(busy.size(), 3u);
    EXPECT_NEAR(busy[1], 0.85, kLook);
    // A second arrow pressed with the first neither moves nor breaks the repeat.
    PadMapper m;
    EXPECT_EQ(joined(padKeys(m, dpad, 0)), "6");
    EXPECT_EQ(joined(padKeys(m, pressing({PadButton::Right, PadButton::Up}), 0.1)), "");
    EXPECT_NEAR(padDeadline(m), 0.4, 1e-9);
    EXPECT_EQ(joined(padKeys(m, pressing({PadButton::Up}), 0.2)), "8");
    EXPECT_EQ(joined(padKeys(m, PadSnapshot{}, 0.3)), "");
    EXPECT_LT(padDeadline(m), 0);  // nothing held: a backend may sleep
}

TEST(GamepadKeys, StartQuitsOnlyWhenHeldASecondAndOncePerHold) {
    PadMapper m;
    const auto start = pressing({PadButton::Start});
    std::string keys;
    for (double t : {0.0, 0.5, 0.99}) keys += joined(padKeys(m, start, t));
    padKeys(m, PadSnapshot{}, 1.2);  // let go just short of a second
    for (double t : {2.0, 2.5}) keys += joined(padKeys(m, start, t));
    EXPECT_EQ(keys, "");
    EXPECT_NEAR(padDeadline(m), 3.0, 1e-9);
    EXPECT_EQ(joined(padKeys(m, start, 3.0)), "\x1b");
    EXPECT_EQ(joined(padKeys(m, start, 9.0)), "");  // still the same hold
    padKeys(m, PadSnapshot{}, 9.1);
    padKeys(m, start, 9.2);
    EXPECT_EQ(joined(padKeys(m, start, 10.3)), "\x1b");
}

TEST(GamepadKeys, ControllersKeepTheirOwnState) {
    PadMapper one, two;
    const auto a = pressing({PadButton::A});
    EXPECT_EQ(joined(padKeys(one, a, 0)), " ");
    EXPECT_EQ(joined(padKeys(two, a, 0.1)), " ");  // the other pad's A held does not hide this press
    EXPECT_EQ(joined(padKeys(one, pressing({PadButton::A, PadButton::Back}), 0.2)), "");
    EXPECT_EQ(joined(padKeys(two, pressing({PadButton::X}), 0.3)), "h");  // Back on pad one is not pad two's
}

TEST(GamepadKeys, TheBrowsersStandardLayout) {
    using B = PadButton;
    const struct {
        int bit;
        PadButton button;
    } layout[] = {{0, B::A}, {1, B::B}, {2, B::X}, {3, B::Y}, {4, B::LeftShoulder}, {5, B::RightShoulder},
                  {8, B::Back}, {9, B::Start}, {12, B::Up}, {13, B::Down}, {14, B::Left}, {15, B::Right}};
    for (const auto& l : layout) {
        const PadSnapshot s = standardPadSnapshot(1u << l.bit, 0, 0, 0, 0);
        EXPECT_EQ(s, pressing({l.button})) << l.bit;
    }
    // Triggers (6, 7), the stick buttons (10, 11) and the home button (16) are
    // no buttons here; the triggers come as values.
    EXPECT_EQ(standardPadSnapshot(1u << 6 | 1u << 7 | 1u << 10 | 1u << 11 | 1u << 16, 0, 0, 0, 0), PadSnapshot{});
    const PadSnapshot s = standardPadSnapshot(0, 0.75, 2.0, -1.5, std::nan(""));
    EXPECT_FLOAT_EQ(s.leftTrigger, 0.75f);
    EXPECT_FLOAT_EQ(s.rightTrigger, 1.0f);
    EXPECT_FLOAT_EQ(s.stickX, -1.0f);
    EXPECT_FLOAT_EQ(s.stickY, 0.0f);
}

}  // namespace
}  // namespace delve
