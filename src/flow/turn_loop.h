#pragma once
#include "game/game_state.h"

namespace delve {

enum class TurnOutcome { NextTurn, NewLevel, NewGame, Quit };

// Draws the play screen, the party and the status, shows the frame, and
// empties the message line. Returns the message the frame showed.
std::string drawTurnFrame(Game& g);
// Reads one key and runs the turn's command, the monsters, the shop and the
// end-of-turn limits.
TurnOutcome handleTurnKey(Game& g);

}  // namespace delve
