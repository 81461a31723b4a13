#pragma once
// One seed played from the title screen to the end by a policy, through the
// same stage loop as the game and delve-replay, and what happened on the way.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "policy.h"

namespace delve::sim {

struct SimSettings {
    std::string dir = ".";
    PolicyKind policy = PolicyKind::Cautious;
    int turnCap = 3000;
    // Draw every page as the game does; off, the pixels are skipped (the
    // game state and so the result are the same either way).
    bool draw = false;
};

// What one level of one run cost and brought.
struct LevelRecord {
    int level = 0;
    int turns = 0;  // keys handled on this level
    std::map<std::string, int64_t> hpLost;  // by cause: a monster's name, "Gate", "Mystic Orb", "Other"
    int64_t mpThinWalls = 0;                // thin walls cost Mp, never Hp
    int64_t gold = 0, keys = 0, bombs = 0;  // gained (never the amounts used)
    std::map<std::string, int64_t> casts;   // by spell name, and "Bomb" for bombs thrown
};

struct Moment {
    int level = 0;
    int turn = 0;
};

enum class RunEnd {
    Fallen,   // no member stands
    Stuck,    // the policy has no way on and nothing left to try, or made no progress for long
    TurnCap,  // the turn limit came first
};
std::string runEndName(RunEnd end);

struct SeedRun {
    int seed = 0;
    std::vector<std::string> startingParty;  // the members who joined at the start
    std::vector<LevelRecord> levels;
    std::optional<Moment> firstFall;             // the first time any member fell
    std::optional<Moment> startingPartyFallen;   // every starting member down
    int deepestLevel = 0;                        // deepest level reached at all
    int deepestLevelOfStartingParty = 0;         // ... while a starting member stood
    RunEnd end = RunEnd::TurnCap;
    Moment ended;
};

// Called after every frame with the frame's message (for traces).
using FrameObserver = std::function<void(const Game&, const std::string&)>;

SeedRun simulateSeed(const SimSettings& settings, int seed, const FrameObserver& observer = {});

}  // namespace delve::sim
