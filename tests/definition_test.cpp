// The game definition and its overview, and the stat, spell and message
// panels, read back off the headless screen through coded tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "data/game_definition.h"
#include "data/panels.h"
#include "support/support.h"

namespace delve::test {
namespace {

// Portraits are copies of map tiles, so "anna" reads as {{01}} and "cora" as {{03}}.
class DataTest : public ::testing::Test {
protected:
    DataTest() {
        writeCodedTiles(dir);
        dir.write("tiles/party/anna_001.til", dir.read("tiles/map/map_001.til"));
        dir.write("tiles/party/cora_001.til", dir.read("tiles/map/map_003.til"));
    }
    void load(std::string definition, const std::string& keys = "k") {
        parseStoreText(definition, g.gameData);
        h.backend.addKeys(keys);
        loadGameDefinition(g);
    }
    std::string text(int row, int column, int count, int page = 0) {
        return screenText(h.platform.screen, page, row, column, count);
    }

    ScratchDir dir;
    HeadlessGame h{dir.path()};
    Game& g = h.game;
};

TEST_F(DataTest, DefinitionKeysPropertiesByDisplayNameAndTheOverviewShowsThem) {
    load("party/count=2\r\nparty/1/name=ann\r\nparty/2/name=\"red mage\"\r\nparty/2/image=nope\r\n"
         "party/ANN/image=AnnA\r\nparty/red mage/image=cora\r\nstat/count=1\r\nstat/1/name=\"hit points\"\r\n"
         "party/Red Mage/stat/Hit Points/initial=12\r\nparty/ann/stat/hit points/current=5\r\nspell/count=2\r\n"
         "spell/1/name=fire\r\nspell/2/name=ice\r\nspell/Fire/difficulty=2.5\r\nspell/ICE/difficulty=3.5\r\n"
         "party/RED MAGE/spell/FIRE/knw=10\r\nparty/red mage/spell/fire/exp=5\r\nrose/card/min=-1\r\n"
         "rose/card/max=1\r\nrose/axis/min=0\r\nrose/axis/max=2\r\nrose(-1,0)=7\r\nrose(1,2)=-1\r\n"
         "rose(1,02)=9\r\nrose/key/1=north",
         "@x");
    EXPECT_EQ(g.memberImage.get(1) + "," + g.memberImage.get(2), "anna,cora");  // as looked up: lower case
    EXPECT_EQ(std::pair(g.rose.get(-1, 0), g.rose.get(1, 2)), std::pair(7, -1));  // rose(1,02) is never read
    // Every value shows on the overview page; difficulties 2.5 and 3.5 are 2 and 4 (halves go to even).
    EXPECT_EQ(text(1, 1, 35, 1), "{{01}} Ann         Hit PointsFire      2");
    EXPECT_EQ(text(2, 1, 35, 1), "{{03}} Red Mage              Ice       4");
    // The second value of a cell is drawn over the first, whose digits stay
    // where the second has blanks: knowledge 10 then experience 5 read " 15";
    // Hp initial then current, 0 and 5, 12 and 0.
    EXPECT_EQ(text(11, 7, 10, 1) + "|" + text(21, 7, 10, 1), "  0     15|  5     10");
    EXPECT_EQ(text(40, 27, 5, 1) + text(44, 27, 2, 1), "North-1");
    // The key that ended the overview stays queued.
    EXPECT_EQ(h.backend.keysLeft(), 1u);
    EXPECT_EQ(readKey(h.platform), "@");
}

TEST_F(DataTest, DefinitionCountsAndBoundsAreHeldSoATypoCannotExhaustMemory) {
    load("party/count=70000\r\nrose/card/min=-5000\r\nrose/card/max=100000\r\nrose/axis/min=1\r\n"
         "rose/axis/max=1\r\nrose(99,1)=1");
    EXPECT_EQ(std::pair(g.partyCount, g.roseCardMin), std::pair(99, -99));
    EXPECT_EQ(g.rose.get(99, 1), 1);
    EXPECT_EQ(g.memberName.get(99) + g.memberName.get(100), "%%");
}

// The stat panel reads its headings from stats.dat at each drawing; fallen
// members (Hp 0 or below) leave no gap; headings and values end in the same
// column. The spell panel is empty only while the active member's Hp is 0.
TEST_F(DataTest, StatAndSpellPanelsShowTheLivingAndCutWhatIsTooLong) {
    load("party/count=4\r\nstat/count=6\r\nspell/count=3\r\nparty/1/name=anna\r\nparty/2/name=bobo\r\n"
         "party/3/name=cora\r\nparty/4/name=dunn\r\nparty/anna/image=anna\r\nparty/cora/image=cora\r\n"
         "party/dunn/image=cora\r\nhud/spell=sPELLs\r\nhud/knowledge=kn\r\nspell/1/name=teleportation\r\n"
         "spell/2/name=up\r\n");
    g.partySize = 7;
    const std::vector<std::vector<int32_t>> stats = {{20, 5, 3, 7, 10, 2}, {}, {12, -4, 3, 7, 10, 2}, {-3}};
    for (int m = 1; m <= 4; ++m)
        for (size_t s = 0; s < stats[m - 1].size(); ++s)
            g.statCurrent.set(m, static_cast<int64_t>(s) + 1, stats[m - 1][s]);
    drawStatPanel(g);  // no stats.dat: no headings and no values, but the names
    EXPECT_EQ(text(27, 2, 38) + text(29, 2, 38), std::string(76, ' '));
    EXPECT_EQ(text(28, 1, 9), "\xB3  {{01}} Anna");
    dir.write("res/stats.dat", "stat/count=6.5\r\nstat/1/name=hp\r\nstat/2/name=ap\r\nstat/3/name=dp\r\n"
                               "stat/4/name=mp\r\nstat/5/name=sight\r\nstat/6/name=\"rangefinder\"\r\n"
                               "stat/7/name=x");
    drawStatPanel(g);  // 6.5 is 6 columns; headings cut to five characters
    EXPECT_EQ(text(27, 1, 46), "\xB3 Hp     Ap     Dp     Mp  Sight  Range\xB3      ");
    EXPECT_EQ(text(29, 1, 46), "\xB3 20      5      3      7     10      2\xB3      ");
    EXPECT_EQ(text(30, 1, 9) + "|" + text(31, 3, 9), "\xB3  {{03}} Cora|12     -4");
    EXPECT_EQ(text(32, 2, 38), std::string(38, ' '));

    g.activeMember = 2;
    std::fill(h.platform.screen.pages[0].begin(), h.platform.screen.pages[0].end(), 5);  // the panel clears it
    drawSpellPanel(g);
    EXPECT_EQ(text(1, 41, 1) + text(25, 60, 1), "\xDA\xD9");
    for (int row = 2; row <= 24; ++row) EXPECT_EQ(text(row, 42, 18), std::string(18, ' ')) << row;
    g.activeMember = 4;  // Hp -3 is not 0
    g.spellKnown.set(4, 1, 100);
    g.spellExperience.set(4, 1, 123);
    g.spellExperience.set(4, 2, 7);
    g.spellExperience.set(4, 3, -45);
    drawSpellPanel(g);
    EXPECT_EQ(text(2, 42, 6), "{{03}} Dunn");
    EXPECT_EQ(text(4, 42, 18), "Spells  KN     %% ");
    EXPECT_EQ(text(6, 42, 18), "Telepor  10     12");
    EXPECT_EQ(text(8, 42, 18), " Up       0      7");
    EXPECT_EQ(text(10, 42, 18) + "|" + text(12, 42, 18), " %%       0     -4|" + std::string(18, ' '));
}

// Each message's words go to res/encounter.txt (where given, in exact bytes)
// and the panel wraps them to its inner width, in lower case.
TEST_F(DataTest, MessagePanelWritesTheWordsAndWrapsThem) {
    // The message, the file where given, and the rows from row 29, columns 42 to 59.
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
        {"", "=\r\ntext/count=0", {}},
        {"[Forced gate][Hp -3]", "=\r\ntext/count=3\r\ntext/1=[Forced\r\ntext/2=gate][Hp\r\ntext/3=-3]",
         {"[forced gate][hp  ", "-3]               "}},
        // Leading and double blanks make empty words, a trailing one none.
        {" a  b ", "=\r\ntext/count=4\r\ntext/1=\r\ntext/2=a\r\ntext/3=\r\ntext/4=b", {"a  b              "}},
        // An earlier long word is cut (its rest and the next word fill the line
        // exactly); the last word runs on over the frame.
        {std::string(25, 'a') + " bbbbbbbbbb", "", {std::string(18, 'a'), "aaaaaaa bbbbbbbbbb"}},
        {std::string(40, 'Q'), "", {std::string(18, 'q')}}};
    std::filesystem::create_directory(dir.path() + "/res");
    for (const auto& [message, file, rows] : cases) {
        drawMessagePanel(g, message);
        if (!file.empty()) {
            EXPECT_EQ(dir.read("res/encounter.txt"), file);
        }
        EXPECT_EQ(text(27, 42, 18), "Encounter         ");
        for (size_t i = 0; i <= rows.size(); ++i)
            EXPECT_EQ(text(29 + static_cast<int>(i), 42, 18), i < rows.size() ? rows[i] : std::string(18, ' '))
                << '"' << message << "\" row " << i;
    }
    EXPECT_EQ(text(28, 60, 1) + text(29, 60, 1), "\xB3q");
    std::filesystem::remove_all(dir.path() + "/res");
    drawMessagePanel(g, "[Unlocked door]");  // the file cannot be written: the panel is drawn all the same
    EXPECT_FALSE(dir.exists("res/encounter.txt"));
    EXPECT_EQ(text(29, 42, 18), "[unlocked door]   ");
}

}  // namespace
}  // namespace delve::test
