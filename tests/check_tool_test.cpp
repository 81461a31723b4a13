// delve-check on small game folders: the shipped data files with generated
// tiles, each test breaking one thing the way a content author might.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "render/tile_drawing.h"
#include "support/support.h"

namespace delve {
namespace {

using test::ScratchDir;

struct ToolRun {
    int status;
    std::string output;
};

ToolRun runCommand(const std::string& command) {
    ToolRun run{-1, ""};
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string tool() { return std::string(DELVE_TOOL_DIR) + "/delve-check"; }
ToolRun check(const std::string& dir) { return runCommand(tool() + " '" + dir + "'"); }

std::string shippedFile(const std::string& name) {
    std::ifstream in(std::string(DELVE_SOURCE_DIR) + "/res/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string tile() {
    std::string bytes = {static_cast<char>(0xFD), 0, 0, 0, 0, 0, 0, 8, 0, 8, 0};
    return bytes + std::string(32, '\x55');
}

// The line (counted by CR LF) on which `text` starts in the file.
int lineOf(const std::string& file, const std::string& text) {
    const size_t at = file.find(text);
    int line = 1;
    for (size_t i = file.find("\r\n"); i < at; i = file.find("\r\n", i + 2)) ++line;
    return line;
}

class CheckToolTest : public ::testing::Test {
protected:
    CheckToolTest() {
        for (const char* name : {"gamedata.dat", "shops.dat", "stats.dat"}) dir.write(std::string("res/") + name, shippedFile(name));
        for (int code : {176, 219, 247, 45, 254, 35, 177, 248, 244, 236, 231, 241, 253, 240, 243, 224, 227, 64, 249, 107, 98})
            dir.write("tiles/map/map_" + threeDigits(code) + ".til", tile());
        for (int code = 33; code <= 126; ++code) dir.write("tiles/font/font_" + threeDigits(code) + ".til", tile());
        for (int code : {179, 191, 192, 196, 217, 218, 254}) dir.write("tiles/font/font_" + threeDigits(code) + ".til", tile());
        for (const char* stem : {"GARR", "WYNN", "TOBI", "SERA", "KORV", "LISB", "ODOM"})
            dir.write(std::string("tiles/party/") + stem + "_001.TIL", tile());
    }
    void editDefinition(const std::string& from, const std::string& to) {
        dir.write("res/gamedata.dat", replaced(dir.read("res/gamedata.dat"), from, to));
    }
    // Runs the checker, which must find something, and returns its report.
    std::string findings() {
        const ToolRun run = check(dir.path());
        EXPECT_EQ(run.status, 1) << run.output;
        return run.output;
    }

    ScratchDir dir;
};

TEST_F(CheckToolTest, ShippedDataWithEveryTilePasses) {
    const ToolRun run = check(dir.path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("is ready"), std::string::npos) << run.output;

    const ToolRun here = runCommand("cd '" + dir.path() + "' && " + tool());  // the current folder by default
    EXPECT_EQ(here.status, 0) << here.output;
}

TEST_F(CheckToolTest, FindsKeysTheGameLooksUpButTheFileLacks) {
    editDefinition("party/Wynne/stat/Mp/initial=34\r\n", "");
    editDefinition("hud/knowledge=know\r\n", "");
    const std::string out = findings();
    EXPECT_NE(out.find("res/gamedata.dat: missing key 'party/Wynne/stat/Mp/initial'; the game reads 0"), std::string::npos)
        << out;
    EXPECT_NE(out.find("missing key 'hud/knowledge'; the game shows \"%%\""), std::string::npos) << out;
}

TEST_F(CheckToolTest, FindsCountsBelowWhatTheRulesNeed) {
    editDefinition("party/count=7", "party/count=6");
    editDefinition("stat/count=6", "stat/count=5");
    editDefinition("spell/count=6", "spell/count=70000");
    dir.write("res/stats.dat", replaced(dir.read("res/stats.dat"), "stat/count=6", "stat/count=4"));
    const std::string out = findings();
    EXPECT_NE(out.find("party/count is 6, but the rules need at least 7 members"), std::string::npos) << out;
    EXPECT_NE(out.find("stat/count is 5, but the rules need at least 6 stats"), std::string::npos) << out;
    EXPECT_NE(out.find("spell/count is 70000; the game reads it as 99"), std::string::npos) << out;
    EXPECT_NE(out.find("res/stats.dat:1: stat/count is 4; the stat panel then shows only 4 of the 6 stats"),
              std::string::npos)
        << out;
}

TEST_F(CheckToolTest, FindsPropertiesWrittenForANameNothingDefines) {
    const std::string data = dir.read("res/gamedata.dat");
    editDefinition("party/Wynne/image", "party/Wyne/image");
    editDefinition("party/Tobin/stat/Sight/current", "party/Tobin/stat/Sihgt/current");
    editDefinition("spell/Flare/difficulty", "spell/Flair/difficulty");
    const std::string out = findings();
    const std::string at = "res/gamedata.dat:" + std::to_string(lineOf(data, "party/Wynne/image")) + ": ";
    EXPECT_NE(out.find(at + "'party/Wyne/image': names the member 'wyne', which no party/<n>/name defines"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("names the stat 'sihgt', which no stat/<n>/name defines"), std::string::npos) << out;
    EXPECT_NE(out.find("names the spell 'flair', which no spell/<n>/name defines"), std::string::npos) << out;
}

TEST_F(CheckToolTest, FindsADirectionTableWithoutCardsOneToFour) {
    editDefinition("rose/card/max=4", "rose/card/max=3");
    editDefinition("rose(2,2)=1\r\n", "");
    const std::string out = findings();
    EXPECT_NE(out.find("the rose table holds cards 1 to 3, but monsters step by cards 1 to 4"), std::string::npos) << out;
    EXPECT_NE(out.find("missing key 'rose(2,2)'"), std::string::npos) << out;
}

TEST_F(CheckToolTest, FindsMissingShopRecords) {
    std::string shops = dir.read("res/shops.dat");
    for (const char* field : {"m0s$", "m1s$", "m1i", "m2i"}) {
        const size_t at = shops.find(std::string("m0i/1705/") + field);
        shops.erase(at, shops.find("\r\n", at) + 2 - at);
    }
    dir.write("res/shops.dat", replaced(shops, "m0i/1718/m2i", "m0i/1718/m3i"));
    const std::string out = findings();
    EXPECT_NE(out.find("res/shops.dat: shop record 1705 is missing"), std::string::npos) << out;
    EXPECT_NE(out.find("missing key 'm0i/1718/m2i'"), std::string::npos) << out;
}

TEST_F(CheckToolTest, FindsBlanksAroundTheEqualsSign) {
    const std::string data = dir.read("res/gamedata.dat");
    editDefinition("party/count=7", "party/count =7");
    editDefinition("party/1/name=garran", "party/1/name= garran");
    const std::string out = findings();
    EXPECT_NE(out.find("res/gamedata.dat:" + std::to_string(lineOf(data, "party/count=")) +
                       ": blank around '=': the key is 'party/count '"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("res/gamedata.dat:" + std::to_string(lineOf(data, "party/1/name=")) +
                       ": blank around '=': the value of 'party/1/name' is ' garran'"),
              std::string::npos)
        << out;
}

TEST_F(CheckToolTest, FindsLineEndsOtherThanCrLf) {
    std::string lfOnly, crOnly;
    for (char c : shippedFile("stats.dat")) {
        if (c != '\r') lfOnly += c;
        if (c != '\n') crOnly += c;
    }
    dir.write("res/stats.dat", lfOnly);
    dir.write("res/shops.dat", crOnly);
    editDefinition("randomizer=32749\r\n", "randomizer=32749\n");
    const std::string data = dir.read("res/gamedata.dat");
    const std::string out = findings();
    EXPECT_NE(out.find("res/stats.dat:1: lines end with LF alone (7 times)"), std::string::npos) << out;
    EXPECT_NE(out.find("res/shops.dat:1: lines end with CR alone"), std::string::npos) << out;
    EXPECT_NE(out.find("res/gamedata.dat:" + std::to_string(lineOf(data, "randomizer")) +
                       ": line ends with a lone LF"),
              std::string::npos)
        << out;
}

TEST_F(CheckToolTest, FindsADefinitionWhereNobodyStartsFallen) {
    for (const char* member : {"Garran", "Wynne", "Tobin", "Serafi", "Korvash", "Lisbet", "Odomar"})
        editDefinition(std::string("party/") + member + "/stat/Hp/current=0", std::string("party/") + member + "/stat/Hp/current=10");
    EXPECT_NE(findings().find("no member starts fallen"), std::string::npos);
}

TEST_F(CheckToolTest, FindsATitleTooWideForTheIntro) {
    editDefinition("gametitle=\"Delve: the hollow stair\"", "gametitle=the long and winding stair of delving");
    EXPECT_NE(findings().find("res/gamedata.dat:2: the framed title '{ The Long And Winding Stair Of Delving }' is 41 "
                              "characters"),
              std::string::npos);
}

TEST_F(CheckToolTest, FindsMissingAndBrokenTilesWithoutCreatingAny) {
    std::remove((dir.path() + "/tiles/map/map_219.til").c_str());
    std::remove((dir.path() + "/tiles/party/GARR_001.TIL").c_str());
    dir.write("tiles/font/font_065.til", "not a tile");
    dir.write("tiles/font/font_066.til", "");
    dir.write("tiles/font/font_067.til", tile().substr(0, 20));
    const std::string out = findings();
    EXPECT_NE(out.find("tiles/map/map_219.til: missing (floor)"), std::string::npos) << out;
    EXPECT_NE(out.find("tiles/party/GARR_001.TIL: missing (the portrait of Garran)"), std::string::npos) << out;
    EXPECT_NE(out.find("tiles/font/font_065.til: not a tile file (first byte 0x6E, not 0xFD)"), std::string::npos) << out;
    EXPECT_NE(out.find("tiles/font/font_066.til: empty"), std::string::npos) << out;
    EXPECT_NE(out.find("tiles/font/font_067.til: its pixel data ends early (20 of 43 bytes)"), std::string::npos) << out;
    EXPECT_FALSE(dir.exists("tiles/map/map_219.til"));
    EXPECT_FALSE(dir.exists("tiles/party/GARR_001.TIL"));

    std::remove((dir.path() + "/res/shops.dat").c_str());
    EXPECT_NE(findings().find("res/shops.dat: missing"), std::string::npos);
    EXPECT_FALSE(dir.exists("res/shops.dat"));
}

TEST(CheckTool, RefusesAFolderItCannotCheck) {
    ScratchDir dir;
    EXPECT_EQ(check(dir.path() + "/nowhere").status, 2);
    EXPECT_EQ(check(dir.path()).status, 2) << "no res folder";
    EXPECT_EQ(runCommand(tool() + " a b").status, 2);
}

// The staged game folder, as CI checks it. Its tiles come from the art build.
TEST(CheckTool, PassesTheStagedGameFolder) {
    const ToolRun run = check(test::stagedGameDir());
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace
}  // namespace delve
