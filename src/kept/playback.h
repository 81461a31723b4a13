#pragma once
// Playing a recording back: the game runs on what the recording says it
// read, and at each checkpoint its state is compared with the recorded one.
// A game that stops matching is stopped there; it is never shown on as if
// it were the recorded one.
#include <cstdint>
#include <ostream>
#include <string>

#include "game/game_state.h"
#include "kept/replay_engine.h"
#include "recording/playback_backend.h"

namespace delve {

struct PlaybackResult {
    enum Kind {
        Finished,  // the recording was played to its last key (or its end) and matched
        Stopped,   // stopped at the frame asked for, or the window was closed
        Mismatch   // the game stopped matching the recording
    } kind = Finished;
    int32_t turn = 0;
    std::string message;  // one line, for a mismatch
};

// `dataDigest` is the digest of the data folder the game runs on, to name
// the likely cause of a mismatch. Writes a trace line per frame to `trace`.
// With `lastFrame` it stops (Stopped) once that many frames were shown and
// checked: the picture a watcher shows at that turn.
PlaybackResult playRecording(Game& g, PlaybackBackend& pb, const Recording& r, uint64_t dataDigest,
                             std::ostream* trace, int32_t lastFrame = 0);

// Says on stderr and over the shown page why a recording stopped matching
// (`what`: "Playback stopped", ...); `message` is the one line for stderr.
void showMismatch(Platform& p, const std::string& what, const std::string& path, const Recording& r,
                  uint64_t dataDigest, int32_t turn, const std::string& message);

// Shows `title` and waits until the window brings Escape, or is closed.
void waitForEscape(Backend& window, const std::string& title);

}  // namespace delve
