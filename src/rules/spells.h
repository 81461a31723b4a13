#pragma once
#include "game/game_state.h"

namespace delve {

// The spell keys "w", "v", "t", "p", "h", "f": the cost draw, the Mp check,
// the effect and the report, for the key in g.lastKey.
void castSpellForKey(Game& g);
// Moves the party to a random unseen (or mapped) floor, stairs, item or
// monster cell and takes the cost; does nothing when no such cell exists.
void warp(Game& g, int32_t cost);
// "b": a bomb blast when the party carries one.
void useBomb(Game& g);

}  // namespace delve
