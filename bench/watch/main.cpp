// delve-watch-bench: what watching a long kept game costs, as the budgets
// step gates it. Opens RECORDING on the data folder DATA until its first
// picture and whole timeline are there (best of three), and as a link to
// its last turn would (best of three), then shows 20 turns picked at
// random, forward and back: straight after opening, while little is noted
// and nothing drawn ahead; once the watcher has noted the whole game in its
// idle slices; and once it has drawn the whole game through as well.
// Prints the figures; with --figures FILE also appends them there
// (scripts/e2e/figures.py's form).
//
//   delve-watch-bench DATA RECORDING [--figures FILE]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "recording/recording_format.h"
#include "watch/watch.h"

namespace {

using namespace delve;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    std::FILE* out = nullptr;
    bool allWithin = true;
    // A negative limit: shown, not gated.
    void add(const std::string& name, double value, const char* unit, double limit, const std::string& detail) {
        const std::string limitText = limit < 0 ? "null" : std::to_string(limit);
        std::printf("%-58s %10.1f %s (limit %s) %s\n", name.c_str(), value, unit, limitText.c_str(), detail.c_str());
        if (limit >= 0 && value > limit) allWithin = false;
        if (out)
            std::fprintf(out,
                         "{\"name\": \"%s\", \"value\": %.2f, \"unit\": \"%s\", \"limit\": %s, \"bound\": \"max\", "
                         "\"detail\": \"%s\"}\n",
                         name.c_str(), value, unit, limitText.c_str(), detail.c_str());
    }
};

struct Seeks {
    double median = 0, worst = 0;
};

Seeks seekAtRandom(Watch& w, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        const int32_t turn = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(w.timeline.lastTurn));
        const auto start = Clock::now();
        showTurn(w, turn);
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return {(times[9] + times[10]) / 2, times.back()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--figures")) {
        std::fprintf(stderr, "usage: delve-watch-bench DATA RECORDING [--figures FILE]\n");
        return 2;
    }
    const std::string data = argv[1];
    std::string error;
    auto recording = loadRecording(argv[2], error);
    if (!recording) {
        std::fprintf(stderr, "delve-watch-bench: %s: %s\n", argv[2], error.c_str());
        return 2;
    }
    Figures figures;
    if (argc == 5 && !(figures.out = std::fopen(argv[4], "a"))) {
        std::fprintf(stderr, "delve-watch-bench: %s: cannot write the figures\n", argv[4]);
        return 2;
    }
    constexpr size_t kLimit = size_t{256} << 20;
    double open = 1e9;
    std::unique_ptr<Watch> w;
    for (int i = 0; i < 3; ++i) {
        w.reset();
        const auto start = Clock::now();
        w = openWatch(*recording, data, kLimit);
        open = std::min(open, msSince(start));
    }
    const std::string turns = std::to_string(w->timeline.lastTurn) + " turns";
    if (w->timeline.lastTurn < 2) {
        std::fprintf(stderr, "delve-watch-bench: %s: no turns to watch\n", argv[2]);
        return 2;
    }
    figures.add("desktop: a kept game opened to watch, its timeline", open, "ms", 1000, turns + ", best of 3");
    double link = 1e9;
    for (int i = 0; i < 3; ++i) {
        w.reset();
        const auto start = Clock::now();
        w = openWatch(*recording, data, kLimit);
        showTurn(*w, w->timeline.lastTurn);
        link = std::min(link, msSince(start));
    }
    figures.add("desktop: a link at the last turn, opened to its picture and timeline", link, "ms", 1000,
                turns + ", best of 3, told by spans then and there");
    w = openWatch(*recording, data, kLimit);
    const Seeks cold = seekAtRandom(*w, 1);
    figures.add("desktop: seeking straight after opening, median of 20 random turns", cold.median, "ms", 100,
                turns + ", each turn past the notes told by spans");
    figures.add("desktop: seeking straight after opening, the slowest of 20", cold.worst, "ms", 200, turns);
    w = openWatch(*recording, data, kLimit);
    double noting = 0, slice = 0;
    for (bool more = true; more;) {
        const auto start = Clock::now();
        more = noteSome(*w, kOpeningNoteTurns);
        const double took = msSince(start);
        noting += took;
        slice = std::max(slice, took);
    }
    figures.add("desktop: noting the whole game, in idle slices", noting, "ms", -1, turns);
    figures.add("desktop: noting, the longest idle slice", slice, "ms", -1,
                std::to_string(kOpeningNoteTurns) + " turns a slice");
    const Seeks noted = seekAtRandom(*w, 1);
    figures.add("desktop: seeking once noted, median of 20 random turns", noted.median, "ms", 100, turns);
    figures.add("desktop: seeking once noted, the slowest of 20", noted.worst, "ms", 200, turns);
    const auto start = Clock::now();
    while (indexSome(*w, 256)) {
    }
    const double indexing = msSince(start);
    const double notes = static_cast<double>(noteBytes(*w->notes));
    const Seeks warm = seekAtRandom(*w, 2);
    figures.add("desktop: seeking once drawn ahead, median of 20 random turns", warm.median, "ms", 100, turns);
    figures.add("desktop: seeking once drawn ahead, the slowest of 20", warm.worst, "ms", 200, turns);
    figures.add("desktop: drawing the whole game ahead, in idle slices", indexing, "ms", -1, turns);
    figures.add("desktop: what the kept moments and the notes hold",
                (static_cast<double>(w->keptBytes) + notes) / (1 << 20), "MiB", 256,
                std::to_string(w->moments.size()) + " moments, " + std::to_string(notes / (1 << 20)) +
                    " MiB of it notes and states");
    if (figures.out) std::fclose(figures.out);
    return figures.allWithin ? 0 : 1;
}
