#pragma once
// What a viewer's key does to a watched game, apart from any window: the
// turn to show next, the pace, a turn number being typed, stopping, playing
// on. The window's watcher (watch/watch_window) only carries it out.
//
//   Space       pause / play            +  -      speed x1/4 .. x64
//   .  Right    one turn on (paused)    Left      one turn back (paused)
//   PageUp      start of this level, or of the one before when already there
//   PageDown    start of the next level Home End  the first / last turn
//   digits, Enter   that turn (Backspace takes a digit back, Escape drops them)
//   p           play on from here (paused): a new game from this turn
//   Escape      stop watching
#include <cstdint>
#include <string>

#include "watch/timeline.h"

namespace delve {

// Playing goes at 10 turns a second times 2^speedStep, from x1/4 to x64.
constexpr double kPlaybackKeysPerSecond = 10;
constexpr int kPlaybackSlowestStep = -2;  // x1/4
constexpr int kPlaybackFastestStep = 6;   // x64

struct WatchControls {
    int32_t turn = 1;        // the turn shown
    bool paused = false;
    int speedStep = 0;       // 2^speedStep turns per base interval
    std::string typed;       // digits of a turn being typed
    bool finished = false;   // played to the end
    std::string note;        // why the last key did nothing, till the next key
    // The turn is on its way: the watcher notes the game up to it a slice at
    // a time, the window answering keys between, and shows it once there.
    bool arriving = false;
};

struct WatchAction {
    enum Kind {
        None,     // nothing to do but show the title again
        Show,     // show `turn`; past the last turn means the end was passed
        PlayOn,   // start a new game from the turn shown
        Stop      // the viewer leaves
    } kind = None;
    int32_t turn = 0;
};

// The most digits a typed turn takes (a turn fits in 32 bits).
constexpr size_t kTypedTurnDigits = 9;

// What a watcher says while a turn it was sent to is on its way.
const std::string kGettingThere = "getting there\xe2\x80\xa6";

WatchAction watchKey(WatchControls& c, const Timeline& t, const std::string& key);

// Seconds between turns at `speedStep` (10 turns a second at x1).
double watchInterval(int speedStep);

// "turn 812 of 4,020, level 3": the turn the controls hold, as the title and
// the bar say it.
std::string watchTurnText(const WatchControls& c, const Timeline& t);
// "Playback — turn 812 of 4,020, level 3, ×1, paused", and what is typed
// or that the turn is on its way ("— getting there…").
std::string watchTitle(const WatchControls& c, const Timeline& t);
// The speed as the title says it: "×1", "×¼", "×64".
std::string watchSpeedText(int speedStep);

// 4020 as "4,020".
std::string groupedNumber(int64_t n);

}  // namespace delve
