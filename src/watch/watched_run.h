#pragma once
// One replay of a recording that a watcher moves back and forth: the game
// runs headless on what the recording says it read, turn by turn, and its
// whole state can be kept at a turn and put back later, so that going back
// means putting back the latest state kept before, not playing from the
// start. Checkpoints are checked as playback checks them.
#include <cstdint>
#include <memory>
#include <string>

#include "flow/program.h"
#include "kept/replay_engine.h"
#include "game/game_state.h"
#include "platform/headless/headless_backend.h"
#include "recording/playback_backend.h"
#include "recording/recording_format.h"

namespace delve {

struct WatchedRun {
    WatchedRun(const Recording& recording, const std::string& dataRoot, uint64_t dataDigest, bool drawn);
    WatchedRun(const WatchedRun&) = delete;
    WatchedRun& operator=(const WatchedRun&) = delete;

    const Recording& recording;
    uint64_t dataDigest;
    HeadlessBackend quiet;  // the window behind the playback: shows nothing
    PlaybackBackend playback;
    Platform platform;
    std::unique_ptr<Game> game;
    Program program;
    int32_t turn = 0;       // frames shown so far: the turn on the screen
    bool ended = false;     // no turn comes after this one
    std::string mismatch;   // why, when the game stopped matching the recording
    bool newLevel = false;  // a level was made since the frame before
};

// Runs the game on to the frame of the next turn, and stops where it waits
// for that turn's key. False, with `ended` set, when there is none.
bool nextTurn(WatchedRun& run);

// Everything of the run at one turn, but the pixels of its pages (which a
// watcher keeps packed, watch/page_pack.h).
struct RunState {
    int32_t turn = 0;
    ReplaySnapshot replay;
    bool ended = false;
    std::string mismatch;
};

RunState keepState(const WatchedRun& run);
// Puts the state back; the pages are the caller's to put back (they are
// left as they are).
void putState(WatchedRun& run, const RunState& state);

}  // namespace delve
