#pragma once
#include "game/game_state.h"

namespace delve {

// Reads the data files, shows the definition overview, sets the window
// title and computes the start-up seed; ends with the title window open.
void startUp(Game& g);
// Draws the title screen's ten lines (seeding the generator on the way).
void showTitleScreen(Game& g);
// Waits for the space bar or "@" with a typed seed (true), or Escape (false).
bool titleKeyLoop(Game& g);
// The steps every game begins with, up to the intro picture and its key.
void startGame(Game& g);

}  // namespace delve
