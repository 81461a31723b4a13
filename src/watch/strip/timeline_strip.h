#pragma once
// The strip a watcher shows under the game's picture: the whole recording
// as a bar, where the shown turn lies on it, a tick where each level starts
// and a mark where a member or the whole party fell. It lies outside the
// game's frame, so a picture of the game stays the game's alone. The
// mapping between turns and the strip's columns is here, apart from any
// window, so that drawing it and clicking on it agree.
//
// The watcher owns the strip, but the seam carries it to the window that
// draws it (Backend::showTimeline), so this folder may be included from any
// layer and includes nothing of the game's (scripts/check-layers).
#include <cstdint>
#include <string>
#include <vector>

namespace delve {

struct TimelineStrip {
    int32_t turn = 0;
    int32_t lastTurn = 0;  // 0: no strip
    std::vector<int32_t> levelStarts;
    std::vector<int32_t> levels;  // the level each of those starts
    bool paused = false;
    std::string speed;  // as the title says it: "\xc3\x97" "1" (x1)
    // Said beside the turn instead of the plain "turn N of M" (the page's bar
    // shows it as it is): that the turn is on its way, say.
    std::string label;

    std::vector<int32_t> memberFalls;
    std::vector<int32_t> partyFalls;
};

// The strip's height in frame pixels (it is as wide as the frame).
constexpr int kTimelineStripHeight = 40;
// The bar keeps this margin at either end, so the first and last turns can
// be hit with the pointer.
constexpr int kTimelineStripMargin = 8;

// The column (0 .. width-1) of `turn` on a strip `width` pixels wide.
int timelineColumn(const TimelineStrip& s, int32_t turn, int width);
// The turn under column `x` of a strip `width` pixels wide, clamped to
// 1 .. lastTurn (the margins give the ends).
int32_t timelineTurnAt(const TimelineStrip& s, int x, int width);

// Key texts a backend brings for keys without a character while a timeline
// is shown (a watcher reads them). At any other time those keys are all
// kNoCommandKey, so the game itself never sees these.
const std::string kKeyLeft = "\x01" "Left";
const std::string kKeyRight = "\x01" "Right";
const std::string kKeyPageUp = "\x01" "PageUp";
const std::string kKeyPageDown = "\x01" "PageDown";
const std::string kKeyHome = "\x01" "Home";
const std::string kKeyEnd = "\x01" "End";

}  // namespace delve
