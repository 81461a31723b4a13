// The program's flow: title screen, typed seeds, the keys that stay queued,
// what a turn does in which order, spells, bombs, new games, and the replay
// tool that proves a run repeats itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "level/level_grid.h"
#include "shell/program.h"
#include "shell/spells.h"
#include "shell/turn_loop.h"
#include "shell_fixture.h"

namespace delve::test {
namespace {

const std::string kBullet = "\xFE ";

// A whole program on the fixture folder, driven stage by stage.
struct ProgramRun {
    explicit ProgramRun(const std::string& keys, double timer = 1000.5, const std::string& extraDefinition = "")
        : hg(dir.path()) {
        writeFixtureFolder(dir, extraDefinition);
        hg.backend = HeadlessBackend(keys, timer);
    }
    Game& g() { return hg.game; }
    const Screen& screen() { return hg.platform.screen; }

    // Runs stages until `stage` is next (or the program ends); false when the
    // keys ran out first.
    bool runUntil(Stage stage) {
        try {
            while (program.stage != stage && program.stage != Stage::Ended) step();
        } catch (const RunEnded&) {
            return false;
        }
        return program.stage == stage;
    }
    void step() {
        const bool frame = program.stage == Stage::Frame;
        advanceProgram(hg.game, program);
        if (frame) shown.push_back(program.shownMessage);
    }
    // Runs until the keys are used up or the program ends.
    void runAll() {
        try {
            while (program.stage != Stage::Ended) step();
        } catch (const RunEnded&) {
        }
    }

    ScratchDir dir;
    HeadlessGame hg;
    Program program;
    std::vector<std::string> shown;  // the message of every frame
};

TEST(TitleScreen, ShowsTimerSeedClockAndPromptLines) {
    ProgramRun run("q");
    EXPECT_FALSE(run.runUntil(Stage::StartGame));  // the title loop asks for a key that never comes
    const Screen& s = run.screen();
    EXPECT_EQ(s.visiblePage, 0);
    // Two readings made the seed: trunc((1000.5 - 1000) * 325) = 162; the
    // title's own reading is the third.
    EXPECT_EQ(run.g().seed, 162.0f);
    const std::vector<std::string> lines = {
        "Timer:", kBullet + "1000.502", kBullet + "initialized", kBullet + "activated",
        kBullet + "randomized 162", "Time:", kBullet + "12:00:00", "Date:", kBullet + "01-01-2026",
        "Press the spacebar to start..."};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(screenText(s, 0, static_cast<int>(i) + 1, 1, static_cast<int>(lines[i].size())), lines[i])
            << "row " << i + 1;
    EXPECT_EQ(run.hg.platform.screen.cursorRow, 11);
    EXPECT_EQ(run.hg.backend.title(), "The Test Cave");

    Random expected;
    seedRandomState(expected, 162);
    EXPECT_EQ(run.g().io.rng.state, expected.state);
}

TEST(TitleScreen, NegativeAndZeroRandomizersAreNotCorrected) {
    ProgramRun zero("q");
    zero.dir.write("res/gamedata.dat", crlf("randomizer=0"));
    zero.runUntil(Stage::StartGame);
    EXPECT_EQ(zero.g().seed, 0.0f);
    EXPECT_EQ(zero.hg.backend.title(), "%%");
}

TEST(SeedPrompt, TypedSeedGivesTheSameFirstLevelWhateverTheClock) {
    ProgramRun a("@17\rx", 1000.5), b("@17\rx", 4321.987);
    ASSERT_TRUE(a.runUntil(Stage::Frame));
    ASSERT_TRUE(b.runUntil(Stage::Frame));
    EXPECT_EQ(a.g().seed, 17.0f);
    EXPECT_EQ(a.g().levelMap.cells, b.g().levelMap.cells);
    EXPECT_EQ(a.g().partyX, b.g().partyX);
    EXPECT_EQ(a.g().partyY, b.g().partyY);

    ProgramRun other("@18\rx");
    ASSERT_TRUE(other.runUntil(Stage::Frame));
    EXPECT_NE(a.g().levelMap.cells, other.g().levelMap.cells);
}

TEST(SeedPrompt, TextThatIsNoNumberSeedsZeroAndBackspaceEdits) {
    ProgramRun word("@abc\rx"), zero("@0\rx"), edited("@9\b0\rx");
    ASSERT_TRUE(word.runUntil(Stage::Frame));
    ASSERT_TRUE(zero.runUntil(Stage::Frame));
    ASSERT_TRUE(edited.runUntil(Stage::Frame));
    EXPECT_EQ(word.g().seed, 0.0f);
    EXPECT_EQ(word.g().levelMap.cells, zero.g().levelMap.cells);
    EXPECT_EQ(edited.g().seed, 0.0f);
}

TEST(SeedPrompt, TitleIgnoresOtherKeysAndEscapeEnds) {
    ProgramRun junk("qz9 x");  // "q" ends the overview, then junk, then space starts
    ASSERT_TRUE(junk.runUntil(Stage::Frame));
    EXPECT_EQ(junk.g().seed, 162.0f);

    ProgramRun quit("\x1b");  // the overview's key is the title's first key
    quit.runAll();
    EXPECT_EQ(quit.program.stage, Stage::Ended);
    EXPECT_EQ(quit.g().levelNumber, 0);
}

TEST(QueuedKeys, IntroKeyIsTheFirstCommandOfTheFirstLevel) {
    ProgramRun run(" 6");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    run.step();  // the first frame
    run.g().levelMap.set(partyColumn(run.g()) + 1, partyRow(run.g()), kLockedDoor);
    run.g().keys = 0;
    run.step();  // reads the "6" that ended the intro picture
    EXPECT_EQ(run.g().lastKey, "6");
    EXPECT_EQ(run.g().messageLine, "[Door is locked]");
}

TEST(TurnOrder, AReportShowsInExactlyOneFrame) {
    ProgramRun run(" 6xx");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    run.step();
    ASSERT_EQ(run.shown.size(), 1u);
    EXPECT_NE(run.shown[0].find(" joined!]"), std::string::npos);  // the join report, in the first frame
    EXPECT_TRUE(run.g().messageLine.empty());
    run.g().levelMap.set(partyColumn(run.g()) + 1, partyRow(run.g()), kLockedDoor);
    run.g().keys = 0;
    run.runAll();
    ASSERT_EQ(run.shown.size(), 4u);
    EXPECT_EQ(run.shown[1], "[Door is locked]");
    EXPECT_EQ(run.shown[2], "");
    EXPECT_EQ(run.shown[3], "");
}

TEST(TurnOrder, TheShopSpeaksOnlyOnQuietTurns) {
    ProgramRun run(" x6");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    Game& g = run.g();
    run.step();
    g.levelMap.set(partyColumn(g), partyRow(g), kShop);
    g.levelMap.set(partyColumn(g) + 1, partyRow(g), kLockedDoor);
    g.keys = 0;
    g.shopIndex = 4;
    run.step();  // "x": a quiet turn on the shop
    EXPECT_EQ(g.messageLine, "{shop 4: 20GP for 3keys}");
    run.step();
    run.step();  // "6": the locked door speaks instead
    EXPECT_EQ(g.messageLine, "[Door is locked]");
}

TEST(TurnOrder, TurnCountRisesEveryFrameAndStairsMakeANewLevel) {
    ProgramRun run(" xx ");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    const int32_t turns = run.g().turnCount;
    run.step();
    run.step();
    EXPECT_EQ(run.g().turnCount, turns + 1);
    run.g().levelMap.set(partyColumn(run.g()), partyRow(run.g()), kStairs);
    run.step();
    run.step();
    EXPECT_EQ(run.program.stage, Stage::Frame);
    run.step();
    run.step();  // " " on the stairs
    EXPECT_EQ(run.program.stage, Stage::MakeLevel);
    EXPECT_TRUE(run.runUntil(Stage::Frame));
    EXPECT_EQ(run.g().levelNumber, 2);
}

TEST(TurnOrder, AFallenActiveMemberOnlySwitchesAndTheLevelStandsStill) {
    ProgramRun run(" 6");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    Game& g = run.g();
    run.step();
    setActiveStat(g, kHp, 0);
    const auto map = g.levelMap.cells;
    const float x = g.partyX;
    const uint64_t draws = g.io.rng.draws;
    run.step();  // "6"
    EXPECT_EQ(g.partyX, x);
    EXPECT_EQ(g.levelMap.cells, map);
    EXPECT_EQ(g.io.rng.draws, draws);
}

TEST(NewGame, TildeKeepsLevelTurnsAndStandingMembers) {
    ProgramRun run(" x~y");
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    Game& g = run.g();
    run.step();
    run.step();
    g.gold = 40;
    g.keys = 2;
    const int standing = g.activeMember;
    g.statCurrent.set(standing, kAp, 3);
    const int32_t level = g.levelNumber;
    run.step();
    run.step();  // "~"
    EXPECT_EQ(run.program.stage, Stage::StartGame);
    const int32_t turns = g.turnCount;
    ASSERT_TRUE(run.runUntil(Stage::Frame));
    EXPECT_EQ(g.levelNumber, level + 1);
    EXPECT_EQ(g.turnCount, turns);
    EXPECT_EQ(g.gold, 0.0f);
    EXPECT_EQ(g.keys, 0.0f);
    EXPECT_EQ(g.statCurrent.get(standing, kAp), 3);
}

TEST(Escape, ReopensTheWindowBlankAndEnds) {
    ProgramRun run(" x\x1b");
    run.runAll();
    EXPECT_EQ(run.program.stage, Stage::Ended);
    EXPECT_EQ(run.screen().visiblePage, 0);
    for (uint8_t p : run.screen().pages[0]) ASSERT_EQ(p, 0);
}

// Spells and bombs on a hand-made state.
struct SpellState : ::testing::Test {
    ScratchDir dir;
    HeadlessGame hg{dir.path()};
    Game& g = hg.game;
    void SetUp() override {
        g.partySize = 7;
        g.activeMember = 1;
        g.statCurrent.resize(1, 7, 1, 6);
        g.statInitial.resize(1, 7, 1, 6);
        g.spellKnown.resize(1, 7, 1, 6);
        g.spellExperience.resize(1, 7, 1, 6);
        g.spellDifficulty.resize(1, 6);
        for (int k = 1; k <= 6; ++k) g.spellDifficulty.set(k, 10);
        setActiveStat(g, kHp, 10);
        setActiveStat(g, kMp, 30);
        setActiveStat(g, kSight, 4);
        setCellClasses(g);
        for (int x = 2; x <= 39; ++x)
            for (int y = 2; y <= 24; ++y) g.levelMap.set(x, y, kFloor);
        g.openCellCount = 38 * 23;
        g.partyX = 10;
        g.partyY = 10;
        seedRandomState(g.io.rng, 99);
    }
};

TEST_F(SpellState, AnUnknownSpellDrawsNothing) {
    g.lastKey = "h";
    castSpellForKey(g);
    EXPECT_EQ(g.io.rng.draws, 1u);  // only the seeding's discarded value
    EXPECT_EQ(activeStat(g, kMp), 30);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(SpellState, CostsAreDrawnOnceAndReportedWhole) {
    g.spellKnown.set(1, kTinker, 1);
    g.lastKey = "t";
    Random copy = g.io.rng;
    const int expectedCost = randomBelow(copy, 6) + 4;
    castSpellForKey(g);
    EXPECT_EQ(g.messageLine, "[Cast 'Tinker'][Mp -" + std::to_string(expectedCost) + "]");
    EXPECT_EQ(activeStat(g, kMp), 30 - expectedCost);
}

TEST_F(SpellState, NotEnoughMpSpendsOnlyTheCostDraw) {
    g.spellKnown.set(1, kVision, 1);
    setActiveStat(g, kMp, 3);
    g.lastKey = "v";
    const uint64_t before = g.io.rng.draws;
    castSpellForKey(g);
    EXPECT_EQ(g.io.rng.draws, before + 1);
    EXPECT_EQ(activeStat(g, kMp), 3);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(SpellState, WarpWithEverythingSeenIsNotCast) {
    g.spellKnown.set(1, kWarp, 1);
    g.seenCellCount = g.openCellCount;
    g.lastKey = "w";
    const uint64_t before = g.io.rng.draws;
    castSpellForKey(g);
    EXPECT_EQ(g.io.rng.draws, before);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(SpellState, WarpLandsOnAnUnseenCellAndTakesItsCost) {
    for (int x = 2; x <= 39; ++x)
        for (int y = 2; y <= 24; ++y) g.seenMap.set(x, y, 1);
    g.seenMap.set(30, 20, 0);
    g.seenCellCount = g.openCellCount - 1;
    warp(g, 7);
    EXPECT_EQ(g.partyX, 30.0f);
    EXPECT_EQ(g.partyY, 20.0f);
    EXPECT_EQ(activeStat(g, kMp), 23);
    EXPECT_EQ(g.messageLine, "[Cast 'Warp'][Mp -7]");
}

TEST_F(SpellState, WarpWithNoLandingCellGivesUpAtOnce) {
    // Every floor cell seen, but a door still unseen keeps the spell castable:
    // the search would never end.
    for (int x = 2; x <= 39; ++x)
        for (int y = 2; y <= 24; ++y) g.seenMap.set(x, y, 1);
    g.levelMap.set(5, 5, kOpenDoor);
    g.seenMap.set(5, 5, 0);
    g.seenCellCount = g.openCellCount - 1;
    g.spellKnown.set(1, kWarp, 1);
    setActiveStat(g, kMp, 8);
    g.lastKey = "w";
    const uint64_t before = g.io.rng.draws;
    castSpellForKey(g);
    EXPECT_EQ(g.io.rng.draws, before + 1);  // the cost, nothing more
    EXPECT_EQ(activeStat(g, kMp), 8);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(SpellState, BombsAreCountedAndReported) {
    g.lastKey = "b";
    useBomb(g);
    EXPECT_EQ(g.messageLine, "");
    g.bombs = 1;
    useBomb(g);
    EXPECT_EQ(g.messageLine, "[Used Bomb][Bomb -1]");
    EXPECT_EQ(g.bombs, 0.0f);
}

// The replay tool, as a user runs it.
std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int runReplay(const std::string& args) {
    const std::string command = std::string(DELVE_TOOL_DIR) + "/delve-replay " + args + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Replay, SameOptionsGiveIdenticalTraceAndScreenshot) {
    ScratchDir dir;
    writeFixtureFolder(dir);
    const std::string base = "--dir " + dir.path() + " --seed 42 --keys '6666 2222\\x7e 4w~ xvb'";
    ASSERT_EQ(runReplay(base + " --trace " + dir.path() + "/a.jsonl --screenshot " + dir.path() + "/a.png"), 0);
    ASSERT_EQ(runReplay(base + " --trace " + dir.path() + "/b.jsonl --screenshot " + dir.path() + "/b.png"), 0);
    const std::string a = slurp(dir.path() + "/a.jsonl");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, slurp(dir.path() + "/b.jsonl"));
    EXPECT_EQ(slurp(dir.path() + "/a.png"), slurp(dir.path() + "/b.png"));
    EXPECT_NE(a.find("\"levelNumber\":1"), std::string::npos);
    EXPECT_NE(a.find("\"message\":\"["), std::string::npos);
}

TEST(Replay, BadOptionsExitWithTwo) {
    EXPECT_EQ(runReplay("--bogus"), 2);
    EXPECT_EQ(runReplay("--seed"), 2);
    EXPECT_EQ(runReplay("--seed abc"), 2);
    EXPECT_EQ(runReplay("--keys '\\q'"), 2);
    EXPECT_EQ(runReplay("--dir /nonexistent/folder"), 2);
    EXPECT_EQ(runReplay("--keys a --keys-file /dev/null"), 2);
}

TEST(Replay, AnEmptyFolderRunsToTheEnd) {
    ScratchDir dir;
    EXPECT_EQ(runReplay("--dir " + dir.path() + " --keys ' 6 2\\e'"), 0);
}

}  // namespace
}  // namespace delve::test
