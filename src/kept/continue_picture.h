#pragma once
// Keeping the picture a window game ended on beside its recording, so that
// continuing it needs no drawing while the recording replays (see
// recording/kept_picture.h). Kept only where a continue hands over at the
// very point the picture was taken: a game closed while it waited for a
// key, or quit with Escape (the picture from just before the Escape). A
// game that ended anywhere else keeps the picture it kept along the way.
#include <string>

#include "game/game_state.h"
#include "recording/recording_backend.h"

namespace delve {

// After the run of `g` through `rec` into the recording at `path` ended.
// Asks nothing of the player and says nothing: a picture not kept only
// makes the next continue slower.
void keepPictureForContinuing(const std::string& path, const Game& g, const RecordingBackend& rec);

}  // namespace delve
