#include <gtest/gtest.h>

#include "data/panels.h"
#include "render/text_printer.h"
#include "rules/status_display.h"
#include "support/support.h"

namespace delve {
namespace {

std::string icon(int code) { return "{{" + std::string(1, static_cast<char>(code)) + "}}"; }

void setUpParty(Game& g) {
    g.partySize = 7;
    g.activeMember = 2;
    g.statInitial.resize(1, 7, 1, 7);
    g.statCurrent.resize(1, 7, 1, 7);
    for (int m = 1; m <= 7; ++m)
        for (int s = 1; s <= 7; ++s) {
            g.statInitial.set(m, s, 20);
            g.statCurrent.set(m, s, 20);
        }
}

struct StatusTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;
    void SetUp() override { setUpParty(g); }
};

TEST_F(StatusTest, RangeStepHoldsTheActiveMembersFirstSixStats) {
    g.statCurrent.set(2, kHp, 25);
    g.statCurrent.set(2, kMp, -1);
    g.statCurrent.set(2, kRange, -2147483647 - 1);
    g.statCurrent.set(2, 7, 99);  // past the sixth: not limited
    g.statCurrent.set(3, kHp, 30);  // not active: kept
    limitActiveStats(g);
    EXPECT_EQ(g.statCurrent.get(2, kHp), 20);
    EXPECT_EQ(g.statCurrent.get(2, kMp), 0);
    EXPECT_EQ(g.statCurrent.get(2, kRange), 0);
    EXPECT_EQ(g.statCurrent.get(2, 7), 99);
    EXPECT_EQ(g.statCurrent.get(3, kHp), 30);
}

TEST_F(StatusTest, RangeStepWithANegativeInitialValueEndsAtZero) {
    g.statInitial.set(2, kDp, -5);
    limitActiveStats(g);
    EXPECT_EQ(g.statCurrent.get(2, kDp), 0);
}

TEST_F(StatusTest, TopSummaryShowsThreeDigitsEach) {
    g.levelNumber = 3;
    g.statCurrent.set(2, kAp, 7);
    g.statCurrent.set(2, kDp, 1234);
    g.statCurrent.set(2, kMp, 0);
    const std::string top = topSummary(g);
    EXPECT_EQ(top, "[" + icon(247) + "003/" + icon(236) + "020/" + icon(231) + "007/{{#}}234/" + icon(241) + "000]");
    EXPECT_EQ(markupCellCount(top), 26);
}

TEST_F(StatusTest, BottomSummaryKeepsTheLowDigits) {
    g.turnCount = 123456;
    g.gold = 1234;
    g.keys = 7;
    const std::string bottom = bottomSummary(g);
    EXPECT_EQ(bottom, "[{{2D}}23456/{{F8}}234/{{6B}}007/{{62}}000]");
    EXPECT_EQ(markupCellCount(bottom), 23);
}

TEST_F(StatusTest, SummariesKeepTheirWidthForExtremeValues) {
    g.levelNumber = 2147483647;
    g.turnCount = 2147483647;
    g.gold = 3.0e38f;
    g.keys = 1.0e20f;
    g.statCurrent.set(2, kHp, 2147483647);
    EXPECT_EQ(markupCellCount(topSummary(g)), 26);
    EXPECT_EQ(markupCellCount(bottomSummary(g)), 23);
    EXPECT_EQ(bottomSummary(g).substr(0, 12), "[{{2D}}83647");
}

TEST_F(StatusTest, DisplayLimitsFirstAndEndsBothSummariesInColumn39) {
    g.statCurrent.set(2, kHp, 25);
    g.messageLine = "[Gold +3]";
    showStatus(g);
    EXPECT_EQ(g.statCurrent.get(2, kHp), 20);

    // The same page drawn by hand: panels, then the summaries from columns
    // 14 and 17.
    test::HeadlessGame expected{dir.path()};
    Game& e = expected.game;
    setUpParty(e);
    e.messageLine = g.messageLine;
    drawStatPanel(e);
    drawSpellPanel(e);
    drawMessagePanel(e, e.messageLine);
    printMarkup(e.io, 1, 14, topSummary(g));
    printMarkup(e.io, 25, 17, bottomSummary(g));
    EXPECT_EQ(test::pageHash(g.io.screen, 0), test::pageHash(e.io.screen, 0));
}

}  // namespace
}  // namespace delve
