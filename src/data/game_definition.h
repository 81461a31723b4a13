#pragma once
#include <string>

#include "game/game_state.h"

namespace delve {

// Counts above this are read as this, and the direction table's bounds are
// held to -kMaxTableBound..kMaxTableBound, so no typo can exhaust memory.
constexpr int32_t kMaxTableCount = 99;
constexpr int32_t kMaxTableBound = 99;
int32_t cappedCount(int32_t count);
int32_t clampedBound(int32_t bound);

// Keys of the definition file that are built from numbers and names; the
// content checker builds its keys with these too, so the two cannot drift.
std::string roseEntryKey(int64_t card, int64_t axis);                 // rose(c,a)
std::string numberedKey(const std::string& kind, int64_t number, const std::string& field);  // kind/n/field
std::string memberKey(const std::string& member, const std::string& rest);                   // party/member/rest

// Opens the window, fills the definition tables from g.gameData, draws the
// definition overview, shows it and waits for a key press (left queued).
void loadGameDefinition(Game& g);

}  // namespace delve
