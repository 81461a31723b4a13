#pragma once
// The way a click walks: the shortest path from the party's cell to a target
// through cells the player has seen and the party can step onto without a
// price or a risk (floor, stairs, open doors, items), and what makes a walk
// stop early. All of it only reads the game.
#include <cstdint>
#include <string>
#include <vector>

#include "game/game_state.h"

namespace delve {

// Whether a walk may step onto the cell: seen, inside the area a move key
// can reach, and free to enter (no locked door, gate, thin wall, rock, shop
// or monster).
bool freeToWalk(const Game& g, int64_t x, int64_t y);

// The move keys ("8" up, "6" right, "2" down, "4" left) of a shortest path
// from the party to (x, y); empty when the party stands there or no path
// exists. Ties go to the first key in that order, so a path is always the same.
std::vector<std::string> walkKeys(const Game& g, int32_t x, int32_t y);

// Whether a monster stands within the active member's sight (half the sight
// stat around the party, as the view draws it).
bool monsterInSight(const Game& g);

// The map cell under a pixel of the 960 x 720 frame; false off the map.
bool cellAtFramePixel(int px, int py, int32_t& x, int32_t& y);

}  // namespace delve
