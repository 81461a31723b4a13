// From nothing to the title screen: the platform and the game record made,
// the data files read, the definition overview shown and closed, the window
// opened and the title's lines drawn. Tearing down is not timed.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "shell/startup.h"

namespace delve::bench {

namespace {

struct Run {
    Run() : backend("@"), platform(backend), game(platform) { platform.files.root = gameRoot(); }
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

}  // namespace

}  // namespace delve::bench
