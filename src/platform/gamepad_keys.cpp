#include "platform/gamepad_keys.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"

namespace delve {

namespace {

// A stick push starts past half way and lasts until it falls back under
// this lower mark, so a stick resting near the edge does not flutter.
constexpr float kStickPress = 0.5f;
constexpr float kStickRelease = 0.35f;
// The same for the triggers, which many pads report as analog.
constexpr float kTriggerPress = 0.6f;
constexpr float kTriggerRelease = 0.3f;
// A stick held near a diagonal keeps its direction until the other axis is
// clearly the larger one, or every wobble would be a new push.
constexpr float kAxisBias = 1.25f;

bool horizontalKey(char key) { return key == '4' || key == '6'; }
bool verticalKey(char key) { return key == '8' || key == '2'; }

char dpadDirection(const PadSnapshot& s, char current) {
    const struct {
        PadButton button;
        char key;
    } pad[] = {{PadButton::Up, '8'}, {PadButton::Down, '2'}, {PadButton::Left, '4'}, {PadButton::Right, '6'}};
    char first = 0;
    for (const auto& p : pad) {
        if (!s[p.button]) continue;
        if (p.key == current) return current;  // a second arrow pressed does not take over
        if (!first) first = p.key;
    }
    return first;
}

char stickDirection(const PadSnapshot& s, char current) {
    const float ax = std::fabs(s.stickX), ay = std::fabs(s.stickY);
    if (std::max(ax, ay) < (current ? kStickRelease : kStickPress)) return 0;
    bool horizontal = ax >= ay;
    if (horizontalKey(current)) horizontal = ax * kAxisBias >= ay;
    if (verticalKey(current)) horizontal = ax > ay * kAxisBias;
    if (horizontal) return s.stickX > 0 ? '6' : '4';
    return s.stickY > 0 ? '2' : '8';
}

// Whether an analog trigger is down, given whether it was.
bool triggerDown(float value, bool wasDown) { return wasDown ? value >= kTriggerRelease : value >= kTriggerPress; }

float clamped(double value, float low, float high) {
    if (!std::isfinite(value)) return 0;
    return static_cast<float>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

}  // namespace

std::vector<std::string> padKeys(PadMapper& m, const PadSnapshot& now, double seconds, bool keysWaiting) {
    std::vector<std::string> keys;
    auto pressed = [&](PadButton b) { return now[b] && !m.held[static_cast<int>(b)]; };

    const bool anyDpad = now[PadButton::Up] || now[PadButton::Down] || now[PadButton::Left] || now[PadButton::Right];
    const char direction = anyDpad ? dpadDirection(now, m.direction) : stickDirection(now, m.direction);
    if (direction != m.direction) {
        m.direction = direction;
        if (direction) {
            keys.emplace_back(1, direction);
            m.nextRepeatAt = seconds + kPadFirstRepeatSeconds;
        }
    } else if (direction && seconds >= m.nextRepeatAt) {
        if (!keysWaiting) keys.emplace_back(1, direction);
        m.nextRepeatAt += kPadRepeatSeconds;
        // After a long stall (a level being made) the repeat starts afresh
        // rather than catching up with a burst.
        if (m.nextRepeatAt <= seconds) m.nextRepeatAt = seconds + kPadRepeatSeconds;
    }

    const bool back = now[PadButton::Back];
    if (pressed(PadButton::A)) keys.emplace_back(back ? "~" : " ");
    if (pressed(PadButton::B)) keys.emplace_back("b");
    if (pressed(PadButton::X)) keys.emplace_back(back ? "t" : "h");
    if (pressed(PadButton::Y)) keys.emplace_back(back ? "f" : "v");
    if (pressed(PadButton::LeftShoulder)) keys.emplace_back("-");
    if (pressed(PadButton::RightShoulder)) keys.emplace_back("+");

    const bool left = triggerDown(now.leftTrigger, m.leftTriggerDown);
    if (left && !m.leftTriggerDown) keys.emplace_back("w");
    m.leftTriggerDown = left;
    const bool right = triggerDown(now.rightTrigger, m.rightTriggerDown);
    if (right && !m.rightTriggerDown) keys.emplace_back("p");
    m.rightTriggerDown = right;

    // Quitting takes a deliberate hold, so a brushed Start ends nothing.
    if (!now[PadButton::Start]) {
        m.startSince = -1;
        m.startSpent = false;
    } else if (m.startSince < 0) {
        m.startSince = seconds;
    } else if (!m.startSpent && seconds - m.startSince >= kPadQuitHoldSeconds) {
        keys.emplace_back(1, kEscape);
        m.startSpent = true;
    }

    m.held = now.buttons;
    return keys;
}

int queuePadKeys(PadMapper& m, const PadSnapshot& now, double seconds, KeyQueue& queue) {
    const auto keys = padKeys(m, now, seconds, hasKey(queue));
    for (const std::string& key : keys) pushKey(queue, key);
    return static_cast<int>(keys.size());
}

double padDeadline(const PadMapper& m) {
    double deadline = -1;
    if (m.direction) deadline = m.nextRepeatAt;
    if (m.startSince >= 0 && !m.startSpent) {
        const double quit = m.startSince + kPadQuitHoldSeconds;
        deadline = deadline < 0 ? quit : std::min(deadline, quit);
    }
    return deadline;
}

PadSnapshot standardPadSnapshot(uint32_t pressedBits, double leftTrigger, double rightTrigger, double stickX,
                                double stickY) {
    const struct {
        int bit;
        PadButton button;
    } layout[] = {{0, PadButton::A},        {1, PadButton::B},         {2, PadButton::X},     {3, PadButton::Y},
                  {4, PadButton::LeftShoulder}, {5, PadButton::RightShoulder}, {8, PadButton::Back},
                  {9, PadButton::Start},    {12, PadButton::Up},       {13, PadButton::Down}, {14, PadButton::Left},
                  {15, PadButton::Right}};
    PadSnapshot s;
    for (const auto& l : layout) s[l.button] = (pressedBits >> l.bit & 1u) != 0;
    s.leftTrigger = clamped(leftTrigger, 0, 1);
    s.rightTrigger = clamped(rightTrigger, 0, 1);
    s.stickX = clamped(stickX, -1, 1);
    s.stickY = clamped(stickY, -1, 1);
    return s;
}

}  // namespace delve
