#pragma once
// Helpers for the recording tests: a window that brings keys in batches, a
// run recorded into a file, a recording played back headless.
#include <cstdio>
#include <deque>
#include <string>

#include "platform/backend.h"
#include "kept/playback.h"
#include "support/support.h"

namespace delve::test {

using Batches = std::deque<std::string>;

// The batches of `a`, then those of `b`.
Batches joined(Batches a, const Batches& b);

// Keys in batches, as a window brings everything pending at once; the clock
// moves by an odd amount so that timer readings are not round numbers. When
// the batches are used up it ends the run as the close button does
// (`closeAtEnd`) or as a used-up script does.
class BatchBackend : public Backend {
public:
    explicit BatchBackend(std::deque<std::string> batches, bool closeAtEnd = false)
        : batches_(std::move(batches)), closeAtEnd_(closeAtEnd) {}
    void windowOpened(int, int) override {}
    void setTitle(const std::string&) override {}
    void present(const Screen& screen) override {
        shownHash = pageHash(screen, screen.visiblePage);
        ++presents;
    }
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    double timerSeconds() override { return timer_ += 0.1234567891234; }
    std::string clockTime() override { return "23:59:58"; }
    std::string clockDate() override { return "12-31-2026"; }

    uint64_t shownHash = 0;  // the page last shown
    int presents = 0;

private:
    std::deque<std::string> batches_;
    bool closeAtEnd_;
    int polls_ = 0;
    double timer_ = 86400.0 / 7;
};

// A copy of the staged data folder (res/ and tiles/).
void copyStaged(const ScratchDir& dir);

struct Recorded {
    std::string text;   // the recording
    std::string trace;  // the frames as the recorded run showed them
    uint64_t shownHash = 0;
};

// A run on `root` with these batches, recorded; into the file `path` when
// given (else a temporary one).
Recorded record(const std::string& root, std::deque<std::string> batches, const std::string& path = "",
                bool closeAtEnd = false);

struct Played {
    PlaybackResult result;
    std::string trace;
    uint64_t shownHash = 0;
};

Played play(const std::string& root, const std::string& text);
// The same, played `frameBudget` frames a slice (as the page plays a long
// game) up to `lastFrame` (0: to its end); `slices` counts the slices.
Played playInSlices(const std::string& root, const std::string& text, int32_t lastFrame, int32_t frameBudget,
                    int& slices);

std::string readWhole(std::FILE* f);

}  // namespace delve::test
