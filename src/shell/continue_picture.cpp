#include "shell/continue_picture.h"

#include <cstdio>

#include "recording/kept_picture.h"
#include "shell/continue_game.h"

namespace delve {

void keepPictureForContinuing(const std::string& path, const Game& g, const RecordingBackend& rec) {
    const std::string picturePath = keptPicturePath(path);
    std::string error;
    const auto recording = rec.failed() ? std::nullopt : loadRecording(path, error);
    uint64_t keep = recording ? recording->bodyEnd : 0;
    std::string extra;
    const Screen* screen = nullptr;
    if (!recording) {
    } else if (rec.endedWaitingForKeys()) {
        screen = &g.io.screen;
    } else if (const std::string quit = "# end quit\n";
               g.io.screenAtEscape && recording->text.size() >= quit.size() &&
               recording->text.compare(recording->text.size() - quit.size(), quit.size(), quit) == 0) {
        // The same cut a continue makes, so the picture is of the text it plays.
        Recording trimmed;
        if (withoutTheQuit(*recording, keyCount(g.io.keys), trimmed, keep, extra)) screen = &*g.io.screenAtEscape;
    }
    if (!screen) {
        std::remove(picturePath.c_str());
        return;
    }
    KeptPicture picture;
    picture.program = programVersion();
    picture.playedBytes = keep + extra.size();
    picture.playedDigest = playedTextDigest(*recording, keep, extra);
    picture.screen = *screen;
    if (!writeKeptPicture(picturePath, picture)) std::remove(picturePath.c_str());
}

}  // namespace delve
