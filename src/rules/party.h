#pragma once
#include "game/game_state.h"

namespace delve {

// "+" walks the roster up, "-" down, to the next standing member.
void switchMember(Game& g, char direction);
// One or two fallen members come back; returns how many (0, 1 or 2) and
// sets g.lastJoinedMember and the message when anyone joins.
int joinMembers(Game& g);
bool isStanding(const Game& g, int member);

}  // namespace delve
