#pragma once
// A backend without a window: pages stay in memory, keys come from a script,
// and the clock is fixed, so a run is the same every time it is repeated.
#include <cstdint>
#include <deque>
#include <string>

#include "platform/backend.h"

namespace delve {

class HeadlessBackend : public Backend {
public:
    explicit HeadlessBackend(std::string script = "", double firstTimer = 1000.5);

    // Appends key events, one per string.
    void addKey(const std::string& key);
    void addKeys(const std::string& bytes);  // one event per byte
    size_t keysLeft() const { return script_.size(); }

    void windowOpened(int width, int height) override;
    void setTitle(const std::string& title) override { title_ = title; }
    void present(const Screen& screen) override;
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    double timerSeconds() override;
    std::string clockTime() override { return "12:00:00"; }
    std::string clockDate() override { return "01-01-2026"; }

    const std::string& title() const { return title_; }
    int windowWidth() const { return width_; }
    int windowHeight() const { return height_; }
    uint64_t presents() const { return presents_; }
    uint64_t timerReadings() const { return timerCalls_; }

private:
    std::deque<std::string> script_;
    double firstTimer_;
    uint64_t timerCalls_ = 0;
    uint64_t presents_ = 0;
    std::string title_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace delve
