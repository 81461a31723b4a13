// The small pieces every frame is made of: one tile read and decoded, and
// one line of text with the printer.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "render/tile_image.h"

namespace delve::bench {

namespace {

struct Canvas {
    Canvas() : platform(backend) {
        platform.files.root = gameRoot();
        openWindow(platform, 960, 720);
        setPages(platform, 0, 1);
    }
    HeadlessBackend backend;
    Platform platform;
};

void BM_TileLoad(benchmark::State& state) {
    Canvas c;
    const std::string name = fontTileName('A');
    for (auto _ : state) {
        auto image = loadTileImage(c.platform.files, name);
        benchmark::DoNotOptimize(image);
    }
    state.SetLabel(name);
}
BENCHMARK(BM_TileLoad)->Unit(benchmark::kMicrosecond);

// The decoding alone, from bytes already in memory.
void BM_TileDecode(benchmark::State& state) {
    Canvas c;
    const auto bytes = readGameFile(c.platform.files, fontTileName('A'));
    if (!bytes) {
        state.SkipWithError("the font tile is missing");
        return;
    }
    for (auto _ : state) {
        auto image = decodeTileImage(*bytes);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_TileDecode)->Unit(benchmark::kMicrosecond);

void BM_PrintMarkup20(benchmark::State& state) {
    Canvas c;
    const std::string line = "[Attacked by Orc][Hp";  // 20 characters, 18 drawn
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t a0 = allocationCount();
        printMarkup(c.platform, 30, 42, line);
        allocations += allocationCount() - a0;
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PrintMarkup20)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace delve::bench
