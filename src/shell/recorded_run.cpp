#include "shell/recorded_run.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "game/trace.h"
#include "recording/data_digest.h"
#include "recording/recording_format.h"
#include "shell/checkpoint.h"
#include "shell/program.h"

namespace delve {

int runRecorded(Game& g, RecordingBackend& rec, RecordingFile* file, std::ostream* trace, WalkBackend* walker) {
    Program program;
    if (walker) walker->setGame(&g);
    try {
        while (program.stage != Stage::Ended) {
            const Stage stage = program.stage;
            if (walker) walker->setTurnKeyNext(stage == Stage::Key);
            advanceProgram(g, program);
            if (stage == Stage::Frame) rec.messageShown(program.shownMessage);
            rec.setTurn(g.turnCount);
            if (stage == Stage::Title && file) nameRecordingBySeed(*file, g.seed);
            if (stage != Stage::Frame) continue;
            if (trace) *trace << traceLine(g, program.shownMessage) << '\n' << std::flush;
            if (isCheckpointTurn(g.turnCount))
                rec.write(checkpointLine(g.turnCount, checkpointDigest(g, program.shownMessage)));
        }
        // The end is checked too, so even a short game is checked once.
        rec.write(checkpointLine(g.turnCount, checkpointDigest(g, program.shownMessage)));
    } catch (const RunEnded&) {
        // The backend has no more keys: the run ends as if the player left.
    }
    return 0;
}

int runWindowGame(Backend& window, const WindowRunOptions& options) {
    RecordingFile file;
    const bool recording = options.record && createRecordingFile(options.dataRoot, file);
    if (recording) pruneRecordings(file.folder, kRecordingsKept);
    else if (options.record)
        std::fprintf(stderr, "delve: cannot write recordings into %s; this game is not recorded\n",
                     file.folder.c_str());
    // Clicks turn into keys below the recording, which keeps them as keys.
    WalkBackend walker(window);
    RecordingBackend rec(walker, recording ? file.file : nullptr);
    if (recording) rec.write(recordingHeader(programVersion(), dataFolderDigest(options.dataRoot)));

    std::ofstream traceFile;
    if (!options.tracePath.empty()) traceFile.open(options.tracePath, std::ios::binary | std::ios::trunc);
    Platform platform(rec);
    platform.files.root = options.dataRoot;
    auto game = std::make_unique<Game>(platform);
    const int status = runRecorded(*game, rec, recording ? &file : nullptr, traceFile ? &traceFile : nullptr, &walker);
    closeRecordingFile(file);
    return status;
}

}  // namespace delve
