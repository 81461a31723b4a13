#pragma once
// The message panel's report as a screen reader should say it: the panel
// shows "[Unlocked door][Used 1 Key]" or "{Smith: 10GP for 1 Key}", a
// listener wants "Unlocked door. Used 1 Key." Tile icons ("{{c}}") are
// pictures with nothing to say, and are left out.
#include <string>

namespace delve {

// "" when nothing in the report can be spoken.
std::string speakableReport(const std::string& report);

}  // namespace delve
