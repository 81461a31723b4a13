// From nothing to the title screen: the platform and the game record made,
// the data files read, the definition overview shown and closed, the window
// opened and the title's lines drawn. Tearing down is not timed.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "flow/program.h"
#include "flow/startup.h"

namespace delve::bench {

namespace {

struct Run {
    Run() : backend("@"), platform(backend), game(platform) { platform.files.root = gameRoot(); }
    HeadlessBackend backend;
    Platform platform;
    Game game;
};

// The same, with the keys that start a game from the seed: the first closes
// the overview and, still queued, opens the seed prompt at the title; the
// blank after Enter closes the intro.
struct SeededRun {
    SeededRun() : backend(std::string("@") + kSeed + "\r "), platform(backend), game(platform) {
        platform.files.root = gameRoot();
    }
    HeadlessBackend backend;
    Platform platform;
    Game game;
};

void BM_StartUpToTitle(benchmark::State& state) {
    uint64_t filesRead = 0;
    for (auto _ : state) {
        auto run = std::make_unique<Run>();
        startUp(run->game);
        showTitleScreen(run->game);
        filesRead += run->platform.files.filesRead;
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
    state.counters["files_read"] =
        benchmark::Counter(static_cast<double>(filesRead), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartUpToTitle)->Unit(benchmark::kMillisecond);

// From nothing to the first level on the screen: start-up and title as
// above, the seed typed, the party joined, the intro closed, the first level
// made and its first frame drawn and shown.
void BM_StartUpToFirstLevel(benchmark::State& state) {
    uint64_t filesRead = 0;
    for (auto _ : state) {
        auto run = std::make_unique<SeededRun>();
        Program program;
        while (program.stage != Stage::Key && program.stage != Stage::Ended) advanceProgram(run->game, program);
        filesRead += run->platform.files.filesRead;
        state.PauseTiming();
        if (program.stage != Stage::Key) state.SkipWithError("the game ended before its first level");
        run.reset();
        state.ResumeTiming();
    }
    state.counters["files_read"] =
        benchmark::Counter(static_cast<double>(filesRead), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartUpToFirstLevel)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace delve::bench
