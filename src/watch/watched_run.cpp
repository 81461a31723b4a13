#include "watch/watched_run.h"

#include "kept/replay_engine.h"

namespace delve {

WatchedRun::WatchedRun(const Recording& r, const std::string& dataRoot, uint64_t digest, bool drawn)
    : recording(r), dataDigest(digest), quiet(""), playback(quiet, r), platform(playback) {
    platform.files.root = dataRoot;
    platform.files.memo = std::make_shared<Files::Memo>();
    platform.screen.skipDrawing = !drawn;
    game = std::make_unique<Game>(platform);
}

namespace {

void stop(WatchedRun& run, const std::string& why) {
    run.ended = true;
    if (!why.empty()) run.mismatch = refusalLine(run.game->turnCount, why, &run.recording, run.dataDigest);
}

}  // namespace

bool nextTurn(WatchedRun& run) {
    if (run.ended) return false;
    const FrameStep step = nextFrame(*run.game, run.program);
    run.newLevel = step.newLevel;
    switch (step.kind) {
    case FrameStep::Frame:
        break;
    case FrameStep::Ended:
        stop(run, checkEnd(*run.game, run.program, run.playback));
        return false;
    case FrameStep::UsedUp:  // the recording is used up
    case FrameStep::Left:
        stop(run, "");
        return false;
    case FrameStep::Diverged:
        stop(run, kNoLongerFollows + step.diverged);
        return false;
    }
    if (const std::string what = checkFrame(*run.game, run.program, run.playback); !what.empty()) {
        stop(run, what);
        return false;
    }
    ++run.turn;
    return true;
}

RunState keepState(const WatchedRun& run) {
    RunState s;
    s.turn = run.turn;
    s.replay = takeSnapshot(*run.game, run.program, run.playback);
    s.ended = run.ended;
    s.mismatch = run.mismatch;
    return s;
}

void putState(WatchedRun& run, const RunState& s) {
    run.turn = s.turn;
    putSnapshot(s.replay, run.game, run.program, run.platform, run.playback);
    run.ended = s.ended;
    run.mismatch = s.mismatch;
    run.newLevel = false;
}

}  // namespace delve
