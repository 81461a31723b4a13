// Reading the game definition, and the overview it draws before the title.
#include <gtest/gtest.h>

#include "data/game_definition.h"
#include "render/tile_drawing.h"
#include "support/support.h"

namespace delve {
namespace {

using test::HeadlessGame;
using test::ScratchDir;

// An 8 by 8 tile whose first pixel is `colour`, the rest colour 0.
std::string markedTile(int colour) {
    std::string bytes = {static_cast<char>(0xFD), 0, 0, 0, 0, 0, 0, 8, 0, 8, 0};
    for (int y = 0; y < 8; ++y)
        for (int plane = 0; plane < 4; ++plane)
            bytes += static_cast<char>(y == 0 && (colour & (1 << plane)) ? 0x80 : 0);
    return bytes;
}

class DefinitionTest : public ::testing::Test {
protected:
    void load(std::string text, const std::string& keys = "k") {
        parseStoreText(text, g.gameData);
        h.backend.addKeys(keys);
        loadGameDefinition(g);
    }
    // The colour of the first pixel of a cell on the shown page.
    int firstPixel(int column, int row) const {
        const Screen& s = h.platform.screen;
        return s.pages[1][static_cast<size_t>(16 * (row - 1)) * s.width + 16 * (column - 1)];
    }

    ScratchDir dir;
    HeadlessGame h{dir.path()};
    Game& g = h.game;
};

TEST_F(DefinitionTest, PropertiesAreKeyedByTheMembersDisplayName) {
    load("party/count=2\r\nparty/1/name=ann\r\nparty/2/name=\"red mage\"\r\n"
         "party/2/image=nope\r\nparty/ANN/image=AnnA\r\nparty/red mage/image=rmag\r\n"
         "stat/count=1\r\nstat/1/name=\"hit points\"\r\n"
         "party/Red Mage/stat/Hit Points/current=5\r\nparty/ann/stat/hit points/initial=9\r\n"
         "spell/count=1\r\nspell/1/name=fire\r\nparty/RED MAGE/spell/FIRE/knw=1\r\nparty/ann/spell/fire/exp=3");
    EXPECT_EQ(g.memberName.get(1), "Ann");
    EXPECT_EQ(g.memberName.get(2), "Red Mage");
    EXPECT_EQ(g.memberImage.get(1), "anna");  // as looked up: lower case
    EXPECT_EQ(g.memberImage.get(2), "rmag");
    EXPECT_EQ(g.statName.get(1), "Hit Points");
    EXPECT_EQ(g.statCurrent.get(2, 1), 5);
    EXPECT_EQ(g.statInitial.get(1, 1), 9);
    EXPECT_EQ(g.spellKnown.get(2, 1), 1);
    EXPECT_EQ(g.spellExperience.get(1, 1), 3);
    EXPECT_EQ(g.spellKnown.get(1, 1), 0);
}

TEST_F(DefinitionTest, DirectionTableHasItsOwnBoundsAndNegativeKeys) {
    load("rose/card/min=-1\r\nrose/card/max=1\r\nrose/axis/min=0\r\nrose/axis/max=2\r\n"
         "rose(-1,0)=7\r\nrose(1,2)=-1\r\nrose(0,1)=2.5\r\nrose(0,2)=3.5\r\nrose(1,02)=9");
    EXPECT_EQ(g.roseCardMin, -1);
    EXPECT_EQ(g.roseAxisMax, 2);
    EXPECT_EQ(g.rose.get(-1, 0), 7);
    EXPECT_EQ(g.rose.get(1, 2), -1);  // rose(1,02) is another key, never read
    EXPECT_EQ(g.rose.get(0, 1), 2);
    EXPECT_EQ(g.rose.get(0, 2), 4);
    EXPECT_EQ(g.rose.get(2, 1), 0);  // outside the table: no step
}

TEST_F(DefinitionTest, IntegersRoundHalvesToEvenAndMissingKeysReadAsZero) {
    load("spell/count=3\r\nspell/1/name=fire\r\nspell/2/name=ice\r\nspell/3/name=mud\r\n"
         "spell/Fire/difficulty=2.5\r\nspell/ICE/difficulty=3.5\r\nspell/mud/difficulty=seven");
    EXPECT_EQ(g.spellDifficulty.get(1), 2);
    EXPECT_EQ(g.spellDifficulty.get(2), 4);
    EXPECT_EQ(g.spellDifficulty.get(3), 0);
    EXPECT_EQ(g.partyCount, 0);
    EXPECT_EQ(g.memberName.get(1), "");  // no members: every read is empty
}

TEST_F(DefinitionTest, CountsAndBoundsAreHeldSoATypoCannotExhaustMemory) {
    load("party/count=70000\r\nstat/count=100\r\nspell/count=-3\r\n"
         "rose/card/min=-5000\r\nrose/card/max=100000\r\nrose/axis/min=1\r\nrose/axis/max=1\r\nrose(99,1)=1");
    EXPECT_EQ(g.partyCount, 99);
    EXPECT_EQ(g.statCount, 99);
    EXPECT_EQ(g.spellCount, -3);
    EXPECT_EQ(g.memberName.get(99), "%%");
    EXPECT_EQ(g.memberName.get(100), "");
    EXPECT_EQ(g.spellName.get(1), "");
    EXPECT_EQ(g.roseCardMin, -99);
    EXPECT_EQ(g.roseCardMax, 99);
    EXPECT_EQ(g.rose.get(99, 1), 1);
}

TEST_F(DefinitionTest, TheKeyThatEndsTheOverviewStaysQueued) {
    load("party/count=1\r\nparty/1/name=ann", "@x");
    EXPECT_EQ(h.backend.keysLeft(), 1u);  // only the one key was needed
    EXPECT_EQ(readKey(h.platform), "@");
    EXPECT_EQ(h.backend.windowWidth(), 960);
    EXPECT_EQ(h.platform.screen.workPage, 0);
    EXPECT_EQ(h.platform.screen.visiblePage, 1);
    EXPECT_EQ(test::pageHash(h.platform.screen, 0), test::pageHash(h.platform.screen, 1));
}

TEST_F(DefinitionTest, OverviewPlacesEveryValue) {
    for (int code = 33; code <= 126; ++code) dir.write("tiles/font/font_" + threeDigits(code) + ".til", markedTile(code % 15 + 1));
    dir.write("tiles/party/ANNA_001.TIL", markedTile(14));
    dir.write("tiles/party/BOBO_001.TIL", markedTile(13));
    const int A = 'A' % 15 + 1, B = 'B' % 15 + 1, H = 'H' % 15 + 1, F = 'F' % 15 + 1, N = 'N' % 15 + 1;
    const int one = '1' % 15 + 1, five = '5' % 15 + 1, zero = '0' % 15 + 1, minus = '-' % 15 + 1;
    load("party/count=2\r\nparty/1/name=ann\r\nparty/2/name=bob\r\nparty/ann/image=anna\r\nparty/bob/image=bobo\r\n"
         "stat/count=1\r\nstat/1/name=hp\r\nspell/count=1\r\nspell/1/name=fire\r\nspell/fire/difficulty=5\r\n"
         "party/ann/spell/fire/knw=10\r\nparty/ann/spell/fire/exp=5\r\nparty/bob/stat/hp/initial=12\r\n"
         "rose/card/min=1\r\nrose/card/max=1\r\nrose/axis/min=1\r\nrose/axis/max=1\r\nrose(1,1)=-1\r\nrose/key/1=north");

    EXPECT_EQ(firstPixel(1, 1), 14);  // portraits in column 1, one row per member
    EXPECT_EQ(firstPixel(1, 2), 13);
    EXPECT_EQ(firstPixel(3, 1), A);   // names from column 3
    EXPECT_EQ(firstPixel(3, 2), B);
    EXPECT_EQ(firstPixel(15, 1), H);  // stats at column 15
    EXPECT_EQ(firstPixel(25, 1), F);  // spells at 25, difficulty at 35
    EXPECT_EQ(firstPixel(35, 1), five);
    // Knowledge 10 then experience 5 in the same three cells from column 7:
    // the blanks of "  5" leave the "1" of " 10" in sight.
    EXPECT_EQ(firstPixel(7, 11), 0);
    EXPECT_EQ(firstPixel(8, 11), one);
    EXPECT_EQ(firstPixel(9, 11), five);
    EXPECT_EQ(firstPixel(14, 21), 0);  // member 2's Hp: initial 12, current 0
    EXPECT_EQ(firstPixel(15, 21), one);
    EXPECT_EQ(firstPixel(16, 21), zero);
    EXPECT_EQ(firstPixel(27, 42), minus);  // rose(1,1) at row 42, column 27
    EXPECT_EQ(firstPixel(28, 42), one);
    EXPECT_EQ(firstPixel(27, 40), N);  // its name at row 40
}

// The shipped definition: what the rules rely on and what makes a game.
TEST(ShippedDefinition, GivesTheRulesWhatTheyNeed) {
    ScratchDir dir;
    HeadlessGame h(dir.path(), "k");
    Game& g = h.game;
    h.platform.files.root = DELVE_SOURCE_DIR;
    loadStoreFile(h.platform.files, "res\\gamedata.dat", g.gameData);
    h.platform.files.root = dir.path();  // the overview's tiles are not needed here
    loadGameDefinition(g);

    ASSERT_EQ(g.partyCount, 7);
    const char* names[] = {"Garran", "Wynne", "Tobin", "Serafi", "Korvash", "Lisbet", "Odomar"};
    const char* images[] = {"garr", "wynn", "tobi", "sera", "korv", "lisb", "odom"};
    for (int m = 1; m <= 7; ++m) {
        EXPECT_EQ(g.memberName.get(m), names[m - 1]);
        EXPECT_EQ(g.memberImage.get(m), images[m - 1]);
        EXPECT_EQ(g.statCurrent.get(m, kHp), 0) << names[m - 1] << " starts fallen";
        EXPECT_GT(g.statInitial.get(m, kHp), 0);
        EXPECT_GE(g.statInitial.get(m, kSight), 4) << "sight of a few cells";
        EXPECT_GE(g.statInitial.get(m, kRange), 3) << "monsters come from a distance";
        for (int k = 1; k <= 6; ++k) {
            if (g.spellKnown.get(m, k) <= 0) continue;
            EXPECT_GE(g.statInitial.get(m, kMp), 4) << names[m - 1] << " can cast once";
            EXPECT_GT(g.spellExperience.get(m, k), 0) << "a known spell can grow";
            EXPECT_LE(g.spellExperience.get(m, k), g.spellDifficulty.get(k));
        }
    }
    const char* stats[] = {"Hp", "Ap", "Dp", "Mp", "Sight", "Range"};
    const char* spells[] = {"Warp", "Vision", "Tinker", "Passage", "Heal", "Flare"};
    ASSERT_EQ(g.statCount, 6);
    ASSERT_EQ(g.spellCount, 6);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(g.statName.get(i), stats[i - 1]);
        EXPECT_EQ(g.spellName.get(i), spells[i - 1]);
        EXPECT_GT(g.spellDifficulty.get(i), 0);
    }
    // Cards 1 to 4 are up, right, down and left: (row, column) offsets.
    const int steps[4][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(g.rose.get(c, 1), steps[c - 1][0]) << c;
        EXPECT_EQ(g.rose.get(c, 2), steps[c - 1][1]) << c;
    }
    EXPECT_GE(readInteger(lookupValue("randomizer", g.gameData)), 10000);
    EXPECT_LE(toDisplayName(lookupValue("gametitle", g.gameData)).size() + 4, 38u);
}

}  // namespace
}  // namespace delve
