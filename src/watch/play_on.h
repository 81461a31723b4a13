#pragma once
// Playing on from the turn a watcher shows: a new kept game whose recording
// is the watched one's up to that turn, followed by whatever the player
// does next. The watched file is never changed.
#include <optional>
#include <string>

#include "recording/kept_picture.h"
#include "watch/watch.h"

namespace delve {

// The new game's first text and the picture of its turn. The text is the
// watched recording's up to the turn shown; the key batch the turn lies in
// is cut after the keys the game has read of it (a window brings keys in
// batches, and the rest of the batch belongs to turns after this one). The
// picture lets a continue replay the text without drawing it.
struct PlayOnStart {
    std::string text;
    KeptPicture picture;
};
std::optional<PlayOnStart> playOnStart(const Watch& w, std::string& problem);

// Writes the new game into the data folder's recordings/, with its picture
// beside it, ready to be continued; returns its path ("" with `problem`).
std::string keepPlayOn(const std::string& dataRoot, const PlayOnStart& start, std::string& problem);
// The same into the file `path` (the page names the files it keeps).
bool keepPlayOnAt(const std::string& path, const PlayOnStart& start, std::string& problem);

}  // namespace delve
