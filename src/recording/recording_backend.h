#pragma once
// A backend in front of another that writes down everything the game reads
// through it: each clock reading, and the keys of every key pump that
// brought any (a pump that brings nothing changes nothing and is not kept).
// Each line reaches the file at once, so a killed program loses at most the
// key it was taking.
//
// Asked to, it also keeps a picture of the screen beside the recording now
// and then, when the game waits for a key (recording/kept_picture.h): a
// game the program never got to end cleanly then continues without drawing
// all of it again.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/backend.h"

namespace delve {

// Key batches between two kept pictures: a continue draws at most this many
// again, and a picture costs a few milliseconds.
constexpr int kPictureEveryBatches = 100;

class RecordingBackend final : public Backend {
public:
    // `out` stays the caller's; nothing is written once a write has failed.
    RecordingBackend(Backend& inner, std::FILE* out);

    void windowOpened(int width, int height) override { inner_.windowOpened(width, height); }
    void setTitle(const std::string& title) override { inner_.setTitle(title); }
    void present(const Screen& screen) override {
        shown_ = &screen;
        inner_.present(screen);
    }
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    // A click itself is not kept: only the keys a walk turns it into are.
    bool takeClick(int& frameX, int& frameY) override { return inner_.takeClick(frameX, frameY); }
    void messageShown(const std::string& text) override { inner_.messageShown(text); }
    double timerSeconds() override;
    std::string clockTime() override;
    std::string clockDate() override;

    // The turn that key lines are marked with, from here on.
    void setTurn(int32_t turn) { turn_ = turn; }
    // Appends one line (with its LF) and flushes it.
    void write(const std::string& line);
    bool failed() const { return failed_; }
    // The run was ended (the close button, a signal) while the game waited
    // for keys, rather than while it drew: the point a continue hands over at.
    bool endedWaitingForKeys() const { return endedWaitingForKeys_; }
    // Nothing more is written, silently (the file is not ours to spoil).
    void stopWriting() { failed_ = true; }

    // The file already holds `bytes` of recording text, with this digest,
    // when this backend starts writing on after them (a continued game).
    void countFrom(uint64_t bytes, uint64_t digest) { written_ = bytes, digest_ = digest; }
    // From here on a picture goes to `path` at the first wait for a key
    // after every `everyBatches` key batches, and at the very next one when
    // `now`. A picture that cannot be written is skipped, silently.
    void keepPictures(std::string path, int everyBatches = kPictureEveryBatches, bool now = false);
    // The recording was renamed: its pictures follow it.
    void movePictures(std::string path);

private:
    void keepPictureIfDue();

    Backend& inner_;
    std::FILE* out_;
    int32_t turn_ = 0;
    bool failed_ = false;
    bool endedWaitingForKeys_ = false;
    uint64_t written_ = 0;
    uint64_t digest_;
    const Screen* shown_ = nullptr;
    std::string picturePath_;
    int pictureEvery_ = kPictureEveryBatches;
    int batchesSincePicture_ = 0;
};

}  // namespace delve
