// The game's retry loops ("draw again until ...") on the states that make
// them retry the longest, or forever without their bounds, and regression
// tests for what the fuzzers and the soak found.
//
// Longest waits quoted below come from walking the generator's whole cycle
// (2^32 states) once, offline: from any state,
//   - a pair of draws (column of 38, then row of 23) hits a given cell within
//     20,338 pairs (the party's start cell and Warp draw this way);
//   - a pair (row of 23, then column of 38) within 19,192 (the area reveal);
//   - chest rolls of 16 or 17 (r >= 28913) come at most 12 in a row;
//   - floor(R x 7) >= 1 comes at most 133 times in a row (the orb's spell
//     draw), and a given member of seven is missed at most 139 times.
// scripts/generator-model (a model of the generator apart from its code)
// walks the cycle again for the runs (the chest's, the orb's, a member's) and
// with --check replays the states pinned below.
// So each of these loops ends by itself with the game's generator; the caps
// in the code only make that certain for any generator and any state.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "level/level_generator.h"
#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/area_effects.h"
#include "rules/party.h"
#include "rules/pickups.h"
#include "rules/spells.h"
#include "support/support.h"

namespace delve {
namespace {

constexpr uint32_t kMultiplier = 214013u, kIncrement = 2531011u;

// The state whose next draw comes from `state` after `steps` draws back.
uint32_t stepsBefore(uint32_t state, int steps) {
    uint32_t inverse = kMultiplier;  // Newton's iteration for the inverse mod 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - kMultiplier * inverse;
    for (int i = 0; i < steps; ++i) state = (state - kIncrement) * inverse;
    return state;
}

// Seven members of 6 stats and 6 spells, every one standing with 30 of each
// stat; a level of rock; files rooted at an empty folder (placeholders).
struct RetryLoops : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;

    void SetUp() override {
        setCellClasses(g);
        party(7);
        fillLevel(kRock);
        g.partyX = 10;
        g.partyY = 10;
    }
    void party(int size) {
        g.partySize = size;
        g.activeMember = 1;
        g.memberName.resize(1, size);
        for (int m = 1; m <= size; ++m) g.memberName.set(m, "M" + std::to_string(m));
        g.statInitial.resize(1, size, 1, 6);
        g.spellKnown.resize(1, size, 1, 6);
        g.spellExperience.resize(1, size, 1, 6);
        g.spellDifficulty.resize(1, 6);
        g.spellName.resize(1, 6);
        for (int m = 1; m <= size; ++m)
            for (int s = 1; s <= 6; ++s) g.statInitial.set(m, s, 30);
        g.statCurrent = g.statInitial;
    }
    void fillLevel(int32_t code) {
        for (int x = 0; x < kGridColumns; ++x)
            for (int y = 0; y < kGridRows; ++y) g.levelMap.set(x, y, code);
        g.seenMap = {};
    }
    void startAt(uint32_t state) {
        g.io.rng.state = state;
        g.io.rng.draws = 0;
    }
};

TEST_F(RetryLoops, RoomsThatFindNoRockAreLeftOutAfterTheirTries) {
    // "Rock" that classifies as floor: every rectangle drawn lands on open
    // cells, so no room is ever placed.
    g.cellClasses[0] = std::string(1, static_cast<char>(kFloor));
    seedRandomState(g.io.rng, 5);
    LevelReport report;
    makeLevel(g, report);
    EXPECT_TRUE(report.rooms.empty());
    EXPECT_GE(report.roomCount, 26);
    EXPECT_GE(g.io.rng.draws, static_cast<uint64_t>(report.roomCount) * kRoomTries * 4);
    // The level is still whole: the party stands on floor inside the area.
    EXPECT_EQ(g.levelMap.get(partyColumn(g), partyRow(g)), kFloor);
}

TEST_F(RetryLoops, PartyStartWithoutFloorGivesUpAfterItsTries) {
    // A floor class holding only the stairs (which are never picked) leaves
    // every room rock: the level has no floor cell for the party.
    g.cellClasses[1] = std::string(1, static_cast<char>(kStairs));
    seedRandomState(g.io.rng, 9);
    LevelReport report;
    makeLevel(g, report);
    EXPECT_TRUE(report.partyFallback);
    EXPECT_FALSE(report.rooms.empty());
    for (int x = 0; x < kGridColumns; ++x)
        for (int y = 0; y < kGridRows; ++y) ASSERT_NE(g.levelMap.get(x, y), kFloor) << x << "," << y;
    EXPECT_GE(g.io.rng.draws, uint64_t{2} * kPartyTries);
    EXPECT_GE(partyColumn(g), 2);
    EXPECT_LE(partyColumn(g), 39);
    EXPECT_GE(partyRow(g), 2);
    EXPECT_LE(partyRow(g), 24);
}

TEST_F(RetryLoops, WarpWithNowhereToLandIsRefusedWithoutADraw) {
    // Rock everywhere, and floor that was already seen: no landing cell.
    g.levelMap.set(12, 12, kFloor);
    g.seenMap.set(12, 12, 1);
    startAt(77);
    warp(g, 7);
    EXPECT_EQ(g.io.rng.draws, 0u);
    EXPECT_EQ(activeStat(g, kMp), 30);
    EXPECT_EQ(g.messageLine, "");
    EXPECT_EQ(partyColumn(g), 10);
}

TEST_F(RetryLoops, AreaRevealWithoutAnOpenCellRevealsNothing) {
    startAt(3);
    areaReveal(g);
    EXPECT_EQ(g.io.rng.draws, 0u);
    EXPECT_EQ(g.seenCellCount, 0);
    EXPECT_EQ(g.mappedCellCount, 0);
}

TEST_F(RetryLoops, ChestRerollsWhileNobodyCanJoinThenGivesAnOrdinaryReward) {
    // Everyone stands, so a roll of 16 or 17 rolls again; this state starts
    // the longest such run the generator has: twelve in a row.
    g.levelMap.set(10, 10, kChest);
    startAt(702585317u);
    pickUpChest(g);
    EXPECT_GE(g.io.rng.draws, 13u);
    EXPECT_LE(g.io.rng.draws, 14u);  // the thirteenth roll, then its amount
    EXPECT_EQ(g.messageLine.find("joined"), std::string::npos);
    EXPECT_NE(g.messageLine, "");
    EXPECT_EQ(g.levelMap.get(10, 10), kFloor);
}

TEST_F(RetryLoops, JoinDrawThatCanNeverHitTheFallenMemberTakesItAfterItsTries) {
    // With 40000 members the draw floor(R x 40000) + 1 never gives 6 (the
    // values jump 5, 7, ...), and member 6 is the only one fallen.
    party(40000);
    g.statCurrent.set(6, kHp, 0);
    startAt(4);
    EXPECT_EQ(joinMembers(g), 1);
    EXPECT_EQ(g.lastJoinedMember, 6);
    EXPECT_EQ(g.statCurrent.get(6, kHp), 30);
    EXPECT_EQ(g.messageLine, "[M6 joined!]");
}

TEST_F(RetryLoops, OrbWithEverySpellAtItsCeilingDrawsUntilNoSpell) {
    for (int k = 1; k <= 6; ++k) {
        g.spellDifficulty.set(k, 8);
        g.spellKnown.set(1, k, 1);
        g.spellExperience.set(1, k, 8);
    }
    g.levelMap.set(10, 10, kMysticOrb);
    // Five stat and gold shifts, then the longest run of spell draws of 1
    // to 6 (133), ended by a 0.
    startAt(stepsBefore(187785708u, 5));
    pickUpMysticOrb(g);
    EXPECT_EQ(g.io.rng.draws, 5u + 133u + 1u);
    EXPECT_EQ(g.messageLine, "[Mystic Orb]");
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(g.spellExperience.get(1, k), 8);
}

TEST_F(RetryLoops, OrbInAGameWithoutSpellsEnds) {
    // No spell table at all: every spell's experience and difficulty read 0,
    // so every spell counts as at its ceiling.
    g.spellDifficulty.resize(1, 0);
    g.spellKnown.resize(1, 7, 1, 0);
    g.spellExperience.resize(1, 7, 1, 0);
    g.levelMap.set(10, 10, kMysticOrb);
    startAt(stepsBefore(187785708u, 5));
    pickUpMysticOrb(g);
    EXPECT_EQ(g.io.rng.draws, 5u + 133u + 1u);
    EXPECT_EQ(g.messageLine, "[Mystic Orb]");
}

}  // namespace
}  // namespace delve
