// delve-replay: the whole game on the headless backend, driven by a key
// script or a recording, writing a trace of every frame and a screenshot of
// the end. A recording is checked as it plays: exit 3 at the first turn that
// does not match it.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "delve_version.h"
#include "game/trace.h"
#include "options.h"
#include "platform/headless/headless_backend.h"
#include "platform/png/png_writer.h"
#include "platform/system.h"
#include "recording/data_digest.h"
#include "recording/playback_backend.h"
#include "kept/playback.h"
#include "flow/program.h"

namespace {

constexpr const char* kUsage =
    "usage: delve-replay [--dir DIR] [--seed N] [--keys TEXT | --keys-file FILE] [--trace FILE] "
    "[--screenshot FILE.png] [--timer SECONDS]\n"
    "       delve-replay [--dir DIR] --recording FILE [--turn N] [--trace FILE] [--screenshot FILE.png]";

}  // namespace

int main(int argc, char** given) {
    delve::useUtf8Console();
    const delve::ProgramArguments args(argc, given);
    argc = args.argc;
    char** argv = args.argv;
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("%s\n\nRuns the game headless in DIR (default: the current folder) on a key script\n"
                    "(\\e Escape, \\r Enter, \\\\ a backslash, \\xHH any byte), writing one JSON line\n"
                    "per frame and a PNG of the last visible page. --seed N types @N and Enter first.\n"
                    "--turn N stops a recording once its Nth frame (counted from its start, as the\n"
                    "window's watcher counts turns) is shown: the picture the watcher shows there.\n",
                    kUsage);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("delve-replay %s\n", DELVE_VERSION);
        return 0;
    }
    std::string error;
    auto options = delve::parseReplayOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "delve-replay: %s\n%s\n", error.c_str(), kUsage);
        return 2;
    }
    delve::FileStatus st;
    if (!delve::statusOf(options->dir, st) || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "delve-replay: %s: not a folder\n", options->dir.c_str());
        return 2;
    }
    // A recording is read and checked whole before anything is written.
    std::optional<delve::Recording> recording;
    if (!options->recordingPath.empty()) {
        recording = delve::loadRecording(options->recordingPath, error);
        if (!recording) {
            std::fprintf(stderr, "delve-replay: %s: %s\n", options->recordingPath.c_str(), error.c_str());
            return 2;
        }
    }
    std::ofstream traceFile;
    std::ostream* trace = nullptr;
    if (options->tracePath == "-") {
        trace = &std::cout;
    } else if (!options->tracePath.empty()) {
        traceFile.open(delve::pathOf(options->tracePath), std::ios::binary | std::ios::trunc);
        if (!traceFile) {
            std::fprintf(stderr, "delve-replay: %s: cannot write the trace\n", options->tracePath.c_str());
            return 2;
        }
        trace = &traceFile;
    }

    delve::HeadlessBackend backend(options->keys, options->timer);
    std::unique_ptr<delve::PlaybackBackend> playback;
    if (recording) playback = std::make_unique<delve::PlaybackBackend>(backend, *recording);
    delve::Platform platform(playback ? static_cast<delve::Backend&>(*playback) : backend);
    platform.files.root = options->dir;
    auto game = std::make_unique<delve::Game>(platform);
    int status = 0;
    if (playback) {
        const uint64_t digest = delve::dataFolderDigest(options->dir);
        const delve::PlaybackResult result =
            delve::playRecording(*game, *playback, *recording, digest, trace, options->turn);
        if (options->turn > 0 && result.kind == delve::PlaybackResult::Finished) {
            std::fprintf(stderr, "delve-replay: %s: the recording ends before turn %d\n",
                         options->recordingPath.c_str(), options->turn);
            status = 2;
        } else if (result.kind == delve::PlaybackResult::Mismatch) {
            std::fprintf(stderr, "delve-replay: %s: %s\n", options->recordingPath.c_str(), result.message.c_str());
            status = 3;
        } else if (recording->dataDigest != digest) {
            std::fprintf(stderr, "delve-replay: %s: recorded with other data files, yet every checkpoint matched\n",
                         options->recordingPath.c_str());
        }
    } else {
        delve::Program program;
        try {
            while (program.stage != delve::Stage::Ended) {
                const bool frame = program.stage == delve::Stage::Frame;
                delve::advanceProgram(*game, program);
                if (frame && trace) *trace << delve::traceLine(*game, program.shownMessage) << '\n';
            }
        } catch (const delve::RunEnded&) {
            // The script is used up: the run ends here, as planned.
        }
    }
    if (trace) trace->flush();

    if (!options->screenshotPath.empty()) {
        delve::Screen& screen = platform.screen;
        const int page = screen.visiblePage;
        if (screen.pages[page].empty() ||
            !delve::writePng(options->screenshotPath, screen.pages[page].data(), screen.width, screen.height)) {
            std::fprintf(stderr, "delve-replay: %s: cannot write the screenshot\n", options->screenshotPath.c_str());
            return 2;
        }
    }
    return status;
}
