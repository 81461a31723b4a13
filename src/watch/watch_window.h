#pragma once
// Watching a kept game in the window like a video: it plays a turn per
// interval at the chosen speed, and the viewer can pause, step and seek
// anywhere, by key (watch/watch_controls.h) or on the timeline under the
// picture, and play on from any turn as a new kept game.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/backend.h"
#include "recording/recording_format.h"

namespace delve {

struct WatchWindowOptions {
    std::string path;        // the watched file (or link), for messages
    std::string dataRoot;    // the data folder; a game played on is kept there
    int32_t startTurn = 1;   // the turn shown first
    bool startPaused = false;
    std::string tracePath;   // a game played on writes its frames' trace here
    // The moments a watcher keeps to seek fast take at most about this much
    // memory (watch/watch.h).
    size_t memoryBytes = size_t{256} << 20;
    // When given, a game played on is only made, and its file named here,
    // for the caller to continue as it continues any kept game (the page
    // keeps it in the browser's storage first); the watcher then ends with
    // its timeline still up, for the caller to take down.
    std::string* playOnPath = nullptr;
    // Where that game is written; "" for a new file in the data folder's
    // recordings/, as every game played in the window is.
    std::string playOnFile;
    // Called now and then while a long recording is opened: the page lets
    // the browser have its turn there.
    std::function<void()> betweenTurns;
};

// Returns the exit status: 0 when the viewer leaves, 3 when playing reached
// the point where the game stops matching the recording, or a game played
// on's own status.
int watchInWindow(Backend& window, Recording recording, const WatchWindowOptions& options);

}  // namespace delve
