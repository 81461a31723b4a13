#include <gtest/gtest.h>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/monsters.h"
#include "support/support.h"

namespace delve {
namespace {

// The party at (20, 12) in an open hall of floor; cards 1..4 step up,
// right, down and left.
struct MonsterTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;

    void SetUp() override {
        setCellClasses(g);
        g.partySize = 7;
        g.activeMember = 1;
        g.statInitial.resize(1, 7, 1, 6);
        g.statCurrent.resize(1, 7, 1, 6);
        setActiveStat(g, kRange, 5);
        g.rose.resize(1, 4, 1, 2);
        setCard(1, -1, 0);
        setCard(2, 0, 1);
        setCard(3, 1, 0);
        setCard(4, 0, -1);
        fill(kFloor);
        g.partyX = 20;
        g.partyY = 12;
        seedRandomState(g.io.rng, 7);
    }
    void setCard(int card, int rowStep, int columnStep) {
        g.rose.set(card, 1, rowStep);
        g.rose.set(card, 2, columnStep);
    }
    void fill(int32_t code) {
        for (int x = 2; x <= 39; ++x)
            for (int y = 2; y <= 24; ++y) g.levelMap.set(x, y, code);
    }
    uint64_t turn() {
        const uint64_t before = g.io.rng.draws;
        monsterTurn(g);
        return g.io.rng.draws - before;
    }
    uint64_t step(int mx, int my, int direction, int mode) {
        const uint64_t before = g.io.rng.draws;
        monsterStep(g, mx, my, direction, mode);
        return g.io.rng.draws - before;
    }
};

TEST_F(MonsterTest, RangeZeroScansOnlyThePartysCell) {
    setActiveStat(g, kRange, 0);
    g.levelMap.set(21, 12, kSnake);
    EXPECT_EQ(turn(), 0u);
    EXPECT_EQ(g.levelMap.get(21, 12), kSnake);
    g.levelMap.set(20, 12, kSnake);  // sharing the party's cell
    EXPECT_EQ(turn(), 2u);
    EXPECT_EQ(g.levelMap.get(20, 12), kFloor);  // every neighbour is floor: it left
    EXPECT_EQ(g.levelMap.get(21, 12), kSnake);
}

TEST_F(MonsterTest, NegativeRangeScansNothing) {
    setActiveStat(g, kRange, -3);
    g.levelMap.set(20, 12, kOrc);
    EXPECT_EQ(turn(), 0u);
    EXPECT_EQ(g.levelMap.get(20, 12), kOrc);
}

TEST_F(MonsterTest, WindowIsClippedToThePlayableArea) {
    // A huge range from a corner scans the whole area without leaving it.
    setActiveStat(g, kRange, 2147483647);
    g.partyX = 2;
    g.partyY = 2;
    g.levelMap.set(39, 24, kShadow);
    g.levelMap.set(39, 23, kRock);
    g.levelMap.set(38, 24, kRock);
    EXPECT_EQ(turn(), 2u);  // found; every way out is rock or outside
    EXPECT_EQ(g.levelMap.get(39, 24), kShadow);
    EXPECT_EQ(g.levelMap.get(40, 24), 0);
    EXPECT_EQ(g.levelMap.get(39, 25), 0);
}

TEST_F(MonsterTest, EveryKindDrawsDirectionThenModeEvenTheShadow) {
    const int32_t kinds[] = {kSnake, kOrc, kViperess, kZombie, kShadow};
    for (int32_t code : kinds) {
        fill(kRock);
        g.levelMap.set(22, 12, code);  // boxed in: the draws alone show
        EXPECT_EQ(turn(), 2u) << code;
        EXPECT_EQ(g.levelMap.get(22, 12), code);
    }
}

TEST_F(MonsterTest, ChaseModesFollowTheParty) {
    g.levelMap.set(20, 5, kZombie);
    EXPECT_EQ(step(20, 5, 4, 1), 0u);  // party below: down, whatever the card
    EXPECT_EQ(g.levelMap.get(20, 6), kZombie);
    EXPECT_EQ(g.levelMap.get(20, 5), kFloor);

    g.levelMap.set(30, 12, kOrc);
    step(30, 12, 2, 2);  // party to the left
    EXPECT_EQ(g.levelMap.get(29, 12), kOrc);

    g.levelMap.set(25, 20, kSnake);  // 8 rows away, 5 columns: the rows win
    step(25, 20, 2, 3);
    EXPECT_EQ(g.levelMap.get(25, 19), kSnake);

    g.levelMap.set(10, 14, kViperess);  // 2 rows away, 10 columns
    step(10, 14, 1, 3);
    EXPECT_EQ(g.levelMap.get(11, 14), kViperess);
}

TEST_F(MonsterTest, LevelWithThePartyTheRandomCardStands) {
    g.levelMap.set(25, 12, kViperess);  // on the party's row, mode 1
    EXPECT_EQ(step(25, 12, 2, 1), 0u);
    EXPECT_EQ(g.levelMap.get(26, 12), kViperess);
    g.levelMap.set(20, 18, kSnake);  // in the party's column, mode 2
    step(20, 18, 3, 2);
    EXPECT_EQ(g.levelMap.get(20, 19), kSnake);
    g.levelMap.set(5, 5, kShadow);  // mode 4 wanders
    step(5, 5, 1, 4);
    EXPECT_EQ(g.levelMap.get(5, 4), kShadow);
}

TEST_F(MonsterTest, DiagonalTieDrawsOneAxis) {
    for (int seed = 1; seed <= 8; ++seed) {
        fill(kFloor);
        seedRandomState(g.io.rng, seed);
        Random copy = g.io.rng;
        const int axis = randomBelow(copy, 2) + 1;
        g.levelMap.set(23, 15, kZombie);  // three down and three right
        EXPECT_EQ(step(23, 15, 3, 3), 1u);
        // Mode 1 chases up the rows, mode 2 left along the columns.
        EXPECT_EQ(g.levelMap.get(23, 14), axis == 1 ? kZombie : kFloor);
        EXPECT_EQ(g.levelMap.get(22, 15), axis == 2 ? kZombie : kFloor);
    }
}

TEST_F(MonsterTest, OnlyFloorIsEntered) {
    const int32_t blockers[] = {kOpenDoor, kLockedDoor, kGate, kThinWall, kStairs, kGold, kOrc, kRock, kShop};
    for (int32_t blocker : blockers) {
        g.levelMap.set(10, 10, kSnake);
        g.levelMap.set(11, 10, blocker);
        step(10, 10, 2, 0);
        EXPECT_EQ(g.levelMap.get(10, 10), kSnake) << blocker;
        EXPECT_EQ(g.levelMap.get(11, 10), blocker);
    }
}

TEST_F(MonsterTest, ACardOutsideTheTableIsNoStep) {
    g.levelMap.set(10, 10, kOrc);
    EXPECT_EQ(step(10, 10, 0, 0), 0u);
    EXPECT_EQ(g.levelMap.get(10, 10), kOrc);
}

TEST_F(MonsterTest, MonstersMayShareThePartysCell) {
    g.levelMap.set(20, 11, kSnake);
    step(20, 11, 1, 1);  // chases down onto the party
    EXPECT_EQ(g.levelMap.get(20, 12), kSnake);
}

TEST_F(MonsterTest, SteppingDownIsMetAgainSteppingUpIsNot) {
    // Every card means "down"; the party sits below, so chasing agrees.
    g.rose.resize(0, 4, 1, 2);
    for (int card = 0; card <= 4; ++card) setCard(card, 1, 0);
    fill(kRock);
    for (int y = 8; y <= 13; ++y) g.levelMap.set(20, y, kFloor);
    g.levelMap.set(20, 8, kSnake);
    g.partyX = 20;
    g.partyY = 14;
    setActiveStat(g, kRange, 10);
    // Found at rows 8..13: five steps, then stuck on rock at 14.
    EXPECT_EQ(turn(), 12u);
    EXPECT_EQ(g.levelMap.get(20, 13), kSnake);
    for (int y = 8; y <= 12; ++y) EXPECT_EQ(g.levelMap.get(20, y), kFloor);

    for (int card = 0; card <= 4; ++card) setCard(card, -1, 0);
    g.partyY = 2;
    g.levelMap.set(20, 2, kFloor);
    setActiveStat(g, kRange, 11);
    EXPECT_EQ(turn(), 2u);
    EXPECT_EQ(g.levelMap.get(20, 12), kSnake);
}

TEST_F(MonsterTest, OnlySeenCellsAreRedrawn) {
    g.levelMap.set(10, 10, kSnake);
    const uint64_t blank = test::pageHash(g.io.screen, 0);
    step(10, 10, 2, 0);
    EXPECT_EQ(g.levelMap.get(11, 10), kSnake);
    EXPECT_EQ(test::pageHash(g.io.screen, 0), blank);
    g.seenMap.set(11, 10, 1);
    step(11, 10, 2, 0);
    EXPECT_NE(test::pageHash(g.io.screen, 0), blank);
    EXPECT_EQ(g.cursorX, 11);  // left on the cell the monster came from
    EXPECT_EQ(g.cursorY, 10);
}

}  // namespace
}  // namespace delve
