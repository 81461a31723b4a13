#include "watch/play_on.h"

#include "kept/recording_files.h"
#include "platform/system.h"

namespace delve {

std::optional<PlayOnStart> playOnStart(const Watch& w, std::string& problem) {
    const WatchedRun& run = *w.run;
    const Recording& r = w.recording;
    const PlaybackBackend::Place place = run.playback.place();
    const int queued = keyCount(run.platform.keys);
    PlayOnStart start;
    if (queued == 0) {
        start.text = r.text.substr(0, place.position);
    } else {
        RecordingCursor cursor{&r, place.batchStart};
        const auto batch = nextEvent(cursor);
        const auto batchSize = batch ? static_cast<int>(batch->keys.size()) : 0;
        // A queue holds 16 keys: a longer burst lost some before they were
        // read, and which it lost cannot be told from here.
        if (!batch || batch->kind != RecordedKind::Keys || batchSize > static_cast<int>(KeyQueue{}.slots.size()) ||
            queued > batchSize) {
            problem = "this turn lies inside a burst of keys; play on from the turn after it";
            return std::nullopt;
        }
        const std::vector<std::string> read(batch->keys.begin(), batch->keys.end() - queued);
        start.text = r.text.substr(0, place.batchStart);
        if (!read.empty()) start.text += keysLine(batch->turn, read);
        start.text += r.text.substr(cursor.position, place.position - cursor.position);
    }
    std::string error;
    const auto checked = parseRecording(start.text, error);
    if (!checked) {
        problem = "the recording cannot be cut at this turn: " + error;
        return std::nullopt;
    }
    start.picture.program = programVersion();
    start.picture.playedBytes = start.text.size();
    start.picture.playedDigest = playedTextDigest(*checked, start.text.size(), "");
    start.picture.screen = run.platform.screen;
    return start;
}

bool keepPlayOnAt(const std::string& path, const PlayOnStart& start, std::string& problem) {
    std::FILE* file = openFile(path, "wb");
    bool written = file && std::fwrite(start.text.data(), 1, start.text.size(), file) == start.text.size();
    if (file && std::fclose(file) != 0) written = false;
    if (!written || !writeKeptPicture(keptPicturePath(path), start.picture)) {
        problem = "cannot write the new game " + path;
        return false;
    }
    return true;
}

std::string keepPlayOn(const std::string& dataRoot, const PlayOnStart& start, std::string& problem) {
    RecordingFile file;
    if (!createRecordingFile(dataRoot, file)) {
        problem = "cannot write a new game into " + dataRoot;
        return "";
    }
    const bool written = std::fwrite(start.text.data(), 1, start.text.size(), file.file) == start.text.size() &&
                         std::fflush(file.file) == 0;
    const std::string path = file.path;
    closeRecordingFile(file);
    if (!written || !writeKeptPicture(keptPicturePath(path), start.picture)) {
        problem = "cannot write the new game " + path;
        return "";
    }
    return path;
}

}  // namespace delve
