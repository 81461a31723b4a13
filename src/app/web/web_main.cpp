// Delve in a browser page (the WebAssembly build): the same program as the
// window, on the web backend, with res/ and tiles/ preloaded into the
// in-memory file system. Clicks and taps on the map walk as in the window.
//
// The page chooses what runs, as the window's options do:
//   --data DIR        plays a player's own data files from DIR (web_own_data.cpp)
//   --record FILE     a new game, recorded into FILE (a new file)
//   --continue FILE   plays on the game recorded in FILE, recorded on into it
//   --play FILE       watches the recording FILE
//   --turn N          ... from its turn N (a shared link's), 1 up to the
//                     recording's last; anything but a whole number is turn 1
// A recording is handed to the page as it grows, which keeps it in the
// browser (platform/web/wasm/kept_backend.h).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/web/wasm/game_folder.h"
#include "kept/wasm/kept_backend.h"
#include "platform/web/wasm/web_backend.h"
#include "recording/data_digest.h"
#include "recording/kept_picture.h"
#include "recording/recording_backend.h"
#include "recording/recording_format.h"
#include "kept/continue_game.h"
#include "kept/playback.h"
#include "kept/recorded_run.h"
#include "walk/walk_backend.h"
#include "platform/forwarding_backend.h"
#include "watch/timeline_json.h"
#include "watch/watch_window.h"

#include <emscripten/emscripten.h>

// The page starts keeping a new game: the one played on from a watched turn
// (web/js/watch-bar.js).
EM_JS(void, pagePlayingOn, (), {
    if (typeof globalThis.delvePlayingOn === 'function') globalThis.delvePlayingOn();
});

namespace {

// What a watcher's notes, states and kept moments may take in the page: a
// 10,000-turn game's notes whole and its states 256 turns apart (so that a
// far seek notes no span longer than that in one go), within the page's
// memory ceiling.
constexpr size_t kWatchMemoryBytes = size_t{11} << 20;

struct PageRun {
    std::string root = delve::kWebGameRoot;
    std::string record;
    std::string continueFrom;
    std::string play;
    int32_t turn = 1;  // the turn watching starts at, for the watcher to take
};

// A turn from the page's arguments: a whole number of at most nine digits
// (any recording's turns fit), otherwise 1.
int32_t turnArgument(const std::string& text) {
    if (text.empty() || text.size() > 9) return 1;
    int32_t turn = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 1;
        turn = turn * 10 + (c - '0');
    }
    return turn < 1 ? 1 : turn;
}

PageRun pageRun(int argc, char** argv) {
    PageRun run;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        std::string* value = option == "--data"       ? &run.root
                             : option == "--record"   ? &run.record
                             : option == "--continue" ? &run.continueFrom
                             : option == "--play"     ? &run.play
                                                      : nullptr;
        if (value) *value = argv[i + 1];
        if (option == "--turn") run.turn = turnArgument(argv[i + 1]);
    }
    return run;
}

int playNewGame(delve::Backend& page, const PageRun& run) {
    delve::KeptBackend kept(page);
    std::FILE* file = run.record.empty() ? nullptr : std::fopen(run.record.c_str(), "wb");
    // The window's stages and walker; without a file the game is not kept.
    delve::WalkBackend walker(kept);
    delve::RecordingBackend rec(walker, file);
    if (file) {
        rec.write(delve::recordingHeader(delve::programVersion(),
                                         delve::dataFolderDigest(run.root, [&page] { delve::breathe(page); })));
        kept.keep(file, 0);
        // A page is seldom closed cleanly: the browser drops it, so only a
        // picture kept along the way spares a continue drawing everything.
        rec.keepPictures(delve::keptPicturePath(run.record));
        kept.keepPictures(delve::keptPicturePath(run.record));
    } else if (!run.record.empty()) {
        delve::tellPage("This game cannot be kept: the page could not write its recording");
    }
    delve::Platform platform(rec);
    platform.files.root = run.root;
    auto game = std::make_unique<delve::Game>(platform);
    delve::breathe(page);
    const int status = delve::runRecorded(*game, rec, nullptr, nullptr, &walker);
    kept.handOverNewBytes();
    if (file) std::fclose(file);
    return status;
}

// `alreadyKept`: the bytes of the recording the page holds already (all of
// a game it handed over; none of a game just played on from a watched one).
int continueKeptGame(delve::Backend& page, const PageRun& run, bool pageHoldsIt = true) {
    delve::ContinueTarget target;
    std::string error;
    if (const int status = delve::openToContinue(run.root, run.continueFrom, target, error); status != 0) {
        std::fprintf(stderr, "delve: %s\n", error.c_str());
        delve::tellPage("This game cannot be continued: " + error);
        return status;
    }
    delve::KeptBackend kept(page);
    // The page wrote the file from what it keeps: it holds all of it.
    kept.keep(target.file, pageHoldsIt ? target.recording.text.size() : 0);
    kept.keepPictures(delve::keptPicturePath(target.path));
    const int status = delve::continueGame(kept, target, run.root);
    kept.handOverNewBytes();
    if (status == 3)
        delve::tellPage("This game cannot be continued: its recording does not match the game here, or ends it");
    return status;
}

// The page in front of a watcher: the watch bar is told of each timeline
// shown, in the JSON the watcher writes for it.
class WatchBarPage final : public delve::ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;
    void showTimeline(const delve::TimelineStrip& strip) override {
        ForwardingBackend::showTimeline(strip);
        delve::showWatchBar(delve::timelineJson(strip));
    }
};

int watchRecording(delve::Backend& page, const PageRun& run) {
    std::string error;
    const auto recording = delve::loadRecording(run.play, error);
    if (!recording) {
        std::fprintf(stderr, "delve: %s: %s\n", run.play.c_str(), error.c_str());
        delve::tellPage("This recording cannot be watched: " + error);
        return 2;
    }
    delve::WatchWindowOptions options;
    options.path = run.play;
    options.dataRoot = run.root;
    options.startTurn = run.turn;
    options.startPaused = run.turn > 1;  // a shared link shows its turn first
    // A phone's page has little memory to spare: the watcher keeps fewer
    // moments there, and a seek draws a few more turns.
    options.memoryBytes = kWatchMemoryBytes;
    std::string playOnPath;
    options.playOnPath = &playOnPath;
    options.playOnFile = run.record;
    // Opening a long recording replays it whole: the page stays answering.
    options.betweenTurns = [&page] { delve::breathe(page); };
    WatchBarPage bar(page);
    const int status = delve::watchInWindow(bar, *recording, options);
    if (playOnPath.empty()) return status;
    // Played on from a turn: a new game, kept by the page as any new one is,
    // from its first byte on.
    pagePlayingOn();
    bar.showTimeline({});
    PageRun playOn = run;
    playOn.continueFrom = playOnPath;
    return continueKeptGame(page, playOn, false);
}

}  // namespace

int main(int argc, char** argv) {
    const PageRun run = pageRun(argc, argv);
    std::unique_ptr<delve::Backend> backend = delve::createWebBackend();
    delve::makeFoldersWritable(run.root);
    // The start is long work before the first picture: the page has its
    // turns along the way (breathe), so that a phone's page stays answering.
    delve::breathe(*backend);
    const int status = !run.play.empty()           ? watchRecording(*backend, run)
                       : !run.continueFrom.empty() ? continueKeptGame(*backend, run)
                                                   : playNewGame(*backend, run);
    delve::announceProgramEnded();
    return status;
}
