#pragma once
#include <cstdint>
#include <vector>

#include "game/game_state.h"

namespace delve {

// One room as placed: columns x0..x0+w-1, rows y0..y0+h-1.
struct LevelRoom {
    int32_t number = 0;  // 1-based, in the order the rooms were drawn
    int32_t x0 = 0, y0 = 0, w = 0, h = 0;
};

// What a generation decided, for tools and tests; the game needs none of it.
struct LevelReport {
    int32_t roomCount = 0;       // rooms drawn for (26..35)
    int32_t stairsRoom = 0;      // the room number that gets the stairs
    int32_t shopsPlanned = 0;    // 0..2
    int32_t contentDivisor = 0;  // 8..15
    std::vector<LevelRoom> rooms;  // the rooms actually placed
    bool partyFallback = false;    // the party's random search gave up
};

// Makes a new level from the random generator behind the progress panel,
// covers it, and places the party on floor. The caller then enters the turn
// loop at its level-start entry.
void makeLevel(Game& g);
// Whether generation draws: the panel, the redraws and the cover. Skipping
// them leaves every draw of the generator and the level itself the same; it
// is for tools and tests that make many levels and look only at the grid.
enum class LevelDrawing { Shown, Skipped };
void makeLevel(Game& g, LevelReport& report, LevelDrawing drawing = LevelDrawing::Shown);

// One showing of the "Please wait..." panel: phase 1, 2 or 3, progress 0..1.
void showProgress(Game& g, int phase, double progress);

// Tries per room, and tries for the party's start cell, before giving up; the
// sizes leave room to spare, so these only guarantee that generation ends.
constexpr int kRoomTries = 100000;
constexpr int kPartyTries = 100000;

}  // namespace delve
