// Names spelled unlike their files (a portrait asked for as "_001.TIL" and
// staged as "_001.til") are remembered where they were found, so the folder
// is not scanned at every drawing; the file itself must still be read fresh
// every time, and a remembered path that went away must not be trusted.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/files.h"
#include "support/support.h"

namespace delve {
namespace {

class RememberedNames : public ::testing::Test {
protected:
    RememberedNames() { files.root = dir.path(); }
    std::string at(const std::string& relative) const { return dir.path() + "/" + relative; }
    void rename(const std::string& from, const std::string& to) const {
        ASSERT_EQ(std::rename(at(from).c_str(), at(to).c_str()), 0);
    }
    test::ScratchDir dir;
    Files files;
};

TEST_F(RememberedNames, EveryReadSeesTheFileAsItIsNow) {
    dir.write("tiles/party/hero_001.til", "first");
    EXPECT_EQ(readGameFile(files, "tiles\\party\\hero_001.TIL"), "first");
    dir.write("tiles/party/hero_001.til", "edited");
    EXPECT_EQ(readGameFile(files, "tiles\\party\\hero_001.TIL"), "edited");
    EXPECT_EQ(files.filesRead, 2u);
}

TEST_F(RememberedNames, AFileRenamedToAnotherCaseIsFoundAgain) {
    dir.write("tiles/party/hero_001.til", "h");
    EXPECT_EQ(readGameFile(files, "tiles\\party\\hero_001.TIL"), "h");
    rename("tiles/party/hero_001.til", "tiles/party/Hero_001.Til");
    EXPECT_EQ(readGameFile(files, "tiles\\party\\hero_001.TIL"), "h");
    // Nothing was created in its place on the way.
    EXPECT_FALSE(dir.exists("tiles/party/hero_001.TIL"));
    EXPECT_FALSE(dir.exists("tiles/party/hero_001.til"));
}

TEST_F(RememberedNames, AnExactSpellingThatAppearsLaterWins) {
    dir.write("res/stats.dat", "lower");
    EXPECT_EQ(readGameFile(files, "RES\\STATS.DAT"), "lower");
    dir.write("RES/STATS.DAT", "exact");
    EXPECT_EQ(readGameFile(files, "RES\\STATS.DAT"), "exact");
}

TEST_F(RememberedNames, AFileThatWentAwayIsMissingAgain) {
    dir.write("res/encounter.txt", "old");
    EXPECT_EQ(readGameFile(files, "res\\ENCOUNTER.TXT"), "old");
    std::filesystem::remove(at("res/encounter.txt"));
    // As for any missing file: created empty under the name as given.
    EXPECT_EQ(readGameFile(files, "res\\ENCOUNTER.TXT"), "");
    EXPECT_TRUE(dir.exists("res/ENCOUNTER.TXT"));
}

TEST_F(RememberedNames, TheLogNamesThePathsActuallyUsed) {
    dir.write("tiles/party/hero_001.til", "h");
    dir.write("res/encounter.txt", "");
    std::vector<std::string> log;
    files.log = &log;
    ASSERT_TRUE(readGameFile(files, "tiles\\party\\hero_001.TIL"));
    ASSERT_TRUE(readGameFile(files, "tiles\\party\\hero_001.TIL"));
    ASSERT_TRUE(replaceGameFile(files, "RES\\encounter.txt", "x"));
    files.log = nullptr;
    ASSERT_TRUE(readGameFile(files, "tiles\\party\\hero_001.TIL"));
    const std::vector<std::string> expected = {"r " + at("tiles/party/hero_001.til"),
                                               "r " + at("tiles/party/hero_001.til"),
                                               "w " + at("res/encounter.txt")};
    EXPECT_EQ(log, expected);
}

}  // namespace
}  // namespace delve
