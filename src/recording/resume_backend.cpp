#include "recording/resume_backend.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace delve {

ResumeBackend::ResumeBackend(RecordingBackend& live, const Recording& recording, std::FILE* file,
                             uint64_t keepBytes, std::string extra)
    : live_(live),
      recording_(recording),
      playback_(live, recording, false),
      file_(file),
      keepBytes_(keepBytes),
      extra_(std::move(extra)) {}

void ResumeBackend::windowOpened(int width, int height) {
    width_ = width, height_ = height;
    sizePending_ = true;
    if (!replaying_ || showing_) showSize();
}

void ResumeBackend::showSize() {
    if (!sizePending_) return;
    sizePending_ = false;
    live_.windowOpened(width_, height_);
}

void ResumeBackend::present(const Screen& screen) {
    lastScreen_ = &screen;
    if (!replaying_ || showing_) live_.present(screen);
}

bool ResumeBackend::replayNext() {
    if (!replaying_) return false;
    if (!playback_.usedUp()) return true;
    handOver();
    return false;
}

void ResumeBackend::pumpKeys(KeyQueue& queue, KeyWait wait) {
    pumping_ = true;
    const bool replay = replayNext();
    pumping_ = false;
    if (!replay) return live_.pumpKeys(queue, wait);
    playback_.pumpKeys(queue, wait);
}

void ResumeBackend::restoreAtHandOver(const KeptPicture& picture, Screen& screen) {
    picture_ = &picture;
    pictureScreen_ = &screen;
}

void ResumeBackend::putPicture() {
    const KeptPicture& p = *picture_;
    Screen& s = *pictureScreen_;
    const Screen& kept = p.screen;
    // A game that ended by itself was waiting for a key, so a continue of
    // its recording hands over in a key pump; the replay also knows the
    // screen's size and text cursor, which the picture must agree with.
    const bool fits = pumping_ && p.program == recording_.program &&
                      p.playedBytes == keepBytes_ + extra_.size() &&
                      p.playedDigest == playedTextDigest(recording_, keepBytes_, extra_) &&
                      kept.width == s.width && kept.height == s.height && kept.cursorRow == s.cursorRow &&
                      kept.cursorColumn == s.cursorColumn && kept.workPage == s.workPage &&
                      kept.visiblePage == s.visiblePage;
    if (!fits) throw PictureDoesNotFit();
    s.pages = kept.pages;
    s.skipDrawing = false;
}

bool ResumeBackend::takeClick(int& frameX, int& frameY) {
    // A click made while the recording plays belongs to no recorded turn.
    return !replaying_ && live_.takeClick(frameX, frameY);
}

void ResumeBackend::messageShown(const std::string& text) {
    if (!replaying_) live_.messageShown(text);
}

double ResumeBackend::timerSeconds() { return replayNext() ? playback_.timerSeconds() : live_.timerSeconds(); }
std::string ResumeBackend::clockTime() { return replayNext() ? playback_.clockTime() : live_.clockTime(); }
std::string ResumeBackend::clockDate() { return replayNext() ? playback_.clockDate() : live_.clockDate(); }

void ResumeBackend::handOver() {
    if (!replaying_) return;
    if (picture_) putPicture();
    replaying_ = false;
    if (!removeAtHandOver_.empty()) std::remove(removeAtHandOver_.c_str());
    if (file_) {
        std::fflush(file_);
        bool cut = false;
#ifndef _WIN32
        cut = ::ftruncate(::fileno(file_), static_cast<off_t>(keepBytes_)) == 0;
#else
        cut = _chsize_s(_fileno(file_), static_cast<long long>(keepBytes_)) == 0;
#endif
        std::fseek(file_, 0, SEEK_END);
        // A file that cannot be cut is not written on: appending after a
        // partial line would spoil the whole recording.
        if (!cut) live_.stopWriting();
    }
    live_.write(extra_);
    live_.write("# continued here\n");
    showSize();
    if (lastScreen_) live_.present(*lastScreen_);
}

void ResumeBackend::showPages() {
    showing_ = true;
    showSize();
    if (lastScreen_) live_.present(*lastScreen_);
}

}  // namespace delve
