// The stat, spell and message panels, read back from the headless screen.
// Every tile of the scratch folder is written so that its top-left pixels
// name it: a font tile shows its character code in its first two pixels and
// kind 1 in the third, a map tile the same with kind 2, a portrait its
// number with kind 3. Reading those pixels at a cell tells what was drawn.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/panels.h"
#include "render/tile_drawing.h"
#include "support/support.h"

namespace delve {
namespace {

using test::HeadlessGame;
using test::ScratchDir;

enum Kind { kNothing = 0, kFont = 1, kMap = 2, kPortrait = 3 };

std::string tileFile(int high, int low, int kind) {
    std::string bytes = {static_cast<char>(0xFD), 0, 0, 0, 0, 0, 0, 8, 0, 8, 0};
    const int first[3] = {high, low, kind};
    for (int y = 0; y < 8; ++y)
        for (int plane = 0; plane < 4; ++plane) {
            int bits = 0;
            if (y == 0)
                for (int x = 0; x < 3; ++x)
                    if (first[x] & (1 << plane)) bits |= 0x80 >> x;
            bytes += static_cast<char>(bits);
        }
    return bytes;
}

void writeTiles(const ScratchDir& dir) {
    for (int code = 0; code < 256; ++code) {
        dir.write("tiles/font/font_" + threeDigits(code) + ".til", tileFile(code >> 4, code & 15, kFont));
        dir.write("tiles/map/map_" + threeDigits(code) + ".til", tileFile(code >> 4, code & 15, kMap));
    }
    const char* stems[] = {"anna", "bobo", "cora"};
    for (int i = 0; i < 3; ++i) dir.write(std::string("tiles/party/") + stems[i] + "_001.TIL", tileFile(0, i + 1, kPortrait));
}

struct Cell {
    int kind, code;
};

Cell cellAt(const Screen& s, int column, int row) {
    const int x = 16 * (column - 1), y = 16 * (row - 1);
    auto px = [&](int dx) { return static_cast<int>(s.pages[0][static_cast<size_t>(y) * s.width + x + dx]); };
    return {px(4), px(0) * 16 + px(2)};
}

// The characters of a row between two columns: blank where nothing was drawn,
// "?" for anything that is not a font tile.
std::string rowText(const Screen& s, int row, int from, int to) {
    std::string text;
    for (int c = from; c <= to; ++c) {
        const Cell cell = cellAt(s, c, row);
        text += cell.kind == kFont ? static_cast<char>(cell.code) : cell.kind == kNothing && cell.code == 0 ? ' ' : '?';
    }
    return text;
}

const char kVertical = static_cast<char>(179);

// The tiles are written once for all tests (creating files is slow); each
// test starts without a res folder.
class PanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new ScratchDir;
        writeTiles(*shared);
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
    PanelTest() { std::filesystem::remove_all(dir.path() + "/res"); }

    void defineMembers(int count, int stats, int spells) {
        g.partySize = count;
        g.memberName.resize(1, count);
        g.memberImage.resize(1, count);
        g.statCurrent.resize(1, count, 1, stats);
        g.spellName.resize(1, spells);
        g.spellKnown.resize(1, count, 1, spells);
        g.spellExperience.resize(1, count, 1, spells);
    }
    void setStats(int member, std::vector<int32_t> values) {
        for (size_t s = 0; s < values.size(); ++s) g.statCurrent.set(member, static_cast<int64_t>(s + 1), values[s]);
    }
    void setGameData(std::string text) { parseStoreText(text, g.gameData); }

    static ScratchDir* shared;
    const ScratchDir& dir = *shared;
    HeadlessGame h{dir.path()};
    Game& g = h.game;
    const Screen& screen = h.platform.screen;
};

ScratchDir* PanelTest::shared = nullptr;

const std::string kSixHeadings =
    "stat/count=6\r\nstat/1/name=hp\r\nstat/2/name=ap\r\nstat/3/name=dp\r\nstat/4/name=mp\r\n"
    "stat/5/name=sight\r\nstat/6/name=\"range\"";

TEST_F(PanelTest, StatPanelPutsHeadingsAndValuesInTheSameColumns) {
    dir.write("res/stats.dat", kSixHeadings);
    defineMembers(7, 6, 0);
    g.memberName.set(1, "Anna");
    g.memberImage.set(1, "anna");
    setStats(1, {20, 5, 3, 7, 10, 2});
    drawStatPanel(g);

    EXPECT_EQ(rowText(screen, 27, 1, 40), kVertical + std::string(" Hp     Ap     Dp     Mp  Sight  Range") + kVertical);
    EXPECT_EQ(cellAt(screen, 4, 28).kind, kPortrait);
    EXPECT_EQ(rowText(screen, 28, 6, 9), "Anna");
    EXPECT_EQ(rowText(screen, 29, 1, 40), kVertical + std::string(" 20      5      3      7     10      2") + kVertical);
    EXPECT_EQ(rowText(screen, 30, 2, 39), std::string(38, ' '));
}

TEST_F(PanelTest, FallenMembersLeaveNoGapAndNegativeValuesShowTheirSign) {
    dir.write("res/stats.dat", kSixHeadings);
    defineMembers(7, 6, 0);
    const char* names[] = {"Anna", "Bobo", "Cora", "Dunn"};
    for (int m = 1; m <= 4; ++m) g.memberName.set(m, names[m - 1]);
    g.memberImage.set(3, "cora");
    setStats(1, {20, 5, 3, 7, 10, 2});
    setStats(2, {0, 5, 3, 7, 10, 2});
    setStats(3, {12, -4, 3, 7, 10, 2});
    setStats(4, {-3, 5, 3, 7, 10, 2});
    drawStatPanel(g);

    EXPECT_EQ(rowText(screen, 28, 6, 9), "Anna");
    EXPECT_EQ(rowText(screen, 30, 6, 9), "Cora");
    EXPECT_EQ(cellAt(screen, 4, 30).code, 3) << "member 3's own portrait";
    EXPECT_EQ(rowText(screen, 31, 3, 11), "12     -4");
    EXPECT_EQ(rowText(screen, 32, 2, 39), std::string(38, ' '));
}

TEST_F(PanelTest, StatHeadingsComeFromTheFileAsItIsAtEachDrawing) {
    defineMembers(7, 6, 0);
    g.memberName.set(1, "Anna");
    g.memberImage.set(1, "anna");
    setStats(1, {20, 5, 3, 7, 10, 2});

    drawStatPanel(g);  // no stats.dat: no headings, no values, but the name
    EXPECT_EQ(rowText(screen, 27, 2, 39), std::string(38, ' '));
    EXPECT_EQ(rowText(screen, 28, 6, 9), "Anna");
    EXPECT_EQ(rowText(screen, 29, 2, 39), std::string(38, ' '));

    dir.write("res/stats.dat", "stat/count=2.5\r\nstat/1/name=health\r\nstat/2/name=\"armour class\"");
    drawStatPanel(g);  // 2.5 is 2 columns; headings cut to five characters
    EXPECT_EQ(rowText(screen, 27, 1, 11), std::string("ealt  Armou"));

    dir.write("res/stats.dat", "stat/count=70000\r\nstat/1/name=hp");
    drawStatPanel(g);  // read as 99 columns, nearly all of them off the screen
    EXPECT_EQ(rowText(screen, 27, 3, 4), "Hp");
    EXPECT_EQ(rowText(screen, 29, 3, 11), "20      5");
}

TEST_F(PanelTest, SpellPanelShowsOnlyItsFrameWhileTheActiveMemberHasHpZero) {
    setGameData("spell/count=2\r\nhud/spell=spells");
    defineMembers(7, 1, 2);
    g.activeMember = 2;
    g.memberName.set(2, "Bobo");
    g.spellName.set(1, "Warp");
    std::fill(h.platform.screen.pages[0].begin(), h.platform.screen.pages[0].end(), 5);
    drawSpellPanel(g);

    EXPECT_EQ(cellAt(screen, 41, 1).code, 218);
    EXPECT_EQ(cellAt(screen, 60, 25).code, 217);
    for (int row = 2; row <= 24; ++row) EXPECT_EQ(rowText(screen, row, 42, 59), std::string(18, ' ')) << row;

    setStats(2, {-1});  // only exactly 0 empties the panel
    drawSpellPanel(g);
    EXPECT_EQ(rowText(screen, 2, 44, 47), "Bobo");
}

TEST_F(PanelTest, SpellPanelCutsNamesAndShowsTwoCharactersOfEachValue) {
    setGameData("spell/count=3\r\nhud/spell=sPELLs\r\nhud/knowledge=kn");
    defineMembers(7, 1, 4);
    g.activeMember = 1;
    g.memberName.set(1, "Anna");
    g.memberImage.set(1, "anna");
    setStats(1, {9});
    g.spellName.set(1, "Teleportation");
    g.spellName.set(2, "Up");
    g.spellName.set(3, "Heal");
    g.spellName.set(4, "Never");  // past the spell/count of the game data
    g.spellKnown.set(1, 1, 100);
    g.spellExperience.set(1, 1, 123);
    g.spellKnown.set(1, 2, 1);
    g.spellExperience.set(1, 2, 7);
    g.spellExperience.set(1, 3, -45);
    drawSpellPanel(g);

    EXPECT_EQ(cellAt(screen, 42, 2).kind, kPortrait);
    EXPECT_EQ(rowText(screen, 2, 44, 47), "Anna");
    EXPECT_EQ(rowText(screen, 4, 42, 59), "Spells  KN     %% ");
    EXPECT_EQ(rowText(screen, 6, 42, 59), "Telepor  10     12");
    EXPECT_EQ(rowText(screen, 8, 42, 59), " Up       1      7");
    EXPECT_EQ(rowText(screen, 10, 42, 59), "Heal      0     -4");
    EXPECT_EQ(rowText(screen, 12, 42, 59), std::string(18, ' '));
}

TEST_F(PanelTest, EncounterFileHoldsTheWordsInExactBytes) {
    dir.write("res/stats.dat", "");
    const KeyValueStore words = buildEncounterWords(g, "[Forced gate][Hp -3]");
    EXPECT_EQ(dir.read("res/encounter.txt"), "=\r\ntext/count=3\r\ntext/1=[Forced\r\ntext/2=gate][Hp\r\ntext/3=-3]");
    ASSERT_EQ(words.pairs.size(), 5u);
    EXPECT_EQ(words.pairs[0].key, "");

    buildEncounterWords(g, " a  b ");  // leading and double blanks give empty words, a trailing one none
    EXPECT_EQ(dir.read("res/encounter.txt"), "=\r\ntext/count=4\r\ntext/1=\r\ntext/2=a\r\ntext/3=\r\ntext/4=b");

    buildEncounterWords(g, "");
    EXPECT_EQ(dir.read("res/encounter.txt"), "=\r\ntext/count=0");
}

TEST_F(PanelTest, MessagePanelIsDrawnEvenWhenTheEncounterFileCannotBeWritten) {
    drawMessagePanel(g, "[Unlocked door]");  // the scratch folder has no res folder
    EXPECT_FALSE(dir.exists("res/encounter.txt"));
    EXPECT_EQ(rowText(screen, 27, 42, 50), "Encounter");
    EXPECT_EQ(rowText(screen, 29, 42, 59), "[unlocked door]   ");
}

struct WrapCase {
    std::string message;
    std::vector<std::string> rows;  // from row 29, columns 42 to 59
};

void PrintTo(const WrapCase& c, std::ostream* out) { *out << '"' << c.message << '"'; }

class MessageWrapTest : public PanelTest, public ::testing::WithParamInterface<WrapCase> {};

TEST_P(MessageWrapTest, WrapsToTheInnerWidthInLowerCase) {
    dir.write("res/stats.dat", "");
    drawMessagePanel(g, GetParam().message);
    EXPECT_EQ(rowText(screen, 27, 42, 59), "Encounter         ");
    const std::vector<std::string>& rows = GetParam().rows;
    for (size_t i = 0; i <= rows.size(); ++i) {
        const int row = 29 + static_cast<int>(i);
        EXPECT_EQ(rowText(screen, row, 42, 59), i < rows.size() ? rows[i] : std::string(18, ' ')) << "row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageWrapTest,
    ::testing::Values(
        WrapCase{"", {}},
        WrapCase{"[Forced gate][Hp -3]", {"[forced gate][hp  ", "-3]               "}},
        WrapCase{"Aaaaaaaaaa Bbbbbbbbbb", {"aaaaaaaaaa        ", "bbbbbbbbbb        "}},
        WrapCase{"two  blanks", {"two  blanks       "}},
        // A last word runs on unbroken over the frame; an earlier one is cut.
        WrapCase{std::string(40, 'Q'), {std::string(18, 'q')}},
        WrapCase{std::string(25, 'a') + " b", {std::string(18, 'a'), "aaaaaaa b         "}}));

TEST_F(PanelTest, LongLastWordRunsOverTheFrame) {
    drawMessagePanel(g, std::string(40, 'q'));
    EXPECT_EQ(cellAt(screen, 60, 29).code, 'q');
    EXPECT_EQ(cellAt(screen, 60, 28).code, 179);
}

}  // namespace
}  // namespace delve
