// One turn of play and the floor of file operations under it.
//
// Every iteration starts from the same place: the game at the first frame of
// its first level from the fixed seed, generator included, put back (outside
// the timing) before the turn. So every measured turn is the same turn, the
// state never drifts into another level, and the floor below replays exactly
// the file operations that turn makes.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "flow/turn_loop.h"

namespace delve::bench {

namespace {

void playTurn(SeededGame& s, const std::string& key) {
    drawTurnFrame(*s.game);
    s.backend.addKey(key);
    handleTurnKey(*s.game);
}

struct TurnSetup {
    TurnSetup() {
        // The first of the four moves that takes the party somewhere; a turn
        // that walks is the common turn.
        for (const char* move : {"6", "4", "8", "2"}) {
            seeded.restore();
            const float x = seeded.game->partyX, y = seeded.game->partyY;
            playTurn(seeded, move);
            key = move;
            if (seeded.game->partyX != x || seeded.game->partyY != y) break;
        }
        std::vector<std::string> log;
        seeded.restore();
        seeded.platform.files.log = &log;
        playTurn(seeded, key);
        seeded.platform.files.log = nullptr;
        ops = fileOpsFromLog(log);
        for (const FileOp& op : ops) filesRead += op.write ? 0 : 1;
    }
    SeededGame seeded{Stage::Frame};
    std::string key;          // a move the party can make from its start
    std::vector<FileOp> ops;  // the file operations of one such turn
    uint64_t filesRead = 0;
};

// Made once, on first use: only when a turn benchmark is selected.
TurnSetup& turnSetup() {
    static TurnSetup setup;
    return setup;
}

void BM_Turn(benchmark::State& state) {
    TurnSetup& t = turnSetup();
    Files& files = t.seeded.platform.files;
    uint64_t filesRead = 0, bytesWritten = 0, allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        t.seeded.restore();
        state.ResumeTiming();
        const uint64_t r0 = files.filesRead, w0 = files.bytesWritten, a0 = allocationCount();
        playTurn(t.seeded, t.key);
        filesRead += files.filesRead - r0;
        bytesWritten += files.bytesWritten - w0;
        allocations += allocationCount() - a0;
    }
    const auto perTurn = benchmark::Counter::kAvgIterations;
    state.counters["files_read"] = benchmark::Counter(static_cast<double>(filesRead), perTurn);
    state.counters["bytes_written"] = benchmark::Counter(static_cast<double>(bytesWritten), perTurn);
    state.counters["allocations"] = benchmark::Counter(static_cast<double>(allocations), perTurn);
    state.SetLabel("key " + t.key);
}
BENCHMARK(BM_Turn)->Unit(benchmark::kMicrosecond);

void BM_TurnIoFloor(benchmark::State& state) {
    TurnSetup& t = turnSetup();
    std::vector<char> buffer(4096);
    uint64_t bytes = 0;
    for (auto _ : state) bytes += runFileOps(t.ops, buffer);
    state.counters["files_read"] = static_cast<double>(t.filesRead);
    state.counters["files_written"] = static_cast<double>(t.ops.size() - t.filesRead);
    state.counters["bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TurnIoFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

void probeTurns(bool floor, int count) {
    TurnSetup& t = turnSetup();
    std::vector<char> buffer(4096);
    for (int i = 0; i < count; ++i) {
        if (floor) {
            runFileOps(t.ops, buffer);
        } else {
            t.seeded.restore();
            playTurn(t.seeded, t.key);
        }
    }
}

}  // namespace delve::bench
