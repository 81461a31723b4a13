#pragma once
// A backend in front of another that writes down everything the game reads
// through it: each clock reading, and the keys of every key pump that
// brought any (a pump that brings nothing changes nothing and is not kept).
// Each line reaches the file at once, so a killed program loses at most the
// key it was taking.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/backend.h"

namespace delve {

class RecordingBackend final : public Backend {
public:
    // `out` stays the caller's; nothing is written once a write has failed.
    RecordingBackend(Backend& inner, std::FILE* out) : inner_(inner), out_(out) {}

    void windowOpened(int width, int height) override { inner_.windowOpened(width, height); }
    void setTitle(const std::string& title) override { inner_.setTitle(title); }
    void present(const Screen& screen) override { inner_.present(screen); }
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

private:
    Backend& inner_;
    std::FILE* out_;
    int32_t turn_ = 0;
    bool failed_ = false;
    bool endedWaitingForKeys_ = false;
};

}  // namespace delve
