#pragma once
// A walk started by a click: one ordinary move key per turn along the
// shortest free path, recomputed every turn, until the party arrives or
// something happens the player should see for themselves (a report, a change
// of the active member's Hp, a monster within sight, no path left, a step that did not move the party). The keys
// it gives are the same the player could have typed.
#include <cstdint>
#include <string>

#include "game/game_state.h"

namespace delve {

struct MouseWalk {
    bool active = false;
    int32_t targetX = 0, targetY = 0;
    // The active member, its Hp and the party's cell when the last key was given.
    int32_t member = 0, hp = 0, fromX = 0, fromY = 0;
};

// Starts a walk to (x, y) and returns its first key; "" (and no walk) when no
// free path leads there, so the click does nothing.
std::string startWalk(MouseWalk& walk, const Game& g, int32_t x, int32_t y);

// After each frame of a walk, with the message that frame showed: the next
// key, or "" when the walk has ended (it is then inactive).
std::string nextWalkKey(MouseWalk& walk, const Game& g, const std::string& shownMessage);

}  // namespace delve
