// Game file names: "\" between folders, an optional ".\" in front, each part
// matched ignoring ASCII case, everything kept below the game's folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files.h"
#include "support/support.h"

namespace delve {
namespace {

class GameFiles : public ::testing::Test {
protected:
    GameFiles() {
        std::filesystem::create_directories(dir.path() + "/game");
        files.root = dir.path() + "/game";
    }
    std::string at(const std::string& relative) const { return files.root + "/" + relative; }
    test::ScratchDir dir;  // the game folder is dir/game, so dir itself is "outside"
    Files files;
};

TEST_F(GameFiles, NamesMatchIgnoringCaseInEveryPart) {
    dir.write("game/tiles/font/font_065.til", "A");
    dir.write("game/Res/GameData.dat", "G");
    EXPECT_EQ(readGameFile(files, "tiles\\font\\font_065.TIL"), "A");
    EXPECT_EQ(readGameFile(files, "TILES\\Font\\FONT_065.til"), "A");
    EXPECT_EQ(readGameFile(files, ".\\res\\gamedata.dat"), "G");
    EXPECT_EQ(resolveGameFile(files, ".\\RES\\GAMEDATA.DAT"), at("Res/GameData.dat"));
    EXPECT_EQ(files.filesRead, 3u);
    EXPECT_EQ(files.bytesRead, 3u);
}

TEST_F(GameFiles, AnExactMatchWinsOverOtherCases) {
    dir.write("game/Name.txt", "upper");
    dir.write("game/name.txt", "lower");
    EXPECT_EQ(readGameFile(files, "name.txt"), "lower");
    EXPECT_EQ(readGameFile(files, "Name.txt"), "upper");
}

TEST_F(GameFiles, MissingFilesAreCreatedEmptyUnderTheirGivenName) {
    dir.write("game/Res/keep", "");
    EXPECT_EQ(readGameFile(files, "res\\Encounter.TXT"), "");
    // The folder's existing spelling is kept; the new file's is as given.
    EXPECT_TRUE(dir.exists("game/Res/Encounter.TXT"));
    EXPECT_EQ(readGameFile(files, "RES\\encounter.txt"), "");  // found again, not doubled
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(at("Res")), std::filesystem::directory_iterator()), 2);
    // A missing folder is never created: the file cannot be opened.
    EXPECT_FALSE(readGameFile(files, "drivers\\mouse.bin"));
    EXPECT_FALSE(dir.exists("game/drivers"));
}

TEST_F(GameFiles, NamesOutsideTheGameFolderAreRefused) {
    dir.write("secret.txt", "outside");
    for (const char* name : {"..\\secret.txt", "res\\..\\..\\secret.txt", "..\\new.txt", "\\etc\\passwd",
                             "/etc/passwd", "C:\\secret.txt", "", ".\\", "."}) {
        EXPECT_EQ(resolveGameFile(files, name), "") << name;
        EXPECT_FALSE(readGameFile(files, name)) << name;
        EXPECT_FALSE(replaceGameFile(files, name, "x")) << name;
    }
    EXPECT_FALSE(dir.exists("new.txt"));
    EXPECT_EQ(dir.read("secret.txt"), "outside");
    EXPECT_FALSE(readGameFile(files, std::string("a\0b", 3)));
}

TEST_F(GameFiles, AFolderIsNotAFile) {
    dir.write("game/res/x", "");
    EXPECT_FALSE(readGameFile(files, "res"));
    EXPECT_FALSE(readGameFile(files, "RES"));
}

TEST_F(GameFiles, ReplacingWritesTheWholeFile) {
    dir.write("game/Res/stats.dat", "a much longer old content");
    EXPECT_TRUE(replaceGameFile(files, "res\\STATS.DAT", "new"));
    EXPECT_EQ(dir.read("game/Res/stats.dat"), "new");
    EXPECT_EQ(files.filesWritten, 1u);
    EXPECT_EQ(files.bytesWritten, 3u);
}

TEST_F(GameFiles, LinksOutOfTheFolderAreNotFollowed) {
    dir.write("secret.txt", "outside");
    ASSERT_EQ(::symlink((dir.path() + "/secret.txt").c_str(), at("link.txt").c_str()), 0);
    EXPECT_FALSE(readGameFile(files, "link.txt"));
    EXPECT_EQ(dir.read("secret.txt"), "outside");
}

// A file that cannot be opened for writing is still read.
TEST(GameFileFallback, ReadOnlyFilesAreStillRead) {
    if (::geteuid() != 0) {
        test::ScratchDir dir;
        dir.write("locked.dat", "k=v");
        ASSERT_EQ(::chmod((dir.path() + "/locked.dat").c_str(), 0444), 0);
        Files files;
        files.root = dir.path();
        EXPECT_EQ(readGameFile(files, "LOCKED.DAT"), "k=v");
        return;
    }
    // Permissions do not stop root; a kernel attribute file refuses writers
    // even then.
    const std::string folder = "/sys/devices/system/cpu";
    struct stat st;
    if (::stat((folder + "/online").c_str(), &st) != 0) GTEST_SKIP() << "no read-only file to try";
    Files files;
    files.root = folder;
    const auto bytes = readGameFile(files, "ONLINE");
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(bytes->empty());
}

}  // namespace
}  // namespace delve
