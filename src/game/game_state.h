#pragma once
// The one record of everything the game knows: the loaded definition, the
// party, the current level, the turn and the message line. Every rule takes
// it by reference; the order in which the turn calls the rules keeps it
// consistent. Counters and coordinates the game keeps in single-precision
// floats only ever hold whole numbers (except the typed seed).
#include <array>
#include <cstdint>
#include <string>

#include "game/key_value_store.h"
#include "game/tables.h"
#include "game/cell_grid.h"
#include "platform/numbers.h"
#include "platform/platform.h"

namespace delve {

// Fixed stat and spell slots of the rules.
enum Stat : int { kHp = 1, kAp = 2, kDp = 3, kMp = 4, kSight = 5, kRange = 6 };
enum Spell : int { kWarp = 1, kVision = 2, kTinker = 3, kPassage = 4, kHeal = 5, kFlare = 6 };

// What the game knows, without the platform it plays on.
struct GameRecord {
    // Data stores kept for the whole run.
    KeyValueStore gameData;  // .\res\gamedata.dat
    KeyValueStore shopData;  // res\shops.dat

    // Definition, filled once at start-up.
    int32_t partyCount = 0, spellCount = 0, statCount = 0;
    Table<std::string> memberName, memberImage, statName, spellName;
    Table<int32_t> spellDifficulty;
    Table2<int32_t> spellKnown, spellExperience;  // member x spell
    Table2<int32_t> statInitial, statCurrent;     // member x stat
    Table2<int32_t> rose;                         // card x axis (1 row, 2 column)
    int32_t roseCardMin = 0, roseCardMax = 0, roseAxisMin = 0, roseAxisMax = 0;

    // Party.
    int32_t partySize = 0;
    int32_t activeMember = 0;
    float lastJoinedMember = 0;
    float gold = 0, keys = 0, bombs = 0;

    // Level.
    CellGrid levelMap;
    CellGrid seenMap;  // 0 unseen, 1 seen, 2 counted again by an area effect
    std::array<std::string, 4> cellClasses;
    float partyX = 0, partyY = 0;
    int32_t cursorX = 0, cursorY = 0;
    float cellClass = 0;
    std::string cellChar;
    float openCellCount = 0, seenCellCount = 0, mappedCellCount = 0;
    float shopIndex = 0;
    int32_t levelNumber = 0;

    // Turn and display.
    int32_t turnCount = 0;
    std::string lastKey;
    std::string messageLine;

    // Start-up.
    std::string gameTitle, creditLine;
    int32_t randomizer = 0;
    float seed = 0;
};

struct Game : GameRecord {
    explicit Game(Platform& platform) : io(platform) {}
    // The same record played on another platform: a state kept from one
    // replay put back into another of the same recording.
    Game(const Game& other, Platform& platform) : GameRecord(other), io(platform) {}
    Game(const Game&) = default;
    Platform& io;
};

// The party's cell as integers (the float coordinates rounded, halves to even).
inline int32_t partyColumn(const Game& g) { return roundHalfEven(g.partyX); }
inline int32_t partyRow(const Game& g) { return roundHalfEven(g.partyY); }

// The active member's stats; changes saturate at the 32-bit limits.
inline int32_t activeStat(const Game& g, int stat) { return g.statCurrent.get(g.activeMember, stat); }
inline void setActiveStat(Game& g, int stat, int32_t v) { g.statCurrent.set(g.activeMember, stat, v); }
inline void addActiveStat(Game& g, int stat, int64_t d) {
    setActiveStat(g, stat, addSaturated(activeStat(g, stat), d));
}

// A float counter as a whole number for display and comparison.
inline int64_t wholeNumber(float v) { return truncToInt64(v); }

}  // namespace delve
