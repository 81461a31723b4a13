#include "recording/resume_backend.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace delve {

ResumeBackend::ResumeBackend(RecordingBackend& live, const Recording& recording, std::FILE* file,
                             uint64_t keepBytes, std::string extra)
    : live_(live), playback_(live, recording, false), file_(file), keepBytes_(keepBytes), extra_(std::move(extra)) {}

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
    if (!replayNext()) return live_.pumpKeys(queue, wait);
    playback_.pumpKeys(queue, wait);
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
    replaying_ = false;
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
    if (lastScreen_) live_.present(*lastScreen_);
}

void ResumeBackend::showPages() {
    showing_ = true;
    if (lastScreen_) live_.present(*lastScreen_);
}

}  // namespace delve
