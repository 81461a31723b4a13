// Making one level (rooms, doors and counting, covering: all three phases of
// the progress panel) and the floor of its file operations and page copies.
//
// Every iteration makes the same level: the game is put back (outside the
// timing) to where it stood when its first level was about to be made.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_support.h"
#include "level/level_generator.h"

namespace delve::bench {

namespace {

struct LevelSetup {
    LevelSetup() {
        std::vector<std::string> log;
        seeded.platform.files.log = &log;
        const uint64_t copies = seeded.platform.screen.pageCopies;
        makeLevel(*seeded.game);
        pageCopies = seeded.platform.screen.pageCopies - copies;
        seeded.platform.files.log = nullptr;
        ops = fileOpsFromLog(log);
        for (const FileOp& op : ops) filesRead += op.write ? 0 : 1;
    }
    SeededGame seeded{Stage::MakeLevel};
    std::vector<FileOp> ops;  // the file operations of one level
    uint64_t filesRead = 0;
    uint64_t pageCopies = 0;
};

// Made once, on first use: only when a level benchmark is selected.
LevelSetup& levelSetup() {
    static LevelSetup setup;
    return setup;
}

void BM_Level(benchmark::State& state) {
    LevelSetup& l = levelSetup();
    const Platform& platform = l.seeded.platform;
    uint64_t filesRead = 0, pageCopies = 0, allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        l.seeded.restore();
        state.ResumeTiming();
        const uint64_t r0 = platform.files.filesRead, c0 = platform.screen.pageCopies, a0 = allocationCount();
        makeLevel(*l.seeded.game);
        filesRead += platform.files.filesRead - r0;
        pageCopies += platform.screen.pageCopies - c0;
        allocations += allocationCount() - a0;
    }
    const auto perLevel = benchmark::Counter::kAvgIterations;
    state.counters["files_read"] = benchmark::Counter(static_cast<double>(filesRead), perLevel);
    state.counters["page_copies"] = benchmark::Counter(static_cast<double>(pageCopies), perLevel);
    state.counters["allocations"] = benchmark::Counter(static_cast<double>(allocations), perLevel);
}
BENCHMARK(BM_Level)->Unit(benchmark::kMillisecond);

// The level's file operations plus as many whole-page copies, made among
// four page-sized buffers as the level's own copies are.
void BM_LevelFloor(benchmark::State& state) {
    LevelSetup& l = levelSetup();
    const Screen& screen = l.seeded.platform.screen;
    const size_t pageSize = static_cast<size_t>(screen.width) * screen.height;
    std::vector<std::vector<uint8_t>> pages(4, std::vector<uint8_t>(pageSize, 0));
    std::vector<char> buffer(4096);
    for (auto _ : state) {
        runFileOps(l.ops, buffer);
        for (uint64_t i = 0; i < l.pageCopies; ++i)
            std::memcpy(pages[(i + 1) % 4].data(), pages[i % 4].data(), pageSize);
        benchmark::DoNotOptimize(pages.data());
        benchmark::ClobberMemory();
    }
    state.counters["files_read"] = static_cast<double>(l.filesRead);
    state.counters["files_written"] = static_cast<double>(l.ops.size() - l.filesRead);
    state.counters["page_copies"] = static_cast<double>(l.pageCopies);
}
BENCHMARK(BM_LevelFloor)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace delve::bench
