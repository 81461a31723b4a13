// The few services that differ between POSIX systems and Windows, checked the
// same way on both (natively, and the cross-built copy under Wine): replacing
// a file by rename, a recording file renamed while it is written, binary
// reads, the separator in resolved paths and where the data folders are.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/png/png_writer.h"
#include "platform/system.h"
#include "recording/recording_format.h"
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
    EXPECT_TRUE(pathNamesDescriptor(first, fd));
    ASSERT_TRUE(replaceFileWith(first, named));
    // A new file under the old name, or none, is not the open one (a
    // recording whose file another program removed). Only a name just made
    // is ever asked; Wine gives a file renamed while open another index
    // through its new name, so that case is the POSIX systems' alone.
#ifndef _WIN32
    EXPECT_TRUE(pathNamesDescriptor(named, fd));
#endif
    EXPECT_FALSE(pathNamesDescriptor(first, fd));
    dir.write("rec.rec", "");
    EXPECT_FALSE(pathNamesDescriptor(first, fd));
    ASSERT_TRUE(removeFile(first));
    std::fputs("two\n", out);
    syncFileToDisk(out);
    std::fclose(out);
    EXPECT_FALSE(dir.exists("rec.rec"));
    EXPECT_EQ(dir.read("rec_seed-17.rec"), "one\ntwo\n");  // bytes as written: no CR added
}

// A recording is named by its seed without ever replacing another game: a
// rename that finds the name taken leaves both files as they were.
TEST(System, ARenameThatMayNotReplaceLeavesATakenNameAlone) {
    test::ScratchDir dir;
    const std::string open = dir.path() + "/new.rec";
    const int fd = createNewFile(open);
    ASSERT_GE(fd, 0);
    std::FILE* out = ::fdopen(fd, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("new game\n", out);
    std::fflush(out);
    dir.write("taken.rec", "another game");
    EXPECT_EQ(renameWithoutReplacing(open, dir.path() + "/taken.rec"), RenameResult::NameTaken);
    EXPECT_EQ(dir.read("taken.rec"), "another game");
    EXPECT_TRUE(dir.exists("new.rec"));
    // Free, it is taken while the file is open and written on.
    EXPECT_EQ(renameWithoutReplacing(open, dir.path() + "/free.rec"), RenameResult::Renamed);
    std::fputs("written on\n", out);
    std::fclose(out);
    EXPECT_FALSE(dir.exists("new.rec"));
    EXPECT_EQ(dir.read("free.rec"), "new game\nwritten on\n");
    EXPECT_EQ(renameWithoutReplacing(dir.path() + "/missing.rec", dir.path() + "/other.rec"), RenameResult::Failed);
    EXPECT_FALSE(dir.exists("other.rec"));
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
    EXPECT_EQ(pathOf(player).filename(), "Delve");
    EXPECT_EQ(pathOf(player).parent_path(), pathOf(environmentValue("APPDATA").value_or("")));
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

// Paths are UTF-8 inside the program and cross to Windows through the wide
// calls, so a folder named outside the ANSI code page (Cyrillic and Chinese
// on a Western machine) is made, listed, read, written, locked and renamed
// as it is spelled. Through the ANSI calls each such letter becomes "?".
TEST(System, NamesOutsideTheCodePageArriveWhole) {
    test::ScratchDir dir;
    const std::string folder = dir.path() + "/Données Игра 游戏";
    ASSERT_TRUE(fs::create_directories(pathOf(folder) / "res"));
    EXPECT_EQ(textOf(pathOf(folder)), folder);
    EXPECT_EQ(textOf(pathOf(folder).filename()), "Données Игра 游戏");
    EXPECT_TRUE(canReadFolder(folder));

    // Game files, through the same calls a turn makes.
    Files files;
    files.root = folder;
    ASSERT_TRUE(replaceGameFile(files, "res\\Зоя.dat", "a=1\r\n"));
    ASSERT_TRUE(replaceGameFile(files, "res\\Зоя.dat", "a=2\r\n"));  // over the first
    EXPECT_EQ(readGameFile(files, "RES\\Зоя.dat"), "a=2\r\n");
    std::vector<std::string> names;
    ASSERT_TRUE(folderEntries(folder + "/res", names));
    EXPECT_EQ(names, std::vector<std::string>{"Зоя.dat"});
    FileStatus status;
    ASSERT_TRUE(statusOf(folder + "/res/Зоя.dat", status));
    EXPECT_EQ(status.st_size, 5);

    // A recording: made new, locked against a second holder, renamed.
    const std::string recording = folder + "/игра.rec";
    const int fd = createNewFile(recording);
    ASSERT_GE(fd, 0);
    std::FILE* out = ::fdopen(fd, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("# not a recording\n", out);
    std::fclose(out);
    FileLock first, second;
    EXPECT_EQ(lockFile(first, recording, LockWait::DontWait), LockResult::Taken);
    EXPECT_EQ(lockFile(second, recording, LockWait::DontWait), LockResult::HeldElsewhere);
    first.release();
    EXPECT_EQ(lockFile(second, recording, LockWait::DontWait), LockResult::Taken);
    second.release();
    std::string error;
    EXPECT_FALSE(loadRecording(recording, error));
    EXPECT_NE(error, "cannot read it");  // read, and refused for what it holds
    const std::string named = folder + "/игра_seed-17.rec";
    ASSERT_TRUE(replaceFileWith(recording, named));
    EXPECT_FALSE(statusOf(recording, status));

    // Plain files, streams and pictures.
    const std::string text = folder + "/文字.txt";
    std::FILE* file = openFile(text, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("Зоя\n", file);
    std::fclose(file);
    {
        std::ifstream in(pathOf(text), std::ios::binary);  // closed before the rename: Windows asks that
        std::ostringstream read;
        read << in.rdbuf();
        EXPECT_EQ(read.str(), "Зоя\n");
    }
    EXPECT_TRUE(renameFile(text, folder + "/текст.txt"));
    EXPECT_TRUE(removeFile(folder + "/текст.txt"));
    EXPECT_FALSE(statusOf(folder + "/текст.txt", status));
    const uint8_t pixel[1] = {7};
    EXPECT_TRUE(writePng(folder + "/картинка.png", pixel, 1, 1));
    EXPECT_TRUE(writePng(folder + "/картинка.png", pixel, 1, 1));  // over the first
    EXPECT_TRUE(statusOf(folder + "/картинка.png", status));

    // An environment value.
#ifdef _WIN32
    ASSERT_EQ(::_wputenv(L"DELVE_TEST_NAME=Зоя 游戏"), 0);
#else
    ASSERT_EQ(::setenv("DELVE_TEST_NAME", "Зоя 游戏", 1), 0);
#endif
    EXPECT_EQ(environmentValue("DELVE_TEST_NAME"), "Зоя 游戏");
    EXPECT_EQ(environmentValue("DELVE_TEST_NEVER_SET"), std::nullopt);
}

TEST(System, LocalTimeIsAPlainDate) {
    const std::tm t = localTimeOf(86400 * 366);  // 2 January 1971, give or take a time zone
    EXPECT_EQ(t.tm_year, 71);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_TRUE(t.tm_mday == 1 || t.tm_mday == 2 || t.tm_mday == 3) << t.tm_mday;
}

}  // namespace
}  // namespace delve
