// The picture a game keeps beside its recording every few dozen key batches
// and when it ends: the pages of a drawn level encoded and written through
// a temporary file, as the game writes it. It runs while the game waits
// for a key, so it costs the player a pause, not a slower turn.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_support.h"
#include "recording/kept_picture.h"
#include "flow/turn_loop.h"

namespace delve::bench {

namespace {

void BM_KeepPicture(benchmark::State& state) {
    SeededGame seeded{Stage::Frame};
    drawTurnFrame(*seeded.game);
    const Screen& screen = seeded.platform.screen;
    const std::string path = (std::filesystem::temp_directory_path() / "delve-bench.rec.picture").string();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string picture = encodeKeptPicture("bench", 12345, 678, screen);
        bytes = picture.size();
        if (!writeKeptPictureBytes(path, picture)) {
            state.SkipWithError("cannot write the picture");
            break;
        }
    }
    std::filesystem::remove(path);
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_KeepPicture)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace delve::bench
