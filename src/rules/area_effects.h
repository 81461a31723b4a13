#pragma once
#include "game/game_state.h"

namespace delve {

void viewDraw(Game& g);
// Vision and Flare: reveals a patch around a random open cell.
void areaReveal(Game& g);
void tinkerEffect(Game& g);
void passageEffect(Game& g);
void healEffect(Game& g);
void bombBlast(Game& g);

}  // namespace delve
