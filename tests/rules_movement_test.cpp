#include <gtest/gtest.h>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/movement.h"
#include "support/support.h"

namespace delve {
namespace {

// A party of one at (10, 10) on floor in a level of rock.
struct MovementTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;

    void SetUp() override {
        setCellClasses(g);
        g.partySize = 7;
        g.activeMember = 1;
        g.statInitial.resize(1, 7, 1, 6);
        g.statCurrent.resize(1, 7, 1, 6);
        for (int s = 1; s <= 6; ++s) g.statInitial.set(1, s, 20);
        setActiveStat(g, kHp, 20);
        setActiveStat(g, kAp, 10);
        setActiveStat(g, kDp, 0);
        setActiveStat(g, kMp, 10);
        setActiveStat(g, kSight, 2);
        for (int x = 2; x <= 39; ++x)
            for (int y = 2; y <= 24; ++y) g.levelMap.set(x, y, kRock);
        placeParty(10, 10);
        seedRandomState(g.io.rng, 1);
    }
    void placeParty(int x, int y) {
        g.partyX = static_cast<float>(x);
        g.partyY = static_cast<float>(y);
        g.levelMap.set(x, y, kFloor);
    }
    // Moves with `key` and returns how many numbers were drawn.
    uint64_t move(const std::string& key) {
        const uint64_t before = g.io.rng.draws;
        g.lastKey = key;
        moveParty(g);
        return g.io.rng.draws - before;
    }
    void expectParty(int x, int y) {
        EXPECT_EQ(g.partyX, static_cast<float>(x));
        EXPECT_EQ(g.partyY, static_cast<float>(y));
    }
};

// The first seed from 1 on whose fresh generator satisfies `wanted`.
template <class Wanted>
double seedWhere(Wanted wanted) {
    for (int seed = 1; seed < 200000; ++seed) {
        Random r;
        seedRandomState(r, seed);
        if (wanted(r)) return seed;
    }
    ADD_FAILURE() << "no seed found";
    return 1;
}

TEST_F(MovementTest, PlainStepsDrawTheForceRollAndWallCostOnly) {
    g.levelMap.set(11, 10, kFloor);
    g.levelMap.set(12, 10, kStairs);
    g.levelMap.set(12, 11, kOpenDoor);
    g.levelMap.set(12, 12, kGold);
    g.levelMap.set(11, 12, kShop);  // rock to every rule but this step
    EXPECT_EQ(move("6"), 4u);
    expectParty(11, 10);
    EXPECT_EQ(move("6"), 4u);
    expectParty(12, 10);
    EXPECT_EQ(move("2"), 4u);
    expectParty(12, 11);
    EXPECT_EQ(move("2"), 4u);
    expectParty(12, 12);
    EXPECT_EQ(g.levelMap.get(12, 12), kGold);  // items wait for the space bar
    EXPECT_EQ(move("4"), 4u);
    expectParty(11, 12);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(MovementTest, RockTheEdgeAndOtherKeysStopTheParty) {
    EXPECT_EQ(move("8"), 4u);  // rock: only the always-made draws
    EXPECT_EQ(move("x"), 0u);
    expectParty(10, 10);
    EXPECT_EQ(g.messageLine, "");
    placeParty(10, 2);
    g.levelMap.set(10, 1, kFloor);  // outside, even if something wrote there
    move("8");
    expectParty(10, 2);
    placeParty(39, 5);
    g.levelMap.set(40, 5, kShop);
    move("6");
    expectParty(39, 5);
}

TEST_F(MovementTest, LockedDoorWithoutKeysCostsNothing) {
    g.levelMap.set(10, 11, kLockedDoor);
    EXPECT_EQ(move("2"), 4u);
    EXPECT_EQ(g.messageLine, "[Door is locked]");
    EXPECT_EQ(g.keys, 0);
    EXPECT_EQ(g.levelMap.get(10, 11), kLockedDoor);
    expectParty(10, 10);
}

TEST_F(MovementTest, LockedDoorWithAKeyOpensAndIsSeen) {
    g.keys = 2;
    g.levelMap.set(10, 11, kLockedDoor);
    EXPECT_EQ(move("2"), 4u);
    EXPECT_EQ(g.messageLine, "[Unlocked door][Used 1 Key]");
    EXPECT_EQ(g.keys, 1);
    EXPECT_EQ(g.levelMap.get(10, 11), kOpenDoor);
    EXPECT_EQ(g.seenMap.get(10, 11), 1);
    expectParty(10, 10);
    move("2");  // now an ordinary open door
    expectParty(10, 11);
    EXPECT_EQ(g.keys, 1);
}

TEST_F(MovementTest, GateWithApZeroNeverGivesWayButAlwaysHurts) {
    setActiveStat(g, kAp, 0);
    g.levelMap.set(11, 10, kGate);
    for (int seed = 1; seed <= 40; ++seed) {
        seedRandomState(g.io.rng, seed);
        Random copy = g.io.rng;
        const int damage = randomBelow(copy, 4);
        const int32_t hp = activeStat(g, kHp);
        EXPECT_EQ(move("6"), 5u);
        EXPECT_EQ(g.messageLine, "[Couldn't force gate][Hp -" + std::to_string(damage) + "]");
        EXPECT_EQ(activeStat(g, kHp), hp - damage);
        EXPECT_EQ(g.levelMap.get(11, 10), kGate);
        expectParty(10, 10);
    }
}

TEST_F(MovementTest, ForcedGateBecomesFloorAndThePartyStays) {
    setActiveStat(g, kAp, 20);
    g.levelMap.set(11, 10, kGate);
    seedRandomState(g.io.rng, seedWhere([](Random& r) {
        const int damage = randomBelow(r, 4);
        const int a = randomBelow(r, 20) + 1;
        const int b = randomBelow(r, 40);
        const int c = randomBelow(r, 10);
        return damage > 0 && a > b + c + 2;
    }));
    Random copy = g.io.rng;
    const int damage = randomBelow(copy, 4);
    EXPECT_EQ(move("6"), 5u);
    EXPECT_EQ(g.messageLine, "[Forced gate][Hp -" + std::to_string(damage) + "]");
    EXPECT_EQ(activeStat(g, kHp), 20 - damage);
    EXPECT_EQ(g.levelMap.get(11, 10), kFloor);
    EXPECT_EQ(g.seenMap.get(11, 10), 1);
    expectParty(10, 10);
}

TEST_F(MovementTest, HugeApDoesNotOverflowTheForceRoll) {
    setActiveStat(g, kAp, 2147483647);
    g.levelMap.set(11, 10, kGate);
    EXPECT_EQ(move("6"), 5u);
    EXPECT_TRUE(g.messageLine.rfind("[Forced gate]", 0) == 0 || g.messageLine.rfind("[Couldn't force gate]", 0) == 0);
}

TEST_F(MovementTest, ThinWallCostsMpEachTimeAndStaysInPlace) {
    g.levelMap.set(11, 10, kThinWall);
    g.levelMap.set(12, 10, kThinWall);
    g.levelMap.set(13, 10, kFloor);
    for (int x = 11; x <= 12; ++x) {
        Random copy = g.io.rng;
        for (int i = 0; i < 3; ++i) randomBelow(copy, 1);
        const int cost = randomBelow(copy, 3) + 3;
        setActiveStat(g, kMp, 10);
        EXPECT_EQ(move("6"), 4u);
        expectParty(x, 10);
        EXPECT_EQ(activeStat(g, kMp), 10 - cost);
        EXPECT_EQ(g.messageLine, "[Passed through wall][Mp -" + std::to_string(cost) + "]");
        EXPECT_EQ(g.levelMap.get(x, 10), kThinWall);
    }
    g.messageLine.clear();
    EXPECT_EQ(move("6"), 4u);  // off the wall onto floor: free
    expectParty(13, 10);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(MovementTest, ThinWallNeedsTheWholeCost) {
    setActiveStat(g, kMp, 2);
    g.levelMap.set(11, 10, kThinWall);
    EXPECT_EQ(move("6"), 4u);
    expectParty(10, 10);
    EXPECT_EQ(activeStat(g, kMp), 2);
    EXPECT_EQ(g.messageLine, "");
}

TEST_F(MovementTest, SteppingOntoAMonsterBringsAnAttack) {
    setActiveStat(g, kDp, 5);
    g.levelMap.set(11, 10, kOrc);
    Random copy = g.io.rng;
    for (int i = 0; i < 4; ++i) randomBelow(copy, 1);
    int damage = randomBelow(copy, 20);
    damage -= randomBelow(copy, 5);
    if (damage < 0) damage = 0;
    EXPECT_EQ(move("6"), 6u);
    expectParty(11, 10);
    EXPECT_EQ(g.messageLine, "[Attacked by Orc][Hp -" + std::to_string(damage) + "]");
    EXPECT_EQ(activeStat(g, kHp), 20 - damage);
    EXPECT_EQ(g.levelMap.get(11, 10), kOrc);
}

TEST_F(MovementTest, AMonsterUnderThePartyAttacksEvenWhenItCannotMove) {
    setActiveStat(g, kDp, 1000);  // the defence roll always wins
    g.levelMap.set(10, 10, kShadow);
    g.levelMap.set(10, 9, kLockedDoor);
    EXPECT_EQ(move("8"), 6u);
    // The attack's report replaces the door's.
    EXPECT_EQ(g.messageLine, "[Attacked by Shadow][Hp -0]");
    EXPECT_EQ(activeStat(g, kHp), 20);
    expectParty(10, 10);
}

TEST_F(MovementTest, EachMonsterKindReportsItsName) {
    const std::pair<int32_t, std::string> kinds[] = {
        {kSnake, "Snake"}, {kOrc, "Orc"}, {kViperess, "Viperess"}, {kZombie, "Zombie"}, {kShadow, "Shadow"}};
    for (const auto& [code, name] : kinds) {
        g.levelMap.set(10, 10, code);
        move("8");
        EXPECT_EQ(g.messageLine.rfind("[Attacked by " + name + "][Hp -", 0), 0u) << g.messageLine;
    }
}

}  // namespace
}  // namespace delve
