#include "kept/recorded_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "game/trace.h"
#include "platform/system.h"
#include "recording/data_digest.h"
#include "recording/kept_picture.h"
#include "recording/recording_format.h"
#include "recording/checkpoint.h"
#include "kept/continue_picture.h"
#include "kept/replay_engine.h"
#include "flow/program.h"

namespace delve {

namespace {

// The game's recording file, made as at every start: the folder is pruned
// once the new file is there.
bool makeRecordingFile(const std::string& dataRoot, RecordingFile& file) {
    if (!createRecordingFile(dataRoot, file)) return false;
    pruneRecordings(file.folder, kRecordingsKept);
    return true;
}

// A file that could not be made at the start is tried again as the game
// goes on; once made it takes the whole text held so far, under the name
// the game would have given it by now.
void retryRecordingFile(Game& g, RecordingBackend& rec, RecordingFile& file, bool seeded) {
    if (file.file || !rec.waitingForFile() || !makeRecordingFile(g.io.files.root, file)) return;
    if (seeded) nameRecordingBySeed(file, g.seed);
    rec.attachFile(file.file);
    rec.keepPictures(keptPicturePath(file.path));
}

// One run loop for a new game and a continued one; `resume` is set for the
// latter. Comments and checkpoints are written only once the player plays.
ResumedRun runStages(Game& g, RecordingBackend& rec, RecordingFile* file, std::ostream* trace, WalkBackend* walker,
                     ResumeBackend* resume, const Recording* recording, uint64_t dataDigest) {
    Program program;
    ResumedRun result;
    const auto replaying = [&] { return resume && resume->replaying(); };
    const auto mismatch = [&](const std::string& what) {
        result.kind = ResumedRun::Mismatch;
        result.turn = g.turnCount;
        result.message = refusalLine(g.turnCount, what, recording, dataDigest);
        return result;
    };
    bool seeded = false;
    if (walker) walker->setGame(&g);
    try {
        while (program.stage != Stage::Ended) {
            if (file) retryRecordingFile(g, rec, *file, seeded);
            const Stage stage = program.stage;
            if (walker) walker->setTurnKeyNext(stage == Stage::Key);
            advanceProgram(g, program);
            if (stage == Stage::Frame) (resume ? static_cast<Backend&>(*resume) : rec).messageShown(program.shownMessage);
            rec.setTurn(g.turnCount);
            if (stage == Stage::Title && program.stage != Stage::Ended && !replaying()) {
                if (file) {
                    seeded = true;
                    nameRecordingBySeed(*file, g.seed);
                    rec.movePictures(keptPicturePath(file->path));
                }
                rec.write("# seed " + seedText(g.seed) + "\n");
            }
            if (stage == Stage::MakeLevel && !replaying())
                rec.write("# level " + std::to_string(g.levelNumber) + "\n");
            if (stage != Stage::Frame) continue;
            if (trace) *trace << traceLine(g, program.shownMessage) << '\n' << std::flush;
            if (!isCheckpointTurn(g.turnCount)) continue;
            if (replaying()) {
                bool cut = false;
                if (const std::string what = checkFrame(g, program, resume->playback(), &cut); !what.empty())
                    return mismatch(what);
                if (!cut) continue;
                // The file was cut just before this checkpoint: the player
                // plays from here, and the checkpoint is written as usual.
                resume->handOver();
            }
            rec.write(checkpointLine(g.turnCount, checkpointDigest(g, program.shownMessage)));
        }
        if (replaying()) {
            // The recording ends the game itself: its last batch holds the
            // Escape that quit it. The end must still match.
            if (const std::string what = checkEnd(g, program, resume->playback()); !what.empty())
                return mismatch(what);
            result.kind = ResumedRun::EndedInRecording;
            result.turn = g.turnCount;
            result.keysLeft = keyCount(g.io.keys);
            return result;
        }
        // The end is checked too, so even a short game is checked once.
        rec.write(checkpointLine(g.turnCount, checkpointDigest(g, program.shownMessage)));
        rec.write("# end quit\n");
    } catch (const EndRequested&) {
        // The close button or a signal: the run ends as if the player left.
        if (!replaying()) rec.write("# end closed\n");
    } catch (const RunEnded&) {
        // The backend has no more keys: the run ends as if the player left.
    } catch (const RecordingDiverged& e) {
        return mismatch(kNoLongerFollows + std::string(e.what()));
    }
    // A last chance for a file that could not be made, with the end in it.
    if (file) retryRecordingFile(g, rec, *file, seeded);
    result.turn = g.turnCount;
    return result;
}

}  // namespace

int runRecorded(Game& g, RecordingBackend& rec, RecordingFile* file, std::ostream* trace, WalkBackend* walker) {
    runStages(g, rec, file, trace, walker, nullptr, nullptr, 0);
    return 0;
}

ResumedRun runResumed(Game& g, RecordingBackend& rec, ResumeBackend& resume, const Recording& recording,
                      uint64_t dataDigest, std::ostream* trace, WalkBackend* walker) {
    return runStages(g, rec, nullptr, trace, walker, &resume, &recording, dataDigest);
}

int runWindowGame(Backend& window, const WindowRunOptions& options) {
    RecordingFile file;
    const bool made = options.record && makeRecordingFile(options.dataRoot, file);
    const int error = errno;
    // Clicks turn into keys below the recording, which keeps them as keys.
    WalkBackend walker(window);
    RecordingBackend rec(walker, made ? file.file : nullptr);
    if (options.record) {
        rec.tellInTitle();
        if (!made) {
            std::fprintf(stderr, "delve: cannot make a recording in %s: %s\n", file.folder.c_str(),
                         std::strerror(error));
            // The game is held in memory and kept once a file can be made.
            rec.holdUntilFile(error == ENOSPC ? "the disk is full" : "recordings/ cannot be written");
        }
        rec.write(recordingHeader(programVersion(), dataFolderDigest(options.dataRoot)));
        if (made) rec.keepPictures(keptPicturePath(file.path));
    }

    std::ofstream traceFile;
    if (!options.tracePath.empty()) traceFile.open(pathOf(options.tracePath), std::ios::binary | std::ios::trunc);
    Platform platform(rec);
    platform.files.root = options.dataRoot;
    platform.keepScreenAtEscape = options.record;
    auto game = std::make_unique<Game>(platform);
    const int status = runRecorded(*game, rec, options.record ? &file : nullptr,
                                   traceFile.is_open() ? &traceFile : nullptr, &walker);
    if (file.file) keepPictureForContinuing(file.path, *game, rec);
    rec.tellAtTheEnd(file.file ? file.path : file.folder);
    closeRecordingFile(file);
    return status;
}

}  // namespace delve
