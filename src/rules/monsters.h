#pragma once
#include "game/game_state.h"

namespace delve {

// Every monster within the active member's range (stat 6) tries one step.
void monsterTurn(Game& g);
// Moves the monster at (mx, my) given its random direction card and mode.
void monsterStep(Game& g, int mx, int my, int direction, int mode);

}  // namespace delve
