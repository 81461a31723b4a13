#include "recording/recording_backend.h"

#include <vector>

#include "platform/system.h"
#include "recording/kept_picture.h"
#include "recording/recording_format.h"

namespace delve {

RecordingBackend::RecordingBackend(Backend& inner, std::FILE* out) : inner_(inner), out_(out), digest_(kFnvStart) {}

void RecordingBackend::write(const std::string& line) {
    if (failed_ || !out_) return;
    if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::fflush(out_) != 0) {
        failed_ = true;
        // The game itself never shows errors; the terminal may want to know.
        std::fprintf(stderr, "delve: the recording could not be written further\n");
        return;
    }
    written_ += line.size();
    digest_ = fnv1a64(line, digest_);
}

void RecordingBackend::keepPictures(std::string path, int everyBatches, bool now) {
    picturePath_ = std::move(path);
    pictureEvery_ = everyBatches < 1 ? 1 : everyBatches;
    batchesSincePicture_ = now ? pictureEvery_ : 0;
}

void RecordingBackend::movePictures(std::string path) {
    if (!picturePath_.empty()) picturePath_ = std::move(path);
}

void RecordingBackend::keepPictureIfDue() {
    // Only at a wait the replay stops at too, and only of pages the game
    // drew: a file it can no longer write has no point to keep one of.
    if (picturePath_.empty() || batchesSincePicture_ < pictureEvery_ || failed_ || !out_ || !shown_ ||
        shown_->skipDrawing)
        return;
    batchesSincePicture_ = 0;
    writeKeptPictureBytes(picturePath_, encodeKeptPicture(programVersion(), written_, digest_, *shown_));
}

void RecordingBackend::pumpKeys(KeyQueue& queue, KeyWait wait) {
    if (wait == KeyWait::Block) keepPictureIfDue();
    std::vector<std::string> pushed;
    queue.pushed = &pushed;
    try {
        inner_.pumpKeys(queue, wait);
    } catch (const EndRequested&) {
        queue.pushed = nullptr;
        endedWaitingForKeys_ = true;
        throw;
    } catch (...) {
        queue.pushed = nullptr;
        throw;
    }
    queue.pushed = nullptr;
    if (pushed.empty()) return;
    write(keysLine(turn_, pushed));
    ++batchesSincePicture_;
    // A key is a player's whole move: it should survive a power cut too.
    if (!failed_ && out_) syncFileToDisk(out_);
}

double RecordingBackend::timerSeconds() {
    const double v = inner_.timerSeconds();
    write(timerLine(v));
    return v;
}

std::string RecordingBackend::clockTime() {
    std::string v = inner_.clockTime();
    write(clockTimeLine(v));
    return v;
}

std::string RecordingBackend::clockDate() {
    std::string v = inner_.clockDate();
    write(clockDateLine(v));
    return v;
}

}  // namespace delve
