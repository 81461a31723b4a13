#pragma once
// A backend that first gives the game what a recording says it read, and
// once the recording is used up hands over to the player: from then on
// everything comes from the live backend, which records it on into the
// same file. While the recording plays nothing reaches the window (the
// pages are still drawn, so the picture the player last saw is there at
// the hand-over); at the hand-over the file is cut back to what was played
// and the shown page goes to the window.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "recording/playback_backend.h"
#include "recording/recording_backend.h"

namespace delve {

class ResumeBackend final : public Backend {
public:
    // `file` is the recording's own file, open for writing, which `live`
    // appends to; it is left as it was until the hand-over, where it is cut
    // to `keepBytes` and `extra` (complete lines) is written after them.
    ResumeBackend(RecordingBackend& live, const Recording& recording, std::FILE* file, uint64_t keepBytes,
                  std::string extra);

    void windowOpened(int width, int height) override { live_.windowOpened(width, height); }
    void setTitle(const std::string& title) override { live_.setTitle(title); }
    void present(const Screen& screen) override;
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    bool takeClick(int& frameX, int& frameY) override;
    void messageShown(const std::string& text) override;
    double timerSeconds() override;
    std::string clockTime() override;
    std::string clockDate() override;

    bool replaying() const { return replaying_; }
    // While replaying: the checkpoint the recording holds next, taken.
    std::optional<RecordedEvent> takeCheckpoint() { return playback_.takeCheckpoint(); }
    bool usedUp() const { return playback_.usedUp(); }
    // The screen whose shown page goes to the window at the hand-over.
    void watchScreen(const Screen& screen) { lastScreen_ = &screen; }
    // Ends the replay: the file is cut and written on, the picture shown.
    void handOver();
    // Shows pages in the window again without handing over (to show why
    // the game cannot go on).
    void showPages();

private:
    bool replayNext();

    RecordingBackend& live_;
    PlaybackBackend playback_;
    std::FILE* file_;
    uint64_t keepBytes_;
    std::string extra_;
    bool replaying_ = true;
    bool showing_ = false;
    const Screen* lastScreen_ = nullptr;
};

}  // namespace delve
