#pragma once
// What a recording checks a game against every 50 turns: a digest of the
// frame's trace record and of the page the player sees, so a change to the
// rules, the data or the pictures all show.
#include <cstdint>
#include <string>

#include "game/game_state.h"

namespace delve {

constexpr int32_t kCheckpointTurns = 50;

inline bool isCheckpointTurn(int32_t turn) { return turn > 0 && turn % kCheckpointTurns == 0; }

uint64_t checkpointDigest(const Game& g, const std::string& shownMessage);

}  // namespace delve
