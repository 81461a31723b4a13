#pragma once
#include "game/game_state.h"

namespace delve {

// Moves the party by g.lastKey ("8" up, "6" right, "2" down, "4" left):
// steps, doors, gates, thin walls, then an attack by a monster on the
// party's cell.
void moveParty(Game& g);

}  // namespace delve
