#include "watch/strip/timeline_strip.h"

#include <algorithm>

namespace delve {

namespace {

int barWidth(int width) { return std::max(width - 2 * kTimelineStripMargin, 1); }

}  // namespace

int timelineColumn(const TimelineStrip& s, int32_t turn, int width) {
    const int bar = barWidth(width);
    if (s.lastTurn <= 1 || bar <= 1) return std::min(kTimelineStripMargin, std::max(width - 1, 0));
    const int64_t along = int64_t{std::clamp(turn, 1, s.lastTurn) - 1} * (bar - 1) / (s.lastTurn - 1);
    return kTimelineStripMargin + static_cast<int>(along);
}

int32_t timelineTurnAt(const TimelineStrip& s, int x, int width) {
    const int bar = barWidth(width);
    if (s.lastTurn <= 1 || bar <= 1) return 1;
    const int64_t along = std::clamp(x - kTimelineStripMargin, 0, bar - 1);
    // The nearest turn to the column, so that a column drawn for a turn
    // gives that turn back.
    const int64_t turn = 1 + (along * (s.lastTurn - 1) + (bar - 1) / 2) / (bar - 1);
    return static_cast<int32_t>(std::clamp<int64_t>(turn, 1, s.lastTurn));
}

}  // namespace delve
