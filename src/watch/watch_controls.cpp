#include "watch/watch_controls.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "watch/strip/timeline_strip.h"
#include "recording/playback_backend.h"

namespace delve {

namespace {

WatchAction show(int32_t turn) { return {WatchAction::Show, turn}; }

std::string speedTextOf(int step) {
    if (step == -2) return "\xc2\xbc";  // ¼
    if (step == -1) return "\xc2\xbd";  // ½
    return std::to_string(1 << std::clamp(step, 0, 30));
}

}  // namespace

WatchAction watchKey(WatchControls& c, const Timeline& t, const std::string& key) {
    const int32_t last = std::max(t.lastTurn, 1);
    c.note.clear();
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
        if (c.typed.size() < kTypedTurnDigits && !(c.typed.empty() && key[0] == '0')) c.typed += key;
        return {};
    }
    if (key == std::string(1, kBackspace)) {
        if (!c.typed.empty()) c.typed.pop_back();
        return {};
    }
    if (key == std::string(1, kEnter)) {
        if (c.typed.empty()) return {};
        const int32_t turn = std::min<int64_t>(std::stoll(c.typed), last);
        c.typed.clear();
        return show(turn);
    }
    if (key == std::string(1, kEscape)) {
        // Escape first drops a turn being typed; then it leaves.
        if (!c.typed.empty()) {
            c.typed.clear();
            return {};
        }
        return {WatchAction::Stop, 0};
    }
    if (key == " ") {
        c.paused = !c.paused;
        // Playing again from the end starts from the first turn, as a
        // player who pressed play on a finished video expects.
        if (!c.paused && c.turn >= last && !t.mismatch.empty()) return {};
        if (!c.paused && c.turn >= last) return show(1);
        return {};
    }
    if (key == "+") c.speedStep = std::min(c.speedStep + 1, kPlaybackFastestStep);
    else if (key == "-") c.speedStep = std::max(c.speedStep - 1, kPlaybackSlowestStep);
    else if ((key == "." || key == kKeyRight) && c.paused) return show(c.turn + 1);
    else if (key == kKeyLeft && c.paused) return show(std::max(c.turn - 1, 1));
    else if (key == kKeyPageUp) return show(previousLevelStart(t, c.turn));
    else if (key == kKeyPageDown) return show(nextLevelStart(t, c.turn));
    else if (key == kKeyHome) return show(1);
    else if (key == kKeyEnd) return show(last);
    else if (key == "p" && c.paused) return {WatchAction::PlayOn, c.turn};
    return {};
}

std::string watchSpeedText(int speedStep) { return "\xc3\x97" + speedTextOf(speedStep); }

double watchInterval(int speedStep) { return 1.0 / (kPlaybackKeysPerSecond * std::ldexp(1.0, speedStep)); }

std::string groupedNumber(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
    return n < 0 ? "-" + digits : digits;
}

std::string watchTurnText(const WatchControls& c, const Timeline& t) {
    std::string text = "turn " + groupedNumber(c.turn) + " of " + groupedNumber(t.lastTurn);
    if (const int32_t level = levelAtTurn(t, c.turn); level > 0) text += ", level " + std::to_string(level);
    return text;
}

std::string watchTitle(const WatchControls& c, const Timeline& t) {
    std::string title = "Playback \xe2\x80\x94 " + watchTurnText(c, t);
    title += ", " + watchSpeedText(c.speedStep);
    if (c.finished) title += ", finished";
    else if (c.paused) title += ", paused";
    // What is typed shows as it is typed: Enter goes there.
    if (!c.typed.empty()) title += " \xe2\x80\x94 go to turn " + c.typed + "_";
    else if (!c.note.empty()) title += " \xe2\x80\x94 " + c.note;
    else if (c.arriving) title += " \xe2\x80\x94 " + kGettingThere;
    return title;
}

}  // namespace delve
