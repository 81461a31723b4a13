#include "recording/recording_backend.h"

#include <cerrno>
#include <vector>

#include "platform/system.h"
#include "recording/kept_picture.h"
#include "recording/recording_format.h"

namespace delve {

namespace {

// Why the file refused a line, as the player is told it.
std::string whyNotWritten(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return "the disk is full";
        case EFBIG:
            return "its file has reached the size limit";
        default:
            return "its file cannot be written";
    }
}

}  // namespace

RecordingBackend::RecordingBackend(Backend& inner, std::FILE* out) : ForwardingBackend(inner), out_(out), digest_(kFnvStart) {}

void RecordingBackend::write(const std::string& line) {
    if (givenUp_ || (!out_ && !holding_)) {
        writeHeld();
        return;
    }
    if (held_.empty() && out_) {
        // The usual case: straight to the file, nothing held.
        const size_t put = writeToFile(out_, line.data(), line.size());
        if (put < line.size()) {
            why_ = whyNotWritten(errno);
            keptUpTo_ = turn_;
            held_.assign(line, put, std::string::npos);
        }
    } else if (held_.size() + line.size() > kHeldMaxBytes) {
        // Not this line nor any after it: the file stays a game up to here.
        givenUp_ = true;
        givenUpAt_ = turn_;
        writeHeld();
        return;
    } else {
        held_ += line;
        writeHeld();
    }
    written_ += line.size();
    digest_ = fnv1a64(line, digest_);
    tellNotice();
}

void RecordingBackend::writeHeld() {
    if (!held_.empty() && out_) {
        const size_t put = writeToFile(out_, held_.data(), held_.size());
        const int error = errno;
        held_.erase(0, put);
        if (!held_.empty()) why_ = whyNotWritten(error);
    }
    tellNotice();
}

void RecordingBackend::stopWriting() {
    givenUp_ = true;
    held_.clear();
    why_ = "its recording cannot be written on";
    givenUpAt_ = turn_;
    tellNotice();
}

void RecordingBackend::holdUntilFile(std::string why) {
    holding_ = true;
    why_ = std::move(why);
    keptUpTo_ = turn_;
    tellNotice();
}

void RecordingBackend::attachFile(std::FILE* out) {
    out_ = out;
    writeHeld();
}

void RecordingBackend::tellInTitle() {
    tellInTitle_ = true;
    if (!shownNotice_.empty()) inner().setTitle(titleWithNotice());
}

std::string RecordingBackend::notice() const {
    if (kept() || (!out_ && !holding_)) return "";
    if (givenUp_) return "this game is kept only up to turn " + std::to_string(keptTurn()) + ": " + why_;
    return "this game is not being kept: " + why_;
}

void RecordingBackend::tellAtTheEnd(const std::string& where) {
    const std::string end = endNotice();
    if (end.empty()) return;
    std::fprintf(stderr, "delve: %s (%s)\n", end.c_str(), where.c_str());
    shownNotice_ = end;
    if (tellInTitle_) inner().setTitle(titleWithNotice());
}

std::string RecordingBackend::endNotice() const {
    if (kept() || (!out_ && !holding_)) return "";
    if (!out_) return "this game was not kept: " + why_;
    return "this game was kept only up to turn " + std::to_string(keptTurn()) + ": " + why_;
}

int32_t RecordingBackend::keptTurn() const {
    // Once the held lines are in, the file reaches the turn it was given up at.
    return givenUp_ && held_.empty() ? givenUpAt_ : keptUpTo_;
}

std::string RecordingBackend::titleWithNotice() const {
    // Plain ASCII: the window's title under X is read in the C locale, where
    // a dash beyond ASCII leaves the desktop showing the title before it.
    if (!title_.empty()) return title_ + " - " + shownNotice_;
    std::string alone = shownNotice_;
    if (!alone.empty() && alone[0] >= 'a' && alone[0] <= 'z') alone[0] = static_cast<char>(alone[0] - 'a' + 'A');
    return alone;
}

void RecordingBackend::tellNotice() {
    const std::string now = notice();
    if (now == shownNotice_) return;
    // The game itself never shows errors; the title and the terminal do.
    if (!now.empty()) std::fprintf(stderr, "delve: %s\n", now.c_str());
    else std::fprintf(stderr, "delve: the game is kept again, whole\n");
    shownNotice_ = now;
    if (tellInTitle_) inner().setTitle(now.empty() ? title_ : titleWithNotice());
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
    // Only at a wait the replay stops at too, only of pages the game drew,
    // and only of a file that holds everything up to here: a picture is
    // named by the text before it.
    if (picturePath_.empty() || batchesSincePicture_ < pictureEvery_ || !kept() || !shown_ || shown_->skipDrawing)
        return;
    batchesSincePicture_ = 0;
    writeKeptPictureBytes(picturePath_, encodeKeptPicture(programVersion(), written_, digest_, *shown_));
}

void RecordingBackend::pumpKeys(KeyQueue& queue, KeyWait wait) { pumpAndKeep(queue, wait, -1); }

void RecordingBackend::pumpKeysWithin(KeyQueue& queue, double seconds) {
    pumpAndKeep(queue, KeyWait::Brief, seconds < 0 ? 0 : seconds);
}

void RecordingBackend::pumpAndKeep(KeyQueue& queue, KeyWait wait, double within) {
    // Room may have come since the last line: a game waiting for its next
    // key is whole again at once.
    if (!held_.empty()) writeHeld();
    if (wait == KeyWait::Block) keepPictureIfDue();
    std::vector<std::string> pushed;
    queue.pushed = &pushed;
    try {
        if (within < 0)
            inner().pumpKeys(queue, wait);
        else
            inner().pumpKeysWithin(queue, within);
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
    if (out_ && held_.empty()) syncFileToDisk(out_);
}

double RecordingBackend::timerSeconds() {
    const double v = inner().timerSeconds();
    write(timerLine(v));
    return v;
}

std::string RecordingBackend::clockTime() {
    std::string v = inner().clockTime();
    write(clockTimeLine(v));
    return v;
}

std::string RecordingBackend::clockDate() {
    std::string v = inner().clockDate();
    write(clockDateLine(v));
    return v;
}

}  // namespace delve
