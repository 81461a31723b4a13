// delve-bench: the game's benchmarks on a private copy of the staged data.
//   delve-bench [--game-dir DIR] [benchmark options]
//   delve-bench [--game-dir DIR] --probe turn|floor N
// DIR is a staged game folder (res/ and tiles/); the build's is the default.
// --probe plays the turn benchmark's turn (or its floor) N times after its
// setup and nothing else, for strace to count the system calls of N turns.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string source = DELVE_GAME_DIR;
    std::string probe;
    int probeCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--game-dir" && i + 1 < argc) {
            source = argv[++i];
        } else if (arg == "--probe" && i + 2 < argc) {
            probe = argv[++i];
            probeCount = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "delve-bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    for (const char* folder : {"res", "tiles"}) {
        if (!fs::is_directory(fs::path(source) / folder)) {
            std::fprintf(stderr, "delve-bench: %s has no %s folder (build the stage target)\n", source.c_str(),
                         folder);
            return 2;
        }
    }

    // A private copy: the game rewrites res/encounter.txt at every frame.
    std::string root = (fs::temp_directory_path() / "delve-bench-XXXXXX").string();
    if (!::mkdtemp(root.data())) {
        std::perror("delve-bench: temporary folder");
        return 1;
    }
    std::error_code ec;
    for (const char* folder : {"res", "tiles"})
        fs::copy(fs::path(source) / folder, fs::path(root) / folder, fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "delve-bench: cannot copy the game data: %s\n", ec.message().c_str());
        fs::remove_all(root, ec);
        return 1;
    }
    delve::bench::setGameRoot(root);
    benchmark::AddCustomContext("game_dir", source);
    benchmark::AddCustomContext("delve_build_type", DELVE_BUILD_TYPE);

    int status = 0;
    try {
        if (probe == "turn" || probe == "floor")
            delve::bench::probeTurns(probe == "floor", probeCount);
        else
            benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "delve-bench: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    fs::remove_all(root, ec);
    return status;
}
