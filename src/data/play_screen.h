#pragma once
#include "game/game_state.h"

namespace delve {

// The map frame, the message panel's cleared frame, and the three panels, on
// the work page.
void redrawPlayScreen(Game& g);

}  // namespace delve
