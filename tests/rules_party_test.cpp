#include <gtest/gtest.h>

#include "platform/random.h"
#include "rules/party.h"
#include "support/support.h"

namespace delve {
namespace {

// Seven members, A to G, with 20 Hp each and seven stats; member 1 active.
struct PartyTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;

    void SetUp() override {
        g.partySize = 7;
        g.activeMember = 1;
        g.memberName.resize(1, 7);
        g.statInitial.resize(1, 7, 1, 7);
        g.statCurrent.resize(1, 7, 1, 7);
        g.spellKnown.resize(1, 7, 1, 6);
        g.spellExperience.resize(1, 7, 1, 6);
        for (int m = 1; m <= 7; ++m) {
            g.memberName.set(m, std::string(1, static_cast<char>('A' + m - 1)));
            for (int s = 1; s <= 7; ++s) {
                g.statInitial.set(m, s, 20 + s);
                g.statCurrent.set(m, s, 20 + s);
            }
        }
        seedRandomState(g.io.rng, 11);
    }
    void fell(int m, int hp = 0) { g.statCurrent.set(m, kHp, hp); }
    void onlyStanding(std::initializer_list<int> members) {
        for (int m = 1; m <= 7; ++m) fell(m);
        for (int m : members) g.statCurrent.set(m, kHp, 5);
    }
};

TEST_F(PartyTest, StandingMeansHpAboveZero) {
    fell(2, 0);
    fell(3, -4);
    EXPECT_TRUE(isStanding(g, 1));
    EXPECT_FALSE(isStanding(g, 2));
    EXPECT_FALSE(isStanding(g, 3));
    EXPECT_FALSE(isStanding(g, 8));  // past the roster
}

TEST_F(PartyTest, AloneTheActiveMemberCannotSwitch) {
    onlyStanding({4});
    g.activeMember = 4;
    switchMember(g, '+');
    switchMember(g, '-');
    EXPECT_EQ(g.activeMember, 4);
    EXPECT_EQ(g.messageLine, "");
    EXPECT_EQ(g.io.rng.draws, 1u);  // only the seeding's
}

TEST_F(PartyTest, BothDirectionsSkipFallenMembersAndWrap) {
    onlyStanding({1, 3});
    switchMember(g, '+');
    EXPECT_EQ(g.activeMember, 3);
    EXPECT_EQ(g.messageLine, "[Switched to C]");
    g.activeMember = 1;
    switchMember(g, '-');  // 7, 6, 5, 4 have fallen
    EXPECT_EQ(g.activeMember, 3);

    onlyStanding({2, 7});
    g.activeMember = 7;
    switchMember(g, '+');
    EXPECT_EQ(g.activeMember, 2);
    switchMember(g, '-');
    EXPECT_EQ(g.activeMember, 7);
}

TEST_F(PartyTest, LeavingAFallenMemberReportsTheLoss) {
    onlyStanding({5});
    g.activeMember = 2;  // Hp exactly 0
    switchMember(g, '+');
    EXPECT_EQ(g.messageLine, "[Switched to E][Lost B]");
    EXPECT_EQ(g.activeMember, 5);

    fell(5, -2);  // only a Hp of exactly 0 is reported lost
    g.statCurrent.set(1, kHp, 9);
    switchMember(g, '+');
    EXPECT_EQ(g.messageLine, "[Switched to A]");
}

TEST_F(PartyTest, ActiveMemberOutsideTheRosterStillEnds) {
    onlyStanding({});
    g.activeMember = 0;
    switchMember(g, '+');
    switchMember(g, '-');
    EXPECT_EQ(g.activeMember, 0);
    g.statCurrent.set(6, kHp, 1);
    switchMember(g, '-');
    EXPECT_EQ(g.activeMember, 6);
}

TEST_F(PartyTest, NobodyJoinsWhenEveryoneStands) {
    g.messageLine = "[Earlier]";
    EXPECT_EQ(joinMembers(g), 0);
    EXPECT_EQ(g.messageLine, "[Earlier]");
    EXPECT_EQ(g.io.rng.draws, 1u);
    EXPECT_EQ(g.lastJoinedMember, 0);
}

TEST_F(PartyTest, TheOneFallenMemberJoinsRestored) {
    fell(6);
    g.statCurrent.set(6, kMp, 1);
    g.statCurrent.set(6, 7, 3);  // past the sixth stat: kept
    g.spellKnown.set(6, 2, 1);
    g.spellExperience.set(6, 2, 14);
    g.spellExperience.set(6, 3, 14);  // not known: kept
    Random copy = g.io.rng;
    randomBelow(copy, 1);
    uint64_t memberDraws = 1;
    while (randomBelow(copy, 7) + 1 != 6) ++memberDraws;

    const uint64_t before = g.io.rng.draws;
    EXPECT_EQ(joinMembers(g), 1);
    EXPECT_EQ(g.io.rng.draws - before, 1 + memberDraws);
    EXPECT_EQ(g.messageLine, "[F joined!]");
    EXPECT_EQ(g.lastJoinedMember, 6);
    for (int s = 1; s <= 6; ++s) EXPECT_EQ(g.statCurrent.get(6, s), 20 + s);
    EXPECT_EQ(g.statCurrent.get(6, 7), 3);
    EXPECT_EQ(g.spellExperience.get(6, 2), 10);
    EXPECT_EQ(g.spellExperience.get(6, 3), 14);
}

TEST_F(PartyTest, TwoJoinWithBothNames) {
    for (int seed = 1; seed <= 30; ++seed) {
        onlyStanding({1});
        seedRandomState(g.io.rng, seed);
        Random copy = g.io.rng;
        const int count = randomBelow(copy, 2) + 1;
        EXPECT_EQ(joinMembers(g), count);
        int back = 0;
        for (int m = 2; m <= 7; ++m) back += isStanding(g, m);
        EXPECT_EQ(back, count);
        const std::string last = g.memberName.get(static_cast<int>(g.lastJoinedMember));
        EXPECT_TRUE(isStanding(g, static_cast<int>(g.lastJoinedMember)));
        if (count == 2) {
            ASSERT_EQ(g.messageLine.size(), std::string("[X+Y joined!]").size()) << g.messageLine;
            EXPECT_EQ(g.messageLine[2], '+');
            EXPECT_EQ(g.messageLine.substr(3, 1), last);
        } else {
            EXPECT_EQ(g.messageLine, "[" + last + " joined!]");
        }
    }
}

TEST_F(PartyTest, AShortRosterPlaysWithoutTouchingMissingMembers) {
    // A definition of three members: slots 4..7 read as fallen and nameless.
    g.memberName.resize(1, 3);
    g.statInitial.resize(1, 3, 1, 6);
    g.statCurrent.resize(1, 3, 1, 6);
    for (int m = 1; m <= 3; ++m) g.statCurrent.set(m, kHp, 5);
    const int count = joinMembers(g);
    EXPECT_GE(count, 1);
    EXPECT_GT(g.lastJoinedMember, 3);
    EXPECT_EQ(g.statCurrent.get(static_cast<int>(g.lastJoinedMember), kHp), 0);
    switchMember(g, '+');
    EXPECT_EQ(g.activeMember, 2);
}

}  // namespace
}  // namespace delve
