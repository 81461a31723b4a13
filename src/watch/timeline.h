#pragma once
// What a watcher's timeline shows of a recording: how many turns it holds,
// where each level starts and where the party fell, found by one replay
// without drawing when the recording is opened.
//
// Turns are counted from the recording's start, across the new games a
// player may have begun in it ("~"), so that every moment of the recording
// has its own number: in a recording of one game they are the game's turns.
#include <cstdint>
#include <string>
#include <vector>

#include "game/game_state.h"

namespace delve {

struct TimelineMark {
    enum Kind {
        LevelStart,  // the first turn of a level (`level` says which)
        MemberFell,  // a member's health reached 0 at this turn
        PartyFell    // no member of the party has health left
    } kind = LevelStart;
    int32_t turn = 0;
    int32_t level = 0;
};

struct Timeline {
    int32_t lastTurn = 0;  // turns 1..lastTurn can be shown
    std::vector<TimelineMark> marks;  // by turn
    // The replay stopped matching the recording after `lastTurn`: why, in
    // one line ("" when it matched to its end).
    std::string mismatch;
};

// What the watcher learns from each frame while it indexes: called with the
// game just after the frame of `turn`; `newLevel` when a level was made
// since the frame before. `health` carries each member's health at the
// frame before, to see who fell.
struct TimelineNotes {
    std::vector<int32_t> health;
    bool partyDown = false;
};
void noteFrame(Timeline& t, TimelineNotes& notes, const Game& g, int32_t turn, bool newLevel);
// A replay that checks the pages found `mismatch` after `lastTurn`, which
// the replay without drawing could not see: the timeline ends there.
void cutTimeline(Timeline& t, int32_t lastTurn, const std::string& mismatch);

// The level shown at `turn` (0 before the first level).
int32_t levelAtTurn(const Timeline& t, int32_t turn);
// The first turn of the level after the one `turn` is on, or of the one it
// is on (or the one before when `turn` is that first turn): where PageDown
// and PageUp go. Without such a level: the end, or turn 1.
int32_t nextLevelStart(const Timeline& t, int32_t turn);
int32_t previousLevelStart(const Timeline& t, int32_t turn);

}  // namespace delve
