#include "recording/resume_backend.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/system.h"

namespace delve {

ResumeBackend::ResumeBackend(RecordingBackend& live, const Recording& recording, std::FILE* file,
                             uint64_t keepBytes, std::string extra)
    : ForwardingBackend(live),
      live_(live),
      recording_(recording),
      playback_(live, recording),
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
    // One of other text may still be of the end of this recording once a
    // quit is taken off it (continue_game.h): it waits for the hand-over.
    if (replay && picture_ && pictureAlongTheWay_ && pictureTextFits_) putPictureIfHere(wait);
    pumping_ = false;
    if (!replay) return live_.pumpKeys(queue, wait);
    playback_.pumpKeys(queue, wait);
}

void ResumeBackend::pumpKeysWithin(KeyQueue& queue, double seconds) {
    // While the recording plays, its keys are the ones taken, at once.
    if (replayNext()) return pumpKeys(queue, KeyWait::Brief);
    live_.pumpKeysWithin(queue, seconds);
}

void ResumeBackend::restorePicture(const KeptPicture& picture, Screen& screen) {
    picture_ = &picture;
    pictureScreen_ = &screen;
    pictureAlongTheWay_ = picture.playedBytes < keepBytes_ + extra_.size();
    pictureTextFits_ = picture.program == recording_.program &&
                       (pictureAlongTheWay_ ? picture.playedBytes <= keepBytes_ &&
                                                  picture.playedDigest ==
                                                      playedTextDigest(recording_, picture.playedBytes, "")
                                            : picture.playedBytes == keepBytes_ + extra_.size() &&
                                                  picture.playedDigest ==
                                                      playedTextDigest(recording_, keepBytes_, extra_));
}

void ResumeBackend::putPictureIfHere(KeyWait wait) {
    // The game kept it on its way into a wait for a key, with the text up
    // to there written: the replay is there once it has taken every event
    // before that point, and the point lies before the next event.
    const uint64_t point = picture_->playedBytes;
    if (point < playback_.position()) throw PictureDoesNotFit();
    if (wait != KeyWait::Block || point > playback_.nextEventStart()) return;
    putPicture();
}

void ResumeBackend::putPicture() {
    const KeptPicture& p = *picture_;
    Screen& s = *pictureScreen_;
    const Screen& kept = p.screen;
    // The picture was kept while the game waited for a key, so a continue
    // puts it up in a key pump; the replay also knows the screen's size and
    // text cursor, which the picture must agree with.
    const bool fits = pumping_ && pictureTextFits_ && kept.width == s.width && kept.height == s.height &&
                      kept.cursorRow == s.cursorRow && kept.cursorColumn == s.cursorColumn &&
                      kept.workPage == s.workPage && kept.visiblePage == s.visiblePage;
    if (!fits) throw PictureDoesNotFit();
    s.pages = kept.pages;
    s.skipDrawing = false;
    picture_ = nullptr;
}

bool ResumeBackend::takeClick(int& frameX, int& frameY) {
    // A click made while the recording plays belongs to no recorded turn.
    return !replaying_ && live_.takeClick(frameX, frameY);
}

bool ResumeBackend::takeTimelineClick(int32_t& turn) { return !replaying_ && live_.takeTimelineClick(turn); }

void ResumeBackend::messageShown(const std::string& text) {
    if (!replaying_) live_.messageShown(text);
}

double ResumeBackend::timerSeconds() { return replayNext() ? playback_.timerSeconds() : live_.timerSeconds(); }
std::string ResumeBackend::clockTime() { return replayNext() ? playback_.clockTime() : live_.clockTime(); }
std::string ResumeBackend::clockDate() { return replayNext() ? playback_.clockDate() : live_.clockDate(); }

void ResumeBackend::handOver() {
    if (!replaying_) return;
    if (picture_) {
        // One of a point along the way that the replay never stopped at.
        if (pictureAlongTheWay_) throw PictureDoesNotFit();
        putPicture();
    }
    replaying_ = false;
    live_.countFrom(keepBytes_, playedTextDigest(recording_, keepBytes_, ""));
    if (!removeAtHandOver_.empty()) removeFile(removeAtHandOver_);
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
