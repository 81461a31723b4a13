#include "kept/playback.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "game/trace.h"
#include "recording/data_digest.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "recording/checkpoint.h"
#include "flow/program.h"

namespace delve {

namespace {

PlaybackResult mismatch(const Game& g, const Recording& r, uint64_t dataDigest, const std::string& what) {
    PlaybackResult result;
    result.kind = PlaybackResult::Mismatch;
    result.turn = g.turnCount;
    result.message = "turn " + std::to_string(g.turnCount) + ": " + what;
    const std::string cause = likelyMismatchCause(r, dataDigest);
    if (!cause.empty()) result.message += " (" + cause + ")";
    return result;
}

bool matches(const Game& g, const RecordedEvent& checkpoint, const std::string& shownMessage) {
    return checkpoint.turn == g.turnCount && checkpoint.digest == checkpointDigest(g, shownMessage);
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

std::string likelyMismatchCause(const Recording& r, uint64_t dataDigest) {
    if (r.dataDigest != dataDigest) return "recorded with other data files";
    if (r.program != programVersion())
        return "recorded by delve " + r.program + ", this is delve " + programVersion();
    return "";
}

PlaybackResult playRecording(Game& g, PlaybackBackend& pb, const Recording& r, uint64_t dataDigest,
                             std::ostream* trace, int32_t lastFrame) {
    PlaybackSteps steps;
    for (;;) {
        if (auto result = stepRecording(g, pb, r, dataDigest, steps, trace, lastFrame, 0)) return *result;
    }
}

std::optional<PlaybackResult> stepRecording(Game& g, PlaybackBackend& pb, const Recording& r, uint64_t dataDigest,
                                            PlaybackSteps& steps, std::ostream* trace, int32_t lastFrame,
                                            int32_t frameBudget) {
    Program& program = steps.program;
    int32_t shown = 0;
    bool moved = false, levelMade = false;
    try {
        while (program.stage != Stage::Ended) {
            const Stage stage = program.stage;
            // A slice ends before a frame, so the next one starts on it. A
            // new level takes as long as many frames: it has a slice to itself.
            if (frameBudget > 0 && ((stage == Stage::Frame && (shown >= frameBudget || levelMade)) ||
                                    (stage == Stage::MakeLevel && moved)))
                return std::nullopt;
            advanceProgram(g, program);
            moved = true;
            levelMade = levelMade || stage == Stage::MakeLevel;
            if (stage != Stage::Frame) continue;
            shown++;
            steps.frames++;
            if (trace) *trace << traceLine(g, program.shownMessage) << '\n';
            if (isCheckpointTurn(g.turnCount)) {
                if (auto checkpoint = pb.takeCheckpoint()) {
                    if (!matches(g, *checkpoint, program.shownMessage))
                        return mismatch(g, r, dataDigest, "the game does not match the recording");
                } else if (!pb.usedUp()) {
                    return mismatch(g, r, dataDigest, "the recording has no checkpoint where the game has one");
                }
            }
            if (steps.frames == lastFrame) return PlaybackResult{PlaybackResult::Stopped, g.turnCount, ""};
        }
        if (auto checkpoint = pb.takeCheckpoint()) {
            if (!matches(g, *checkpoint, program.shownMessage))
                return mismatch(g, r, dataDigest, "the game's end does not match the recording");
        }
        if (!pb.usedUp()) return mismatch(g, r, dataDigest, "the game ended before the recording did");
    } catch (const EndRequested&) {
        // The window was closed or the program told to end: the viewer left.
        return PlaybackResult{PlaybackResult::Stopped, g.turnCount, ""};
    } catch (const RunEnded&) {
        // The recording is used up: it was played to its end.
    } catch (const RecordingDiverged& e) {
        return mismatch(g, r, dataDigest, std::string("the game no longer follows the recording: ") + e.what());
    }
    return PlaybackResult{PlaybackResult::Finished, g.turnCount, ""};
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
