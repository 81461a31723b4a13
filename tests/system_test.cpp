// The few services that differ between POSIX systems and Windows, checked the
// same way on both (natively, and the cross-built copy under Wine): replacing
// a file by rename, a recording file renamed while it is written, binary
// reads, the separator in resolved paths and where the data folders are.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "platform/system.h"
#include "support/support.h"

namespace delve {
namespace {

namespace fs = std::filesystem;

TEST(System, FilesAreReplacedWholeAndNewOnesRenamedWhileOpen) {
    test::ScratchDir dir;
    dir.write("a.tmp", "new");
    dir.write("a.dat", "old and longer");
    EXPECT_TRUE(replaceFileWith(dir.path() + "/a.tmp", dir.path() + "/a.dat"));  // over an existing file
    EXPECT_EQ(dir.read("a.dat"), "new");
    EXPECT_FALSE(dir.exists("a.tmp"));
    EXPECT_FALSE(replaceFileWith(dir.path() + "/missing", dir.path() + "/a.dat"));
    EXPECT_EQ(dir.read("a.dat"), "new");

    // A recording is created, named by its seed while open, and written on.
    const std::string first = dir.path() + "/rec.rec", named = dir.path() + "/rec_seed-17.rec";
    const int fd = createNewFile(first);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(createNewFile(first), -1);
    EXPECT_EQ(errno, EEXIST);
    std::FILE* out = ::fdopen(fd, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("one\n", out);
    std::fflush(out);
    ASSERT_TRUE(replaceFileWith(first, named));
    std::fputs("two\n", out);
    syncFileToDisk(out);
    std::fclose(out);
    EXPECT_FALSE(dir.exists("rec.rec"));
    EXPECT_EQ(dir.read("rec_seed-17.rec"), "one\ntwo\n");  // bytes as written: no CR added
}

TEST(System, GameFilesAreBytesAndPathsUseTheSystemsSeparator) {
    test::ScratchDir dir;
    dir.write("res/Mixed.DAT", std::string("a=1\r\nb=\x1a\n\0z", 11));
    Files files;
    files.root = dir.path();
    EXPECT_EQ(readGameFile(files, "RES\\mixed.dat"), std::string("a=1\r\nb=\x1a\n\0z", 11));
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(resolveGameFile(files, "res\\Mixed.DAT"), dir.path() + sep + "res" + sep + "Mixed.DAT");
    ASSERT_TRUE(replaceGameFile(files, "res\\mixed.dat", "c=2\r\n"));
    EXPECT_EQ(dir.read("res/Mixed.DAT"), "c=2\r\n");
}

TEST(System, DataFoldersSitWhereEachSystemKeepsThem) {
    const std::string program = runningProgramFolder();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(fs::is_directory(program)) << program;
#ifdef _WIN32
    EXPECT_EQ(installedDataFolder("C:\\Program Files\\Delve"), "C:\\Program Files\\Delve\\data");
    const std::string player = playerDataFolder();
    ASSERT_FALSE(player.empty());  // Windows always has %APPDATA%
    EXPECT_EQ(fs::path(player).filename(), "Delve");
    EXPECT_EQ(fs::path(player).parent_path(), fs::path(std::getenv("APPDATA")));
#else
    EXPECT_EQ(installedDataFolder("/usr/bin"), "/usr/share/delve");
    const std::string player = playerDataFolder();
    if (!player.empty()) {
        EXPECT_EQ(fs::path(player).filename(), "delve");
    }
#endif
    EXPECT_TRUE(canReadFolder(program));
    EXPECT_FALSE(canReadFolder(program + "/no such folder"));
}

TEST(System, LocalTimeIsAPlainDate) {
    const std::tm t = localTimeOf(86400 * 366);  // 2 January 1971, give or take a time zone
    EXPECT_EQ(t.tm_year, 71);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_TRUE(t.tm_mday == 1 || t.tm_mday == 2 || t.tm_mday == 3) << t.tm_mday;
}

}  // namespace
}  // namespace delve
