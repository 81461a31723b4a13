#include <gtest/gtest.h>

#include "level/level_generator.h"
#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/area_effects.h"
#include "rules/monsters.h"
#include "rules/movement.h"
#include "support/support.h"

namespace delve {
namespace {

// Many turns of walking, monsters and bombs on generated levels: whatever the
// rules do, the party and the monsters stay in the playable area, monsters
// are neither made nor lost by moving, and a seed replays exactly.
struct Outcome {
    CellGrid level;
    float partyX, partyY;
    uint32_t rngState;
    uint64_t draws;
};

int monsterCount(const Game& g) {
    int n = 0;
    for (int32_t code : g.levelMap.cells)
        n += code == kSnake || code == kOrc || code == kViperess || code == kZombie || code == kShadow;
    return n;
}

bool outsideUntouched(const Game& g) {
    for (int x = 0; x <= 40; ++x)
        for (int y = 0; y <= 25; ++y) {
            const bool playable = x >= 2 && x <= 39 && y >= 2 && y <= 24;
            if (!playable && (g.levelMap.get(x, y) != 0 || g.seenMap.get(x, y) != 0)) return false;
        }
    return true;
}

Outcome play(const std::string& root, double seed) {
    test::HeadlessGame h{root};
    Game& g = h.game;
    setCellClasses(g);
    g.partySize = 7;
    g.activeMember = 1;
    g.statInitial.resize(1, 7, 1, 6);
    g.statCurrent.resize(1, 7, 1, 6);
    const int32_t stats[] = {1000, 6, 3, 40, 4, 6};
    for (int s = 1; s <= 6; ++s) {
        g.statInitial.set(1, s, stats[s - 1]);
        g.statCurrent.set(1, s, stats[s - 1]);
    }
    g.rose.resize(1, 4, 1, 2);
    const int steps[4][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    for (int card = 1; card <= 4; ++card) {
        g.rose.set(card, 1, steps[card - 1][0]);
        g.rose.set(card, 2, steps[card - 1][1]);
    }
    g.keys = 20;
    g.bombs = 5;
    seedRandomState(g.io.rng, seed);
    LevelReport report;
    makeLevel(g, report, LevelDrawing::Skipped);

    Random keyChoice;  // the walk's own generator, apart from the game's
    seedRandomState(keyChoice, seed);
    const std::string keys = "8624";
    CellGrid visited;
    int visitedCount = 0;
    for (int turn = 1; turn <= 1500; ++turn) {
        g.lastKey = std::string(1, keys[static_cast<size_t>(randomBelow(keyChoice, 4))]);
        g.messageLine.clear();
        moveParty(g);
        EXPECT_TRUE(g.partyX >= 2 && g.partyX <= 39 && g.partyY >= 2 && g.partyY <= 24);
        if (visited.get(partyColumn(g), partyRow(g)) == 0) ++visitedCount;
        visited.set(partyColumn(g), partyRow(g), 1);
        const int before = monsterCount(g);
        monsterTurn(g);
        EXPECT_EQ(monsterCount(g), before);
        if (turn % 300 == 0) {
            bombBlast(g);
            EXPECT_LE(monsterCount(g), before);
        }
        g.statCurrent.set(1, kHp, 1000);
        g.statCurrent.set(1, kMp, 40);
    }
    EXPECT_TRUE(outsideUntouched(g));
    EXPECT_GT(visitedCount, 10);  // the walk really went places
    return {g.levelMap, g.partyX, g.partyY, g.io.rng.state, g.io.rng.draws};
}

TEST(SeededPlay, RulesKeepTheLevelSoundAndReplayExactly) {
    test::ScratchDir dir;
    dir.write("tiles/map/.keep", "");
    dir.write("tiles/font/.keep", "");
    for (double seed : {1.0, 42.0, 31337.0}) {
        const Outcome first = play(dir.path(), seed);
        const Outcome again = play(dir.path(), seed);
        EXPECT_EQ(first.level.cells, again.level.cells);
        EXPECT_EQ(first.partyX, again.partyX);
        EXPECT_EQ(first.partyY, again.partyY);
        EXPECT_EQ(first.rngState, again.rngState);
        EXPECT_EQ(first.draws, again.draws);
    }
}

}  // namespace
}  // namespace delve
