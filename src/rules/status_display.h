#pragma once
#include <string>

#include "game/game_state.h"

namespace delve {

// The three panels, the range step and the two summary lines.
void showStatus(Game& g);
// The active member's stats 1 to 6 held to 0..initial.
void limitActiveStats(Game& g);
std::string topSummary(const Game& g);
std::string bottomSummary(const Game& g);

}  // namespace delve
