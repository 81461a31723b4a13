// The whole program on the headless backend, as delve-replay runs it: a
// fuzzed "gamedata.dat" and a short fuzzed key sequence.
//
// Input: byte 0 holds the number of keys (low 6 bits, so at most 63) and
// whether the data folder has the staged tile files (bit 7); the keys follow,
// one per byte; the rest is the game definition file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/headless/headless_backend.h"
#include "flow/program.h"

namespace {

// New levels and new games are the expensive steps; past this many the run
// stops, so every input finishes in well under a second.
constexpr int kMaxLevels = 3;

struct Folders {
    std::string withTiles, withoutTiles;
};

Folders makeFolders() {
    using namespace delve::fuzz;
    Folders f{makeTempFolder(), makeTempFolder()};
    for (const std::string& dir : {f.withTiles, f.withoutTiles})
        for (const char* name : {"shops.dat", "stats.dat"})
            writeFile(dir, std::string("res/") + name, readFile(std::string(DELVE_SOURCE_DIR) + "/res/" + name));
    copyTree(std::string(DELVE_GAME_DIR) + "/tiles", f.withTiles + "/tiles");
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    static const Folders folders = makeFolders();
    if (size < 1) return 0;
    const size_t keyCount = data[0] & 0x3F;
    const bool tiles = (data[0] & 0x80) != 0;
    if (size < 1 + keyCount) return 0;
    const std::string keys(reinterpret_cast<const char*>(data + 1), keyCount);
    const std::string definition(reinterpret_cast<const char*>(data + 1 + keyCount), size - 1 - keyCount);
    const std::string& dir = tiles ? folders.withTiles : folders.withoutTiles;
    fuzz::writeFile(dir, "res/gamedata.dat", definition);

    HeadlessBackend backend(keys);
    Platform platform(backend);
    platform.files.root = dir;
    auto game = std::make_unique<Game>(platform);
    Program program;
    int levels = 0;
    try {
        while (program.stage != Stage::Ended) {
            if (program.stage == Stage::MakeLevel && ++levels > kMaxLevels) break;
            advanceProgram(*game, program);
        }
    } catch (const RunEnded&) {
        // The keys are used up.
    }
    return 0;
}
