#include "kept/continue_picture.h"

#include <cstdio>

#include "recording/kept_picture.h"
#include "kept/continue_game.h"

namespace delve {

namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The screen a continue of `recording` will hand over at, with the part of
// the recording it replays first (its first `keep` bytes, then `extra`).
const Screen* handOverScreen(const Recording& recording, const Game& g, const RecordingBackend& rec,
                             uint64_t& keep, std::string& extra) {
    keep = recording.bodyEnd;
    extra.clear();
    // Closed while waiting for a key: the continue hands over at that wait.
    if (rec.endedWaitingForKeys()) return &g.io.screen;
    // Quit: the same cut a continue makes, back to where the Escape was taken.
    Recording trimmed;
    if (g.io.screenAtEscape && endsWith(recording.text, "# end quit\n") &&
        withoutTheQuit(recording, keyCount(g.io.keys), trimmed, keep, extra))
        return &*g.io.screenAtEscape;
    return nullptr;
}

}  // namespace

void keepPictureForContinuing(const std::string& path, const Game& g, const RecordingBackend& rec) {
    const std::string picturePath = keptPicturePath(path);
    std::string error;
    const auto recording = !rec.kept() ? std::nullopt : loadRecording(path, error);
    uint64_t keep = 0;
    std::string extra;
    const Screen* screen = recording ? handOverScreen(*recording, g, rec, keep, extra) : nullptr;
    if (!screen) return;
    // One not written leaves the one kept along the way, which still holds.
    writeKeptPictureBytes(picturePath, encodeKeptPicture(programVersion(), keep + extra.size(),
                                                         playedTextDigest(*recording, keep, extra), *screen));
}

}  // namespace delve
