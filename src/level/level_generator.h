#pragma once
#include "shell/game_state.h"

namespace delve {

// Makes a new level from the random generator behind the progress panel,
// covers it, and places the party on floor. The caller then enters the turn
// loop at its level-start entry.
void makeLevel(Game& g);

// One showing of the "Please wait..." panel: phase 1, 2 or 3, progress 0..1.
void showProgress(Game& g, int phase, double progress);

}  // namespace delve
