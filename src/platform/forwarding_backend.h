#pragma once
// The base of every backend that stands in front of another (recording,
// playing back, resuming, walking, keeping): each call goes on to the
// backend behind unless the wrapper overrides it, so a call added to the
// seam reaches the window through every stack without each wrapper having
// to learn of it.
//
// A wrapper that brings keys of its own (overrides pumpKeys) must also say
// what pumpKeysWithin does: forwarded as it is, it would fetch keys behind
// the wrapper's back.
#include "platform/backend.h"

namespace delve {

class ForwardingBackend : public Backend {
public:
    explicit ForwardingBackend(Backend& inner) : inner_(inner) {}

    void windowOpened(int width, int height) override { inner_.windowOpened(width, height); }
    void setTitle(const std::string& title) override { inner_.setTitle(title); }
    void present(const Screen& screen) override { inner_.present(screen); }
    void pumpKeys(KeyQueue& queue, KeyWait wait) override { inner_.pumpKeys(queue, wait); }
    bool takeClick(int& frameX, int& frameY) override { return inner_.takeClick(frameX, frameY); }
    void pumpKeysWithin(KeyQueue& queue, double seconds) override { inner_.pumpKeysWithin(queue, seconds); }
    void messageShown(const std::string& text) override { inner_.messageShown(text); }
    void showTimeline(const TimelineStrip& strip) override { inner_.showTimeline(strip); }
    bool takeTimelineClick(int32_t& turn) override { return inner_.takeTimelineClick(turn); }
    double timerSeconds() override { return inner_.timerSeconds(); }
    std::string clockTime() override { return inner_.clockTime(); }
    std::string clockDate() override { return inner_.clockDate(); }

protected:
    Backend& inner() { return inner_; }

private:
    Backend& inner_;
};

}  // namespace delve
