#pragma once
// Continuing a game: its recording is played without being shown up to its
// end, the picture the player last saw goes to the window, and the player
// plays on, recorded into the same file, so that however often a game is
// continued its recording replays as one game. A game that was quit with
// Escape continues from just before the Escape.
#include <cstdio>
#include <string>

#include "platform/backend.h"
#include "platform/file_lock.h"
#include "recording/recording_format.h"

namespace delve {

// A recording found, locked for this program and read.
struct ContinueTarget {
    std::string path;
    FileLock lock;
    Recording recording;
    std::FILE* file = nullptr;  // open for writing; nothing written yet
    ~ContinueTarget();
};

// Finds the recording (`given`, or the game played last in the data
// folder's recordings/, passing over starts that never left the title
// screen), locks it and reads it. Returns 0, or the exit status
// with the one-line reason in `error`: 1 when there is none, it is open in
// another program or cannot be written; 2 when it is not a sound recording.
// Nothing is written to the file either way.
int openToContinue(const std::string& dataRoot, const std::string& given, ContinueTarget& out, std::string& error);

// Plays the game on in `window` from the recording; returns the exit status
// (3, with the file untouched, when the game no longer matches it). Writes
// a trace line per frame to `tracePath` when given. The recording replays
// without drawing up to the point of the picture kept beside it, when it
// is of a point of this recording (recording/kept_picture.h);
// `usedKeptPicture` then says so.
int continueGame(Backend& window, ContinueTarget& target, const std::string& dataRoot,
                 const std::string& tracePath = "", bool* usedKeptPicture = nullptr);

// A recording the game itself ends (its last key batch quit with Escape):
// the same recording without that Escape and what followed it, so the
// player comes back to the game as it was just before. `keysLeft` are the
// keys still queued when the game ended, which came after the Escape. The
// first `keep` bytes of `r` and then `extra` make the text of `out`.
bool withoutTheQuit(const Recording& r, int keysLeft, Recording& out, uint64_t& keep, std::string& extra);

}  // namespace delve
