#pragma once
// One JSON object per frame of play: the state a player's key is about to
// act on, written so that two runs can be compared byte for byte.
#include <string>

#include "game/game_state.h"

namespace delve {

// Bytes as JSON string contents: quotes and backslashes escaped, control
// bytes and bytes of 128 and above as \u00XX.
std::string jsonText(const std::string& bytes);
// One line (without the newline) for the frame just shown.
std::string traceLine(const Game& g, const std::string& shownMessage);

}  // namespace delve
