#include <gtest/gtest.h>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/area_effects.h"
#include "support/support.h"

namespace delve {
namespace {

// The party at (10, 10) in a level of rock.
struct AreaTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;

    void SetUp() override {
        setCellClasses(g);
        g.partySize = 7;
        g.activeMember = 1;
        g.statInitial.resize(1, 7, 1, 6);
        g.statCurrent.resize(1, 7, 1, 6);
        g.spellExperience.resize(1, 7, 1, 6);
        g.spellDifficulty.resize(1, 6);
        for (int x = 2; x <= 39; ++x)
            for (int y = 2; y <= 24; ++y) g.levelMap.set(x, y, kRock);
        g.partyX = 10;
        g.partyY = 10;
        g.levelMap.set(10, 10, kFloor);
        seedRandomState(g.io.rng, 5);
    }
    uint64_t run(void (*effect)(Game&)) {
        const uint64_t before = g.io.rng.draws;
        effect(g);
        return g.io.rng.draws - before;
    }
    int seenCells() const {
        int n = 0;
        for (int x = 0; x <= 40; ++x)
            for (int y = 0; y <= 25; ++y) n += g.seenMap.get(x, y) != 0;
        return n;
    }
    void skill(int spell, int experience, int difficulty) {
        g.spellExperience.set(1, spell, experience);
        g.spellDifficulty.set(spell, difficulty);
    }
};

TEST_F(AreaTest, ViewDrawShowsADiscOfHalfTheSight) {
    g.statCurrent.set(1, kSight, 1);
    EXPECT_EQ(run(viewDraw), 0u);
    EXPECT_EQ(seenCells(), 1);
    EXPECT_EQ(g.seenCellCount, 1);

    g.statCurrent.set(1, kSight, 4);  // distance 2: 13 cells, only the floor counts
    g.levelMap.set(12, 10, kFloor);
    g.levelMap.set(11, 11, kGold);
    g.levelMap.set(12, 11, kFloor);  // distance sqrt 5: out of sight
    viewDraw(g);
    EXPECT_EQ(seenCells(), 13);
    EXPECT_EQ(g.seenMap.get(12, 11), 0);
    EXPECT_EQ(g.seenCellCount, 3);
    viewDraw(g);
    EXPECT_EQ(g.seenCellCount, 3);
}

TEST_F(AreaTest, ViewDrawStaysInThePlayableArea) {
    g.partyX = 2;
    g.partyY = 2;
    g.statCurrent.set(1, kSight, 2147483647);
    viewDraw(g);
    EXPECT_EQ(seenCells(), 38 * 23);
    g.statCurrent.set(1, kSight, -4);
    viewDraw(g);
}

TEST_F(AreaTest, RevealCentresOnAnOpenCellAndCountsItOnceInEach) {
    // Five open cells within 2.5 of each other: whichever is the centre,
    // all five are revealed.
    g.levelMap.set(10, 10, kRock);
    g.levelMap.set(20, 12, kFloor);
    g.levelMap.set(21, 12, kLockedDoor);
    g.levelMap.set(19, 12, kGold);
    g.levelMap.set(20, 11, kStairs);
    g.levelMap.set(20, 13, kFloor);
    g.seenMap.set(20, 13, 1);  // seen before: counted as mapped only
    g.seenCellCount = 1;
    Random copy = g.io.rng;
    uint64_t expectedDraws = 0;
    for (;;) {
        const int cy = randomBelow(copy, 23) + 2;
        const int cx = randomBelow(copy, 38) + 2;
        expectedDraws += 2;
        if (classOfCode(g, g.levelMap.get(cx, cy)) != 0) break;
    }
    EXPECT_EQ(run(areaReveal), expectedDraws);
    EXPECT_EQ(g.seenCellCount, 5);
    EXPECT_EQ(g.mappedCellCount, 5);
    EXPECT_EQ(seenCells(), 5);  // rock in the patch stays unseen
    EXPECT_EQ(g.seenMap.get(20, 12), 2);

    run(areaReveal);  // the same cells again: nothing more to count
    EXPECT_EQ(g.seenCellCount, 5);
    EXPECT_EQ(g.mappedCellCount, 5);
}

TEST_F(AreaTest, RevealWithNoOpenCellDoesNothing) {
    g.levelMap.set(10, 10, kShop);  // the shop is not open either
    EXPECT_EQ(run(areaReveal), 0u);
    EXPECT_EQ(seenCells(), 0);
    EXPECT_EQ(g.mappedCellCount, 0);
}

TEST_F(AreaTest, TinkerOpensOnlyOrthogonalLockedDoors) {
    skill(kTinker, 1, 1);  // t1 and t2 are both 1: always succeeds
    g.levelMap.set(11, 10, kLockedDoor);
    g.levelMap.set(10, 9, kLockedDoor);
    g.levelMap.set(11, 11, kLockedDoor);  // diagonal
    g.levelMap.set(12, 10, kLockedDoor);  // two away
    g.levelMap.set(9, 10, kThinWall);     // Passage's, not Tinker's
    EXPECT_EQ(run(tinkerEffect), 10u);
    EXPECT_EQ(g.levelMap.get(11, 10), kOpenDoor);
    EXPECT_EQ(g.levelMap.get(10, 9), kOpenDoor);
    EXPECT_EQ(g.levelMap.get(11, 11), kLockedDoor);
    EXPECT_EQ(g.levelMap.get(12, 10), kLockedDoor);
    EXPECT_EQ(g.levelMap.get(9, 10), kThinWall);
    EXPECT_EQ(seenCells(), 5);
    EXPECT_EQ(g.seenCellCount, 4);  // the party's floor, two doors, the wall
}

TEST_F(AreaTest, TinkerFollowsEachCellsRoll) {
    skill(kTinker, 3, 9);
    for (int x = 9; x <= 11; ++x) g.levelMap.set(x, 10, kLockedDoor);
    g.levelMap.set(10, 9, kLockedDoor);
    g.levelMap.set(10, 11, kLockedDoor);
    // Visiting order: (9,10), (10,9), (10,10), (10,11), (11,10).
    const int order[5][2] = {{9, 10}, {10, 9}, {10, 10}, {10, 11}, {11, 10}};
    Random copy = g.io.rng;
    bool opens[5];
    for (bool& o : opens) {
        const int t1 = randomBelow(copy, 3) + 1;
        const int t2 = randomBelow(copy, 9) + 1;
        o = t1 >= t2;
    }
    EXPECT_EQ(run(tinkerEffect), 10u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(g.levelMap.get(order[i][0], order[i][1]), opens[i] ? kOpenDoor : kLockedDoor) << i;
}

TEST_F(AreaTest, PassageClearsOnlyNeighbouringThinWalls) {
    skill(kPassage, 1, 1);
    g.levelMap.set(10, 11, kThinWall);
    g.levelMap.set(11, 9, kThinWall);   // diagonal
    g.levelMap.set(10, 12, kThinWall);  // two away
    g.levelMap.set(9, 10, kLockedDoor);
    EXPECT_EQ(run(passageEffect), 10u);
    EXPECT_EQ(g.levelMap.get(10, 11), kFloor);
    EXPECT_EQ(g.levelMap.get(11, 9), kThinWall);
    EXPECT_EQ(g.levelMap.get(10, 12), kThinWall);
    EXPECT_EQ(g.levelMap.get(9, 10), kLockedDoor);
}

TEST_F(AreaTest, ReachIsClippedAtTheCorner) {
    skill(kPassage, 1, 1);
    g.partyX = 2;
    g.partyY = 2;
    g.levelMap.set(2, 2, kFloor);
    EXPECT_EQ(run(passageEffect), 6u);  // (2,2), (2,3), (3,2)
}

TEST_F(AreaTest, HealRollsForEveryMemberAndSkipsTheFallen) {
    skill(kHeal, 3, 4);
    for (int m = 1; m <= 7; ++m) {
        g.statInitial.set(m, kHp, 10 * m);
        g.statCurrent.set(m, kHp, 1);
    }
    g.statCurrent.set(3, kHp, 0);
    g.statCurrent.set(5, kHp, -2);
    Random copy = g.io.rng;
    int32_t expected[8] = {};
    for (int m = 1; m <= 7; ++m) {
        const int t1 = randomBelow(copy, 3) + 1;
        const int t2 = randomBelow(copy, 4) + 1;
        const int32_t hp = g.statCurrent.get(m, kHp);
        expected[m] = (t1 >= t2 && hp > 0) ? hp + 10 * m * 3 / 4 : hp;
    }
    EXPECT_EQ(run(healEffect), 14u);
    for (int m = 1; m <= 7; ++m) EXPECT_EQ(g.statCurrent.get(m, kHp), expected[m]) << m;
    EXPECT_EQ(g.statCurrent.get(3, kHp), 0);
}

TEST_F(AreaTest, HealIsNotLimitedHere) {
    skill(kHeal, 1, 1);
    g.statInitial.set(1, kHp, 2000000000);
    g.statCurrent.set(1, kHp, 2000000000);
    healEffect(g);
    EXPECT_EQ(g.statCurrent.get(1, kHp), 2147483647);  // saturates, never wraps
}

TEST_F(AreaTest, HealWithoutADifficultyHealsNobodyButStillRolls) {
    skill(kHeal, 5, 0);
    for (int m = 1; m <= 7; ++m) {
        g.statInitial.set(m, kHp, 20);
        g.statCurrent.set(m, kHp, 4);
    }
    EXPECT_EQ(run(healEffect), 14u);
    skill(kHeal, 5, -3);
    EXPECT_EQ(run(healEffect), 14u);
    for (int m = 1; m <= 7; ++m) EXPECT_EQ(g.statCurrent.get(m, kHp), 4);
}

TEST_F(AreaTest, BombChangesDoorsWallsAndMonstersOnly) {
    g.levelMap.set(11, 10, kOrc);
    g.levelMap.set(10, 10, kSnake);       // sharing the party's cell
    g.levelMap.set(12, 10, kLockedDoor);  // two away: opens, stays open
    g.levelMap.set(10, 12, kOpenDoor);
    g.levelMap.set(9, 10, kThinWall);
    g.levelMap.set(10, 11, kStairs);
    g.levelMap.set(9, 9, kGold);
    g.levelMap.set(10, 8, kGate);
    g.levelMap.set(11, 11, kShop);
    g.levelMap.set(13, 10, kLockedDoor);  // three away
    g.levelMap.set(12, 11, kZombie);      // distance sqrt 5
    EXPECT_EQ(run(bombBlast), 0u);
    EXPECT_EQ(g.levelMap.get(11, 10), kFloor);
    EXPECT_EQ(g.levelMap.get(10, 10), kFloor);
    EXPECT_EQ(g.levelMap.get(12, 10), kOpenDoor);
    EXPECT_EQ(g.levelMap.get(10, 12), kFloor);
    EXPECT_EQ(g.levelMap.get(9, 10), kRock);
    EXPECT_EQ(g.levelMap.get(10, 11), kStairs);
    EXPECT_EQ(g.levelMap.get(9, 9), kGold);
    EXPECT_EQ(g.levelMap.get(10, 8), kGate);
    EXPECT_EQ(g.levelMap.get(11, 11), kShop);
    EXPECT_EQ(g.levelMap.get(13, 10), kLockedDoor);
    EXPECT_EQ(g.levelMap.get(12, 11), kZombie);
}

TEST_F(AreaTest, BombMarksEveryCellInReachAndCountsOpenOnes) {
    g.levelMap.set(11, 10, kFloor);
    g.seenMap.set(11, 10, 1);  // seen: counted as mapped only
    g.levelMap.set(9, 10, kFloor);
    g.seenMap.set(9, 10, 2);  // already mapped: nothing
    g.seenCellCount = 2;
    bombBlast(g);
    EXPECT_EQ(seenCells(), 13);
    for (int x = 8; x <= 12; ++x)
        for (int y = 8; y <= 12; ++y) {
            const bool inReach = (x - 10) * (x - 10) + (y - 10) * (y - 10) <= 4;
            EXPECT_EQ(g.seenMap.get(x, y), inReach ? 2 : 0) << x << "," << y;
        }
    EXPECT_EQ(g.seenCellCount, 3);    // the party's own floor
    EXPECT_EQ(g.mappedCellCount, 2);  // it and (11, 10)
}

}  // namespace
}  // namespace delve
