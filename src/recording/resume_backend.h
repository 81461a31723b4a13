#pragma once
// A backend that first gives the game what a recording says it read, and
// once the recording is used up hands over to the player: from then on
// everything comes from the live backend, which records it on into the
// same file. While the recording plays nothing reaches the window (the
// pages are still drawn, so the picture the player last saw is there at
// the hand-over, or else nothing is drawn until the point of the picture
// kept beside the recording, which is put up there); at the hand-over the
// file is cut back to what was played and the shown page goes to the window.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "recording/kept_picture.h"
#include "recording/playback_backend.h"
#include "recording/recording_backend.h"

namespace delve {

// Thrown by a replay without drawing that finds the kept picture is not of
// a point of the recording it replays: nothing has been shown or written
// yet, and the caller replays again with drawing.
struct PictureDoesNotFit : std::exception {
    const char* what() const noexcept override { return "the kept picture does not fit the recording"; }
};

class ResumeBackend final : public ForwardingBackend {
public:
    // `file` is the recording's own file, open for writing, which `live`
    // appends to; it is left as it was until the hand-over, where it is cut
    // to `keepBytes` and `extra` (complete lines) is written after them.
    ResumeBackend(RecordingBackend& live, const Recording& recording, std::FILE* file, uint64_t keepBytes,
                  std::string extra);

    // While the recording plays the window only learns the last size, at
    // the hand-over: resizing it costs time and shows nothing.
    void windowOpened(int width, int height) override;
    void present(const Screen& screen) override;
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    void pumpKeysWithin(KeyQueue& queue, double seconds) override;
    bool takeClick(int& frameX, int& frameY) override;
    bool takeTimelineClick(int32_t& turn) override;
    void messageShown(const std::string& text) override;
    double timerSeconds() override;
    std::string clockTime() override;
    std::string clockDate() override;

    bool replaying() const { return replaying_; }
    // While replaying: the recording as it is played, whose checkpoints the
    // replay checks.
    PlaybackBackend& playback() { return playback_; }
    // The screen whose shown page goes to the window at the hand-over.
    void watchScreen(const Screen& screen) { lastScreen_ = &screen; }
    // Ends the replay: the file is cut and written on, the picture shown.
    void handOver();
    // Shows pages in the window again without handing over (to show why
    // the game cannot go on).
    void showPages();
    // A replay without drawing (`screen.skipDrawing` set by the caller): at
    // the point `picture` is of (the hand-over, or a wait for a key along
    // the way) it goes onto `screen` and drawing starts again, once it is
    // checked to be the picture of exactly the text replayed up to there
    // and of the point the game waits at; otherwise PictureDoesNotFit.
    void restorePicture(const KeptPicture& picture, Screen& screen);
    // A file removed at the hand-over: the kept picture of the recording,
    // which no longer belongs to it once it grows.
    void removeAtHandOver(std::string path) { removeAtHandOver_ = std::move(path); }

private:
    bool replayNext();
    void putPictureIfHere(KeyWait wait);
    void putPicture();
    void showSize();

    RecordingBackend& live_;
    const Recording& recording_;
    PlaybackBackend playback_;
    std::FILE* file_;
    uint64_t keepBytes_;
    std::string extra_;
    bool replaying_ = true;
    bool showing_ = false;
    const Screen* lastScreen_ = nullptr;
    bool pumping_ = false;
    bool sizePending_ = false;
    int width_ = 0, height_ = 0;
    const KeptPicture* picture_ = nullptr;
    Screen* pictureScreen_ = nullptr;
    bool pictureAlongTheWay_ = false;  // of a point before the hand-over
    bool pictureTextFits_ = false;     // of the text replayed up to its point
    std::string removeAtHandOver_;
};

}  // namespace delve
