#include "kept/playback.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "game/trace.h"
#include "recording/data_digest.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "kept/replay_engine.h"

namespace delve {

namespace {

PlaybackResult playbackRefused(const Game& g, const Recording& r, uint64_t dataDigest, const std::string& what) {
    return PlaybackResult{PlaybackResult::Mismatch, g.turnCount, refusalLine(g.turnCount, what, &r, dataDigest)};
}

// The message over the bottom of the shown page, in the game's own font.
void showStopMessage(Platform& p, const std::string& first, const std::string& second) {
    Screen& s = p.screen;
    const int work = s.workPage;
    s.workPage = s.visiblePage;
    const int rows = s.height / 16;
    fillBox(p, 0, 8 * (rows - 3), s.width / 2 - 1, 8 * rows - 1, 0);
    drawFontText(p, 8, 8 * (rows - 3), first);
    drawFontText(p, 8, 8 * (rows - 2), second);
    s.workPage = work;
    p.backend->present(s);
    s.visibleDirty = false;
}

}  // namespace

PlaybackResult playRecording(Game& g, PlaybackBackend& pb, const Recording& r, uint64_t dataDigest,
                             std::ostream* trace, int32_t lastFrame) {
    Program program;
    for (int32_t frames = 0;;) {
        const FrameStep step = nextFrame(g, program);
        switch (step.kind) {
        case FrameStep::Frame:
            break;
        case FrameStep::Ended:
            if (const std::string what = checkEnd(g, program, pb); !what.empty())
                return playbackRefused(g, r, dataDigest, what);
            return PlaybackResult{PlaybackResult::Finished, g.turnCount, ""};
        case FrameStep::UsedUp:  // played to its end
            return PlaybackResult{PlaybackResult::Finished, g.turnCount, ""};
        case FrameStep::Left:  // the window was closed or the program told to end: the viewer left
            return PlaybackResult{PlaybackResult::Stopped, g.turnCount, ""};
        case FrameStep::Diverged:
            return playbackRefused(g, r, dataDigest, kNoLongerFollows + step.diverged);
        }
        if (trace) *trace << traceLine(g, program.shownMessage) << '\n';
        if (const std::string what = checkFrame(g, program, pb); !what.empty()) return playbackRefused(g, r, dataDigest, what);
        if (++frames == lastFrame) return PlaybackResult{PlaybackResult::Stopped, g.turnCount, ""};
    }
}

void showMismatch(Platform& p, const std::string& what, const std::string& path, const Recording& r,
                  uint64_t dataDigest, int32_t turn, const std::string& message) {
    std::fprintf(stderr, "delve: %s: %s\n", path.c_str(), message.c_str());
    std::string cause = likelyMismatchCause(r, dataDigest);
    if (!cause.empty()) cause[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(cause[0])));
    showStopMessage(p, what + ": turn " + std::to_string(turn) + " does not match",
                    (cause.empty() ? "the recording" : cause) + ". Escape leaves.");
}

void waitForEscape(Backend& window, const std::string& title) {
    window.setTitle(title);
    KeyQueue keys;
    for (;;) {
        try {
            window.pumpKeys(keys, KeyWait::Block);
        } catch (const RunEnded&) {
            return;  // closed, or a signal
        }
        while (hasKey(keys))
            if (takeKey(keys) == std::string(1, kEscape)) return;
    }
}

}  // namespace delve
