// delve-sim: skipping the pixels changes nothing the game does, the report of
// a small fixture is pinned, and the tool's command line behaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/trace.h"
#include "delve-sim/policy.h"
#include "delve-sim/report.h"
#include "delve-sim/simulation.h"
#include "level/level_grid.h"
#include "support/support.h"

namespace delve {
namespace {

using sim::PolicyKind;

std::vector<std::string> traceOf(const std::string& dir, PolicyKind policy, int seed, int turnCap, bool draw,
                                 sim::SeedRun& run) {
    std::vector<std::string> lines;
    sim::SimSettings settings;
    settings.dir = dir;
    settings.policy = policy;
    settings.turnCap = turnCap;
    settings.draw = draw;
    run = sim::simulateSeed(settings, seed, [&](const Game& g, const std::string& shown) {
        lines.push_back(traceLine(g, shown));
    });
    return lines;
}

// The fast mode is only worth having if it is the same game: every frame's
// state, message and generator position match the fully drawn program's, on
// the shipped content with its tiles, for both policies over many seeds.
TEST(SimTest, SkippingPixelsKeepsEveryFrameOfTheGame) {
    // A copy: the drawn runs write the encounter file, and other tests read
    // the staged folder at the same time.
    const test::ScratchDir scratch;
    for (const std::string part : {"/res", "/tiles"})
        std::filesystem::copy(test::stagedGameDir() + part, scratch.path() + part,
                              std::filesystem::copy_options::recursive);
    const std::string dir = scratch.path();
    int levelsSeen = 0, fallsSeen = 0;
    for (int seed = 1; seed <= 16; ++seed) {
        const PolicyKind policy = seed % 2 ? PolicyKind::Explorer : PolicyKind::Cautious;
        sim::SeedRun fullRun, fastRun;
        const auto full = traceOf(dir, policy, seed, 60, true, fullRun);
        const auto fast = traceOf(dir, policy, seed, 60, false, fastRun);
        ASSERT_GT(full.size(), 1u) << "seed " << seed;
        ASSERT_EQ(full.size(), fast.size()) << "seed " << seed;
        for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(full[i], fast[i]) << "seed " << seed << ", frame " << i;
        const sim::ReportHeader header{sim::policyName(policy), seed, seed, 60};
        EXPECT_EQ(sim::jsonReport(header, {fullRun}), sim::jsonReport(header, {fastRun})) << "seed " << seed;
        levelsSeen += fullRun.deepestLevel > 1;
        fallsSeen += fullRun.firstFall.has_value();
    }
    // The comparison covered new levels and fallen members, not only walking.
    EXPECT_GT(levelsSeen, 0);
    EXPECT_GT(fallsSeen, 0);
}

// A level drawn as text from cell (2, 2): '#' rock, '.' floor, '>' stairs,
// 'S' a snake, 'G' a gate, '$' gold, '?' floor not seen yet, 'P' the party on
// floor, 'p' the party on a snake. Everything drawn is seen except '?'; the
// rest of the level is unseen rock. Member 1 stands (30 of 30 Hp, Ap 9), the
// other six have fallen.
struct PolicyScene {
    explicit PolicyScene(const std::vector<std::string>& rows) {
        Game& g = world.game;
        g.partySize = 7;
        g.levelNumber = 1;
        g.activeMember = 1;
        g.statCurrent.resize(1, 7, 1, 6);
        g.statInitial.resize(1, 7, 1, 6);
        g.spellKnown.resize(1, 7, 1, 6);
        g.spellExperience.resize(1, 7, 1, 6);
        for (int m = 1; m <= 7; ++m) {
            g.statInitial.set(m, kHp, 30);
            g.statInitial.set(m, kAp, 9);
        }
        g.statCurrent.set(1, kHp, 30);
        g.statCurrent.set(1, kAp, 9);
        for (int x = 2; x <= 39; ++x)
            for (int y = 2; y <= 24; ++y) g.levelMap.set(x, y, kRock);
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c) {
                const int x = 2 + static_cast<int>(c), y = 2 + static_cast<int>(r);
                const char ch = rows[r][c];
                const int32_t code = ch == '.' || ch == 'P' || ch == '?' ? kFloor
                                     : ch == '>'               ? kStairs
                                     : ch == 'S' || ch == 'p'  ? kSnake
                                     : ch == 'G'               ? kGate
                                     : ch == '$'               ? kGold
                                                               : kRock;
                g.levelMap.set(x, y, code);
                if (ch != '?') g.seenMap.set(x, y, 1);
                if (ch == 'P' || ch == 'p') {
                    g.partyX = static_cast<float>(x);
                    g.partyY = static_cast<float>(y);
                }
            }
        g.openCellCount = 100;
        g.seenCellCount = 10;
    }
    std::optional<std::string> key(PolicyKind kind) {
        sim::PolicyMemory memory;
        return sim::chooseKey(world.game, kind, memory);
    }
    test::HeadlessGame world;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The report of the fixture for a few seeds is pinned, so that a change to
// the rules, the policies or the report shows up as a reviewed difference.
// DELVE_UPDATE_GOLDEN=1 rewrites the expected files.
TEST(SimTest, FixtureReportIsPinned) {
    const std::string fixture = std::string(DELVE_SOURCE_DIR) + "/tests/sim/fixture";
    for (PolicyKind policy : {PolicyKind::Explorer, PolicyKind::Cautious}) {
        sim::SimSettings settings;
        settings.dir = fixture;
        settings.policy = policy;
        settings.turnCap = 600;
        std::vector<sim::SeedRun> runs;
        for (int seed = 1; seed <= 5; ++seed) runs.push_back(sim::simulateSeed(settings, seed));
        const std::string name = sim::policyName(policy);
        const std::string json = sim::jsonReport({name, 1, 5, 600}, runs);
        const std::string expectedPath = std::string(DELVE_SOURCE_DIR) + "/tests/sim/expected_" + name + ".json";
        if (std::getenv("DELVE_UPDATE_GOLDEN")) {
            std::ofstream(expectedPath, std::ios::binary) << json;
            continue;
        }
        EXPECT_EQ(json, readFile(expectedPath)) << "the report of the fixture changed; if that is intended, run "
                                                   "DELVE_UPDATE_GOLDEN=1 build/release/sim_test and review the diff";
    }
}

}  // namespace
}  // namespace delve
