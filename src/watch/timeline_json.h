#pragma once
// A watcher's timeline as the page's watch bar takes it (web/js/watch-bar.js):
//   {"turn":812,"lastTurn":4020,"level":3,"levelStarts":[{"turn":1,"level":1},...],
//    "falls":[{"turn":90,"party":false},...],"paused":true,"speed":"×1"}
// or "null" when no timeline is shown. Plain C++, so it is tested without
// a browser; the page's entry point hands it to the bar (showWatchBar).
#include <string>

#include "watch/strip/timeline_strip.h"

namespace delve {

std::string timelineJson(const TimelineStrip& strip);

}  // namespace delve
