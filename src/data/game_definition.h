#pragma once
#include "shell/game_state.h"

namespace delve {

// Counts above this are read as this, and the direction table's bounds are
// held to -kMaxTableBound..kMaxTableBound, so no typo can exhaust memory.
constexpr int32_t kMaxTableCount = 99;
constexpr int32_t kMaxTableBound = 99;
int32_t cappedCount(int32_t count);

// Opens the window, fills the definition tables from g.gameData, draws the
// definition overview, shows it and waits for a key press (left queued).
void loadGameDefinition(Game& g);

}  // namespace delve
