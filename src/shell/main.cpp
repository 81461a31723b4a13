// Delve: the game in a real window, run from its own folder (res/ and tiles/
// beside the program). Every game is recorded under recordings/.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/recording_format.h"
#include "platform/sdl/sdl_backend.h"
#include "shell/playback.h"
#include "shell/recorded_run.h"

int main(int argc, char** argv) {
    // Recording options: --play FILE watches a recording, --no-record plays
    // without keeping one. (To join the program's option table.)
    std::string playPath;
    delve::WindowRunOptions run;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-record") {
            run.record = false;
        } else if (arg == "--play" && i + 1 < argc) {
            playPath = argv[++i];
        } else {
            std::fprintf(stderr, "delve: unknown option %s\nusage: delve [--play FILE] [--no-record]\n", arg.c_str());
            return 2;
        }
    }
    // A trace of every frame, as delve-replay writes it: for the tests that
    // compare a window run with its recording.
    if (const char* trace = std::getenv("DELVE_TRACE")) run.tracePath = trace;

    std::optional<delve::Recording> recording;
    if (!playPath.empty()) {
        std::string error;
        recording = delve::loadRecording(playPath, error);
        if (!recording) {
            std::fprintf(stderr, "delve: %s: %s\n", playPath.c_str(), error.c_str());
            return 2;
        }
    }

    std::unique_ptr<delve::Backend> backend = delve::createSdlBackend();
    if (!backend) {
        std::fprintf(stderr, "delve: cannot open a window (no display?)\n");
        return 1;
    }
    if (recording) return delve::playInWindow(*backend, *recording, playPath, run.dataRoot);
    return delve::runWindowGame(*backend, run);
}
