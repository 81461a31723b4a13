#pragma once
// A game played in the window, kept as a recording: every clock reading and
// key the run takes is written to a new file under the data folder's
// recordings/, with a checkpoint of the game every 50 turns and one at its
// end, so the game can be watched again and checked. Comments note what a
// list of games shows without playing them: the seed, each level made, and
// how the game ended when it ended by itself (Escape, or the window closed).
#include <ostream>
#include <string>

#include "game/game_state.h"
#include "recording/recording_backend.h"
#include "recording/resume_backend.h"
#include "kept/playback.h"
#include "kept/recording_files.h"
#include "walk/walk_backend.h"

namespace delve {

// Runs the program to its end on a game whose platform reads through `rec`;
// names `file` (when given) by the seed once the title screen is done, and
// writes a trace line per frame to `trace` (when given); `walker` (when
// given, somewhere under `rec`) learns the stage and each frame. Returns 0.
int runRecorded(Game& g, RecordingBackend& rec, RecordingFile* file, std::ostream* trace,
                WalkBackend* walker = nullptr);

// The same run continuing a recording: the game's platform reads through
// `resume` (which plays `recording` and then hands over to `rec`), and while
// the recording plays its checkpoints are checked rather than written.
struct ResumedRun {
    enum Kind {
        Played,           // handed over and played on to the end
        EndedInRecording, // the recording itself ends the game (its last batch quit)
        Mismatch          // the game stopped matching the recording
    } kind = Played;
    int32_t turn = 0;
    std::string message;  // one line, for a mismatch
    int keysLeft = 0;     // EndedInRecording: keys still queued at the end
};
ResumedRun runResumed(Game& g, RecordingBackend& rec, ResumeBackend& resume, const Recording& recording,
                      uint64_t dataDigest, std::ostream* trace, WalkBackend* walker);

struct WindowRunOptions {
    std::string dataRoot = ".";
    bool record = true;
    std::string tracePath;  // empty: no trace
};

// The game in `window`, recorded unless told not to. Returns the exit status.
int runWindowGame(Backend& window, const WindowRunOptions& options);

}  // namespace delve
