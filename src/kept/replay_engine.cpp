#include "kept/replay_engine.h"

#include "platform/draw_notes.h"
#include "recording/checkpoint.h"

namespace delve {

std::string likelyMismatchCause(const Recording& r, uint64_t dataDigest) {
    if (r.dataDigest != dataDigest) return "recorded with other data files";
    if (r.program != programVersion())
        return "recorded by delve " + r.program + ", this is delve " + programVersion();
    return "";
}

std::string refusalLine(int32_t turn, const std::string& what, const Recording* r, uint64_t dataDigest) {
    std::string line = "turn " + std::to_string(turn) + ": " + what;
    const std::string cause = r ? likelyMismatchCause(*r, dataDigest) : "";
    if (!cause.empty()) line += " (" + cause + ")";
    return line;
}

FrameStep nextFrame(Game& g, Program& program, bool stopBeforeLevel) {
    FrameStep step;
    try {
        for (bool moved = false; program.stage != Stage::Ended; moved = true) {
            const Stage stage = program.stage;
            if (stopBeforeLevel && moved && stage == Stage::MakeLevel) {
                step.levelNext = true;
                return step;
            }
            advanceProgram(g, program);
            if (stage == Stage::MakeLevel) step.newLevel = true;
            if (stage == Stage::Frame) return step;
        }
        step.kind = FrameStep::Ended;
    } catch (const EndRequested&) {
        step.kind = FrameStep::Left;
    } catch (const RunEnded&) {
        step.kind = FrameStep::UsedUp;
    } catch (const RecordingDiverged& e) {
        step.kind = FrameStep::Diverged;
        step.diverged = e.what();
    }
    return step;
}

namespace {

bool checkpointMatches(const Game& g, const Program& program, const RecordedEvent& checkpoint) {
    if (checkpoint.turn != g.turnCount) return false;
    // Without drawing there are no pages to digest: a replay like that
    // stands only on what else proves it (a kept picture of this very text).
    Screen& screen = g.io.screen;
    if (screen.skipDrawing) return true;
    // Noted rather than drawn: the shown page is composed from the notes to
    // be checked, unless they cannot tell (then, as without drawing, only
    // the turn is checked). Notes of a span stand on blocks not yet told;
    // the watcher's noting from the start checks those turns' pages.
    if (screen.notes && (screen.notes->quiet || screen.notes->symbolic ||
                         !composePage(*screen.notes, -1, screen, screen.visiblePage)))
        return true;
    return checkpoint.digest == checkpointDigest(g, program.shownMessage);
}

}  // namespace

std::string checkFrame(const Game& g, const Program& program, PlaybackBackend& pb, bool* usedUp) {
    if (usedUp) *usedUp = false;
    if (!isCheckpointTurn(g.turnCount)) return "";
    if (const auto checkpoint = pb.takeCheckpoint())
        return checkpointMatches(g, program, *checkpoint) ? "" : kGameDoesNotMatch;
    if (!pb.usedUp()) return kNoCheckpointHere;
    if (usedUp) *usedUp = true;
    return "";
}

std::string checkEnd(const Game& g, const Program& program, PlaybackBackend& pb) {
    if (const auto checkpoint = pb.takeCheckpoint(); checkpoint && !checkpointMatches(g, program, *checkpoint))
        return kEndDoesNotMatch;
    if (!pb.usedUp()) return kEndedEarly;
    return "";
}

ReplaySnapshot takeSnapshot(const Game& g, const Program& program, const PlaybackBackend& pb) {
    ReplaySnapshot s;
    s.game = std::make_unique<Game>(g);
    s.program = program;
    s.place = pb.place();
    const Platform& platform = g.io;
    s.keys = platform.keys;
    s.rng = platform.rng;
    s.memo = std::make_shared<Files::Memo>(*platform.files.memo);
    const Screen& screen = platform.screen;
    s.width = screen.width, s.height = screen.height;
    s.workPage = screen.workPage, s.visiblePage = screen.visiblePage;
    s.cursorRow = screen.cursorRow, s.cursorColumn = screen.cursorColumn;
    return s;
}

void putSnapshot(const ReplaySnapshot& s, std::unique_ptr<Game>& g, Program& program, Platform& platform,
                 PlaybackBackend& pb) {
    g = std::make_unique<Game>(*s.game, platform);
    program = s.program;
    pb.moveTo(s.place);
    platform.keys = s.keys;
    platform.rng = s.rng;
    platform.files.memo = std::make_shared<Files::Memo>(*s.memo);
    Screen& screen = platform.screen;
    screen.width = s.width, screen.height = s.height;
    screen.workPage = s.workPage, screen.visiblePage = s.visiblePage;
    screen.cursorRow = s.cursorRow, screen.cursorColumn = s.cursorColumn;
}

}  // namespace delve
