#include "watch/watched_run.h"

#include "kept/playback.h"
#include "platform/draw_notes.h"
#include "recording/checkpoint.h"

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
    if (why.empty()) return;
    run.mismatch = "turn " + std::to_string(run.game->turnCount) + ": " + why;
    const std::string cause = likelyMismatchCause(run.recording, run.dataDigest);
    if (!cause.empty()) run.mismatch += " (" + cause + ")";
}

// The checkpoint after a frame, as playback checks it; without drawing only
// its turn can be checked (the digest covers the shown page).
bool checkpointHolds(WatchedRun& run) {
    const Game& g = *run.game;
    if (!isCheckpointTurn(g.turnCount)) return true;
    const auto checkpoint = run.playback.takeCheckpoint();
    if (!checkpoint) return run.playback.usedUp();
    if (checkpoint->turn != g.turnCount) return false;
    Screen& screen = run.platform.screen;
    if (screen.skipDrawing) return true;
    // Noted rather than drawn: the shown page is composed from the notes to
    // be checked, unless they cannot tell (then, as without drawing, only
    // the turn is checked).
    if (screen.notes && (screen.notes->quiet || !composePage(*screen.notes, -1, screen, screen.visiblePage)))
        return true;
    return checkpoint->digest == checkpointDigest(g, run.program.shownMessage);
}

}  // namespace

bool nextTurn(WatchedRun& run) {
    if (run.ended) return false;
    run.newLevel = false;
    try {
        for (;;) {
            const Stage stage = run.program.stage;
            if (stage == Stage::Ended) {
                stop(run, "");
                return false;
            }
            advanceProgram(*run.game, run.program);
            if (stage == Stage::MakeLevel) run.newLevel = true;
            if (stage != Stage::Frame) continue;
            if (!checkpointHolds(run)) {
                stop(run, "the game does not match the recording");
                return false;
            }
            ++run.turn;
            return true;
        }
    } catch (const RecordingDiverged& e) {
        stop(run, std::string("the game no longer follows the recording: ") + e.what());
    } catch (const RunEnded&) {
        stop(run, "");  // the recording is used up
    }
    return false;
}

RunState keepState(const WatchedRun& run) {
    RunState s;
    s.turn = run.turn;
    s.game = std::make_unique<Game>(*run.game);
    s.program = run.program;
    s.place = run.playback.place();
    s.keys = run.platform.keys;
    s.rng = run.platform.rng;
    s.memo = std::make_shared<Files::Memo>(*run.platform.files.memo);
    const Screen& screen = run.platform.screen;
    s.width = screen.width, s.height = screen.height;
    s.workPage = screen.workPage, s.visiblePage = screen.visiblePage;
    s.cursorRow = screen.cursorRow, s.cursorColumn = screen.cursorColumn;
    s.ended = run.ended;
    s.mismatch = run.mismatch;
    return s;
}

void putState(WatchedRun& run, const RunState& s) {
    run.turn = s.turn;
    run.game = std::make_unique<Game>(*s.game);
    run.program = s.program;
    run.playback.moveTo(s.place);
    run.platform.keys = s.keys;
    run.platform.rng = s.rng;
    run.platform.files.memo = std::make_shared<Files::Memo>(*s.memo);
    Screen& screen = run.platform.screen;
    screen.width = s.width, screen.height = s.height;
    screen.workPage = s.workPage, screen.visiblePage = s.visiblePage;
    screen.cursorRow = s.cursorRow, screen.cursorColumn = s.cursorColumn;
    run.ended = s.ended;
    run.mismatch = s.mismatch;
    run.newLevel = false;
}

}  // namespace delve
