// delve-sim: skipping the pixels changes nothing the game does, the report of
// a small fixture is pinned, and the tool's command line behaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "delve-replay/trace.h"
#include "delve-sim/report.h"
#include "delve-sim/simulation.h"
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
    const std::string dir = test::stagedGameDir();
    int levelsSeen = 0, fallsSeen = 0;
    for (int seed = 1; seed <= 20; ++seed) {
        const PolicyKind policy = seed % 2 ? PolicyKind::Explorer : PolicyKind::Cautious;
        sim::SeedRun fullRun, fastRun;
        const auto full = traceOf(dir, policy, seed, 100, true, fullRun);
        const auto fast = traceOf(dir, policy, seed, 100, false, fastRun);
        ASSERT_GT(full.size(), 1u) << "seed " << seed;
        ASSERT_EQ(full.size(), fast.size()) << "seed " << seed;
        for (size_t i = 0; i < full.size(); ++i) ASSERT_EQ(full[i], fast[i]) << "seed " << seed << ", frame " << i;
        const sim::ReportHeader header{sim::policyName(policy), seed, seed, 100};
        EXPECT_EQ(sim::jsonReport(header, {fullRun}), sim::jsonReport(header, {fastRun})) << "seed " << seed;
        levelsSeen += fullRun.deepestLevel > 1;
        fallsSeen += fullRun.firstFall.has_value();
    }
    // The comparison covered new levels and fallen members, not only walking.
    EXPECT_GT(levelsSeen, 0);
    EXPECT_GT(fallsSeen, 0);
}

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

struct Outcome {
    int status;
    std::string out, err;
};

Outcome runSim(const std::string& args) {
    test::ScratchDir scratch;
    const std::string out = scratch.path() + "/out", err = scratch.path() + "/err";
    const std::string command = std::string(DELVE_TOOL_DIR) + "/delve-sim " + args + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

TEST(SimTest, CommandLine) {
    const std::string fixture = std::string(DELVE_SOURCE_DIR) + "/tests/sim/fixture";
    // Threads share the work, never the result.
    const Outcome one = runSim("--dir " + fixture + " --seeds 3-8 --turn-cap 300 --json");
    const Outcome two = runSim("--dir " + fixture + " --seeds 3-8 --turn-cap 300 --json --jobs 3");
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, two.out);
    EXPECT_NE(one.out.find("\"firstSeed\":3,\"lastSeed\":8"), std::string::npos);

    const Outcome table = runSim("--dir " + fixture + " --seeds 3 --policy explorer --turn-cap 300");
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("policy explorer, seeds 3-3 (1 runs)"), std::string::npos) << table.out;

    EXPECT_EQ(runSim("--help").status, 0);
    for (const char* bad : {"--policy reckless", "--seeds 9-3", "--seeds x", "--jobs 0", "--turn-cap", "--frobnicate",
                            "--dir /nonexistent/folder"}) {
        const Outcome o = runSim(std::string("--dir ") + fixture + " " + bad);
        EXPECT_EQ(o.status, 2) << bad;
        EXPECT_EQ(o.out, "") << bad;
        EXPECT_EQ(o.err.rfind("delve-sim: ", 0), 0u) << bad << ": " << o.err;
    }
}

}  // namespace
}  // namespace delve
