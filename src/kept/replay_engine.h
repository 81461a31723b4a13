#pragma once
// The one way a recording is played back, for every program that does it:
// the replay tool, continuing a kept game, the watcher and playing on from
// a watched turn. The game runs on what the recording says it read; after
// each frame the checkpoint due there is checked, and a game that stops
// matching is stopped with one line saying where and why:
//   "turn 812: the game does not match the recording (recorded with other data files)"
// The whole state of a replay can be taken as a value and put back, so a
// replay can go back to any turn it passed.
#include <cstdint>
#include <memory>
#include <string>

#include "flow/program.h"
#include "game/game_state.h"
#include "recording/playback_backend.h"
#include "recording/recording_format.h"

namespace delve {

// Why a replay stops matching its recording: the `what` of the line.
constexpr const char* kGameDoesNotMatch = "the game does not match the recording";
constexpr const char* kNoCheckpointHere = "the recording has no checkpoint where the game has one";
constexpr const char* kEndDoesNotMatch = "the game's end does not match the recording";
constexpr const char* kEndedEarly = "the game ended before the recording did";
constexpr const char* kNoLongerFollows = "the game no longer follows the recording: ";

// Why a recording may not match here: other data files or another program,
// or nothing known.
std::string likelyMismatchCause(const Recording& r, uint64_t dataDigest);
// "turn N: what (cause)", the cause left out when none is known (or there
// is no recording to name one).
std::string refusalLine(int32_t turn, const std::string& what, const Recording* r, uint64_t dataDigest);

// Runs the program on to the next frame it shows, and stops there: the
// caller may look at the frame (trace it) before its checkpoint is checked.
struct FrameStep {
    enum Kind {
        Frame,     // a frame was shown
        Ended,     // the program ended (Escape): no frame came
        UsedUp,    // the recording has no more keys for the program
        Left,      // the window was closed or the program told to end
        Diverged   // the game read something other than the recording holds
    } kind = Frame;
    bool newLevel = false;  // a level was made on the way
    std::string diverged;   // what it read instead, for Diverged
};
FrameStep nextFrame(Game& g, Program& program);

// The checkpoint due after the frame just shown, if any: "" when it holds
// (or none is due), else the refusal's `what`. A replay without drawing has
// no pages to digest, so only its turn is checked. When the recording is
// used up right there (it was cut before this checkpoint), `usedUp` is set
// and it holds: whoever plays on writes the checkpoint.
std::string checkFrame(const Game& g, const Program& program, PlaybackBackend& pb, bool* usedUp = nullptr);
// The same for the program's end: the end checkpoint, and nothing after it.
std::string checkEnd(const Game& g, const Program& program, PlaybackBackend& pb);

// Everything of a replay at one moment but the pixels of its pages (which
// a watcher keeps packed): the game, the program, where the recording is
// read, and what the platform holds beside the game.
struct ReplaySnapshot {
    std::unique_ptr<Game> game;
    Program program;
    PlaybackBackend::Place place;
    KeyQueue keys;
    Random rng;
    std::shared_ptr<Files::Memo> memo;
    int width = 0, height = 0, workPage = 0, visiblePage = 0, cursorRow = 1, cursorColumn = 1;
};
ReplaySnapshot takeSnapshot(const Game& g, const Program& program, const PlaybackBackend& pb);
// Puts it back into a replay on `platform` (the game's own) read through
// `pb`; the pages are the caller's to put back (they are left as they are).
void putSnapshot(const ReplaySnapshot& s, std::unique_ptr<Game>& g, Program& program, Platform& platform,
                 PlaybackBackend& pb);

}  // namespace delve
