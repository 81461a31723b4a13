#include "kept/continue_game.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/system.h"
#include "recording/data_digest.h"
#include "recording/kept_picture.h"
#include "recording/resume_backend.h"
#include "kept/continue_picture.h"
#include "kept/playback.h"
#include "kept/recorded_run.h"
#include "kept/recording_files.h"
#include "walk/walk_backend.h"

namespace delve {

namespace fs = std::filesystem;

ContinueTarget::~ContinueTarget() {
    if (file) std::fclose(file);
}

int openToContinue(const std::string& dataRoot, const std::string& given, ContinueTarget& out, std::string& error) {
    if (given.empty()) {
        const std::string folder = textOf(pathOf(dataRoot) / "recordings");
        // The game played last, passing over starts closed on the title.
        for (const KeptRecording& r : keptRecordings(folder))
            if (r.kind == KeptKind::Game) {
                out.path = r.path;
                break;
            }
        if (out.path.empty()) {
            error = "no game to continue: " + folder + " holds no game played past the title screen";
            return 1;
        }
    } else {
        out.path = given;
    }
    std::error_code ec;
    if (!fs::exists(pathOf(out.path), ec)) {
        error = out.path + ": no such recording";
        return 1;
    }
    if (fs::is_regular_file(pathOf(out.path), ec)) {
        // Locked before it is read, so the program playing it cannot be
        // between two lines of a key batch while it is read.
        const LockResult lock = lockFile(out.lock, out.path, LockWait::DontWait);
        if (lock == LockResult::HeldElsewhere) {
            error = out.path + ": the game is open elsewhere";
            return 1;
        }
    }
    auto recording = loadRecording(out.path, error);
    if (!recording) {
        error = out.path + ": " + error;
        return 2;
    }
    out.recording = std::move(*recording);
    out.file = openFile(out.path, "r+b");
    if (!out.file || !out.lock.held()) {
        error = out.path + ": cannot be written, so the game cannot go on in it";
        return 1;
    }
    return 0;
}

bool withoutTheQuit(const Recording& r, int keysLeft, Recording& out, uint64_t& keep, std::string& extra) {
    const size_t lf = r.text.rfind("\nk ", r.bodyEnd);
    if (lf == std::string::npos || lf + 1 < r.bodyStart) return false;
    RecordingCursor cursor{&r, lf + 1};
    const auto batch = nextEvent(cursor);
    if (!batch || batch->kind != RecordedKind::Keys) return false;
    const int kept = static_cast<int>(batch->keys.size()) - keysLeft - 1;
    if (kept < 0) return false;
    keep = lf + 1;
    extra = kept == 0 ? "" : keysLine(batch->turn, {batch->keys.begin(), batch->keys.begin() + kept});
    std::string error;
    auto trimmed = parseRecording(r.text.substr(0, keep) + extra, error);
    if (!trimmed) return false;
    out = std::move(*trimmed);
    return true;
}

namespace {

// What playOn returns when a replay without drawing cannot stand: the game
// is replayed again with drawing, which decides.
constexpr int kReplayWithDrawing = -1;

// The continue itself; with `picture` the recording replays without drawing
// and the picture is put up at the hand-over.
int playOn(Backend& window, ContinueTarget& target, const std::string& dataRoot, uint64_t digest,
           const std::string& tracePath, const KeptPicture* picture) {
    Recording recording = target.recording;
    uint64_t keep = recording.bodyEnd;
    std::string extra;
    // At most twice: once more without the Escape when the recording quits.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::ofstream trace;
        if (!tracePath.empty()) trace.open(pathOf(tracePath), std::ios::binary | std::ios::trunc);
        WalkBackend walker(window);
        RecordingBackend rec(walker, target.file);
        rec.tellInTitle();
        ResumeBackend resume(rec, recording, target.file, keep, extra);
        resume.removeAtHandOver(keptPicturePath(target.path));
        // A new picture at the first wait for a key after the hand-over.
        rec.keepPictures(keptPicturePath(target.path), kPictureEveryBatches, true);
        Platform platform(resume);
        platform.files.root = dataRoot;
        platform.keepScreenAtEscape = true;
        resume.watchScreen(platform.screen);
        if (picture) {
            platform.screen.skipDrawing = true;
            resume.restorePicture(*picture, platform.screen);
        }
        auto game = std::make_unique<Game>(platform);
        ResumedRun run;
        try {
            run = runResumed(*game, rec, resume, recording, digest, trace.is_open() ? &trace : nullptr, &walker);
        } catch (const PictureDoesNotFit&) {
            return kReplayWithDrawing;
        }
        if (picture && run.kind == ResumedRun::Mismatch) return kReplayWithDrawing;
        rec.tellAtTheEnd(target.path);
        switch (run.kind) {
            case ResumedRun::Played:
                if (recording.dataDigest != digest)
                    std::fprintf(stderr, "delve: %s: recorded with other data files, yet every checkpoint matched\n",
                                 target.path.c_str());
                keepPictureForContinuing(target.path, *game, rec);
                return 0;
            case ResumedRun::Mismatch:
                resume.showPages();
                showMismatch(platform, "Cannot continue", target.path, recording, digest, run.turn, run.message);
                waitForEscape(window, "Cannot continue \xe2\x80\x94 turn " + std::to_string(run.turn) +
                                          " does not match the recording");
                return 3;
            case ResumedRun::EndedInRecording:
                break;
        }
        Recording trimmed;
        if (attempt > 0 || !withoutTheQuit(recording, run.keysLeft, trimmed, keep, extra)) break;
        recording = std::move(trimmed);
    }
    if (picture) return kReplayWithDrawing;
    std::fprintf(stderr, "delve: %s: the recording ends the game and cannot be continued\n", target.path.c_str());
    return 3;
}

}  // namespace

int continueGame(Backend& window, ContinueTarget& target, const std::string& dataRoot, const std::string& tracePath,
                 bool* usedKeptPicture) {
    const uint64_t digest = dataFolderDigest(dataRoot);
    if (usedKeptPicture) *usedKeptPicture = false;
    // Only a picture this program drew from these very data files can stand
    // in for drawing the whole recording again.
    const std::string version = programVersion();
    if (target.recording.program == version && target.recording.dataDigest == digest) {
        const auto picture = readKeptPicture(keptPicturePath(target.path));
        if (picture && picture->program == version) {
            const int status = playOn(window, target, dataRoot, digest, tracePath, &*picture);
            if (status != kReplayWithDrawing) {
                if (usedKeptPicture) *usedKeptPicture = true;
                return status;
            }
        }
    }
    return playOn(window, target, dataRoot, digest, tracePath, nullptr);
}

}  // namespace delve
