// delve-sim: plays many seeds headless with a simulated player and reports,
// level by level, how far the party gets and what it costs.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "delve_version.h"
#include "platform/system.h"
#include "report.h"
#include "simulation.h"

namespace {

constexpr const char* kUsage =
    "usage: delve-sim [--dir DIR] [--policy explorer|cautious] [--seeds A-B] [--turn-cap N] [--jobs N]\n"
    "                 [--json] [--out FILE] [--draw]\n";

constexpr const char* kHelp =
    "Plays one game per seed headless, through the same stage loop as the game, with a\n"
    "simulated player, and reports level by level: the share of seeds that reach the level,\n"
    "turns spent there, Hp lost by cause (each monster, gates, Mystic Orbs), Mp paid for thin\n"
    "walls, gold, keys and bombs gained, spells cast, and where the whole starting party fell.\n"
    "\n"
    "  --dir DIR        the game folder (res/, and tiles/ with --draw); default .\n"
    "  --policy NAME    the simulated player (default cautious):\n"
    "                     explorer  takes the cheapest known way to the stairs once it knows\n"
    "                               one, else to the nearest unexplored space, straight through\n"
    "                               monsters, locked doors (a key or Tinker), gates (pushed till\n"
    "                               they give way) and thin walls (while it has 5 Mp); picks up\n"
    "                               what it stands on; takes the stairs; switches member only\n"
    "                               when the active one has fallen; with no way on left it casts\n"
    "                               Warp, or switches to a member who can\n"
    "                     cautious  the explorer, but never steps onto a monster it can see,\n"
    "                               keeps a cell away from them where it can, and steps off one\n"
    "                               that comes onto its cell before it pushes a gate or unlocks\n"
    "                               a door; pushes gates only with half its Hp or more, unless\n"
    "                               no other way is left (Warp first, then any gate); below 40%\n"
    "                               Hp it casts Heal, or switches to a member with 50% or more,\n"
    "                               or fetches a health potion it knows; when monsters block\n"
    "                               every way on it throws a bomb (one within 2 cells), or casts\n"
    "                               Flare once, waits up to 8 turns, and then walks through\n"
    "  --seeds A-B      the seeds typed at the title screen, A to B (default 1-200); or one seed\n"
    "  --turn-cap N     a run stops after N turns (default 3000)\n"
    "  --jobs N         runs in N threads (default 1); the output does not depend on it\n"
    "  --json           JSON instead of the table\n"
    "  --out FILE       writes the report to FILE instead of standard output\n"
    "  --draw           draws every page as the game does (slow; it also rewrites\n"
    "                   res/encounter.txt in DIR, as the game does); by default the pixels\n"
    "                   are skipped, which changes nothing the game state depends on\n"
    "\n"
    "A run ends when no member stands, when the player has no way on and nothing left to try\n"
    "(or saw nothing new for 400 turns), or at the turn cap. Policies see only what the\n"
    "player sees: the cells seen so far and the panels. Progress goes to standard error.\n";

struct Options {
    delve::sim::SimSettings settings;
    int firstSeed = 1, lastSeed = 200;
    int jobs = 1;
    bool json = false;
    std::string out;
};

bool wholeNumber(const std::string& text, long long lo, long long hi, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return end && *end == 0 && errno == 0 && value >= lo && value <= hi;
}

std::optional<Options> parse(int argc, char** argv, std::string& error) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--draw") {
            o.settings.draw = true;
            continue;
        }
        if (arg != "--dir" && arg != "--policy" && arg != "--seeds" && arg != "--turn-cap" && arg != "--jobs" &&
            arg != "--out") {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string v = argv[++i];
        long long n = 0;
        if (arg == "--dir") {
            o.settings.dir = v;
        } else if (arg == "--out") {
            o.out = v;
        } else if (arg == "--policy") {
            auto kind = delve::sim::policyByName(v);
            if (!kind) {
                error = "--policy: no policy named " + v + " (explorer, cautious)";
                return std::nullopt;
            }
            o.settings.policy = *kind;
        } else if (arg == "--turn-cap") {
            if (!wholeNumber(v, 1, 1000000, n)) {
                error = "--turn-cap: not a whole number from 1 to 1000000: " + v;
                return std::nullopt;
            }
            o.settings.turnCap = static_cast<int>(n);
        } else if (arg == "--jobs") {
            if (!wholeNumber(v, 1, 256, n)) {
                error = "--jobs: not a whole number from 1 to 256: " + v;
                return std::nullopt;
            }
            o.jobs = static_cast<int>(n);
        } else if (arg == "--seeds") {
            const size_t dash = v.find('-', 1);
            long long a = 0, b = 0;
            const bool ok = dash == std::string::npos
                                ? wholeNumber(v, 0, 99999999, a) && (b = a, true)
                                : wholeNumber(v.substr(0, dash), 0, 99999999, a) &&
                                      wholeNumber(v.substr(dash + 1), 0, 99999999, b);
            if (!ok || b < a || b - a >= 1000000) {
                error = "--seeds: not a range A-B of seeds from 0 to 99999999: " + v;
                return std::nullopt;
            }
            o.firstSeed = static_cast<int>(a);
            o.lastSeed = static_cast<int>(b);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** given) {
    delve::useUtf8Console();
    const delve::ProgramArguments args(argc, given);
    argc = args.argc;
    char** argv = args.argv;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("delve-sim %s\n", DELVE_VERSION);
            return 0;
        }
    std::string error;
    auto options = parse(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "delve-sim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    const Options& o = *options;
    delve::FileStatus st;
    const std::string gameData = o.settings.dir + "/res/gamedata.dat";
    if (!delve::statusOf(o.settings.dir, st) || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "delve-sim: %s: not a folder\n", o.settings.dir.c_str());
        return 2;
    }
    if (!delve::statusOf(gameData, st) || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "delve-sim: %s: no game definition here\n", gameData.c_str());
        return 2;
    }

    const int count = o.lastSeed - o.firstSeed + 1;
    std::vector<delve::sim::SeedRun> runs(static_cast<size_t>(count));
    std::atomic<int> next{0}, done{0};
    std::mutex progressMutex;
    const auto start = std::chrono::steady_clock::now();
    auto lastShown = start;
    auto worker = [&] {
        for (int i; (i = next.fetch_add(1)) < count;) {
            runs[static_cast<size_t>(i)] = delve::sim::simulateSeed(o.settings, o.firstSeed + i);
            const int finished = done.fetch_add(1) + 1;
            // Progress only for runs long enough to wonder about, at most every 2 s.
            std::lock_guard<std::mutex> lock(progressMutex);
            const auto now = std::chrono::steady_clock::now();
            if (now - start > std::chrono::seconds(3) && (now - lastShown > std::chrono::seconds(2) || finished == count)) {
                std::fprintf(stderr, "delve-sim: %s: %d of %d seeds\n", delve::sim::policyName(o.settings.policy).c_str(),
                             finished, count);
                lastShown = now;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::min(o.jobs, count); ++j) threads.emplace_back(worker);
    worker();
    for (auto& t : threads) t.join();

    const delve::sim::ReportHeader header{delve::sim::policyName(o.settings.policy), o.firstSeed, o.lastSeed,
                                          o.settings.turnCap};
    const std::string report = o.json ? delve::sim::jsonReport(header, runs) : delve::sim::textReport(header, runs);
    if (o.out.empty()) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    std::ofstream file(delve::pathOf(o.out), std::ios::binary | std::ios::trunc);
    file << report;
    file.close();
    if (!file) {
        std::fprintf(stderr, "delve-sim: %s: cannot write the report\n", o.out.c_str());
        return 2;
    }
    return 0;
}
