#pragma once
// The kept games as `delve --games` lists them, one line each, the most
// recently played first: when it was last played, the seed, the turns, the
// deepest level, how it ended and the file's name. Only the recording is
// read (its comments name the seed and the levels), never played. Starts
// that never left the title screen hold no game and are not listed.
#include <string>
#include <vector>

namespace delve {

// "2026-12-07 17:02  seed 17  turn 512  level 3  quit  2026-12-07_170211_seed-17.rec"
std::string gameListLine(const std::string& path);
std::vector<std::string> gameList(const std::string& dataRoot);

}  // namespace delve
