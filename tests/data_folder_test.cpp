// Finding the data folder: a given folder, the program's own folder, and the
// player's folder filled from an installed copy that is never written to.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/file_lock.h"
#include "recording/data_digest.h"
#include "app/start/data_folder.h"
#include "flow/program.h"
#include "support/support.h"

namespace delve::test {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file below `dir` with its bytes and modification time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> snapshot(const std::string& dir) {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string relative = fs::relative(entry.path(), dir).string();
        files[relative] = {entry.is_regular_file() ? readFile(entry.path().string()) : "", entry.last_write_time()};
    }
    return files;
}

// <prefix>/bin (the program) and <prefix>/share/delve (the installed data),
// and a home of its own.
struct Installed {
    ScratchDir prefix, home;
    DataFolderPlaces places;
    Installed() {
        prefix.write("share/delve/res/gamedata.dat", "gametitle=\"installed\"\r\nrandomizer=7");
        prefix.write("share/delve/res/shops.dat", "");
        prefix.write("share/delve/tiles/map/map_035.til", "\xfd tile");
        fs::create_directories(prefix.path() + "/bin");
        places.programDir = prefix.path() + "/bin";
        places.installedDir = prefix.path() + "/bin/../share/delve";
        places.playerDir = home.path() + "/.local/share/delve";
    }
};

TEST(DataFolder, FirstRunCopiesTheInstalledDataLaterRunsReuseIt) {
    Installed in;
    // Installed read-only, as a package leaves it for a player.
    for (const auto& entry : fs::recursive_directory_iterator(in.prefix.path() + "/share"))
        fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    const auto before = snapshot(in.places.installedDir);
    EXPECT_EQ(chooseDataFolder(in.places).kind, DataFolderKind::PlayerToFill);

    std::string note, error;
    const auto first = openDataFolder(in.places, note, error);
    ASSERT_TRUE(first.has_value()) << error;
    EXPECT_EQ(*first, in.places.playerDir);
    EXPECT_NE(note.find("copied the game data from " + in.places.installedDir + " to " + in.places.playerDir),
              std::string::npos) << note;
    EXPECT_EQ(readFile(*first + "/res/gamedata.dat"), "gametitle=\"installed\"\r\nrandomizer=7");
    EXPECT_EQ(readFile(*first + "/tiles/map/map_035.til"), "\xfd tile");
    // The copies belong to the player: writable whatever the installed modes.
    EXPECT_TRUE((fs::status(*first + "/res/gamedata.dat").permissions() & fs::perms::owner_write) != fs::perms::none);
    EXPECT_TRUE((fs::status(*first + "/res").permissions() & fs::perms::owner_write) != fs::perms::none);
    EXPECT_FALSE(fs::exists(*first + "/.res.partial"));

    // The game plays there and writes its files (encounter file, mouse.bin).
    {
        HeadlessGame hg(*first, "x 66\x1b");
        runProgram(hg.game);
    }
    EXPECT_TRUE(fs::exists(*first + "/res/encounter.txt"));

    // The player changes a file; the next run keeps it and says nothing.
    writeFile(*first + "/res/gamedata.dat", "gametitle=\"mine\"");
    note.clear();
    const auto second = openDataFolder(in.places, note, error);
    ASSERT_TRUE(second.has_value()) << error;
    EXPECT_EQ(*second, *first);
    EXPECT_EQ(note, "");
    EXPECT_EQ(chooseDataFolder(in.places).kind, DataFolderKind::Player);
    EXPECT_EQ(readFile(*second + "/res/gamedata.dat"), "gametitle=\"mine\"");

    // Root ignores permissions, so check the installed data itself.
    EXPECT_EQ(snapshot(in.places.installedDir), before);
}

#ifdef _WIN32
// Reported as skipped, so that the Windows run says what it leaves out.
TEST(DataFolder, ASecondFirstStartWaitsForTheFirstCopy) {
    GTEST_SKIP() << "the second start is a fork(); scripts/windows-e2e installs and starts the game there";
}
#else
// Two first starts at once: the second waits for the first's copy under
// the folder's lock and then uses it, instead of copying over it.
TEST(DataFolder, ASecondFirstStartWaitsForTheFirstCopy) {
    Installed in;
    const std::string player = in.places.playerDir;
    fs::create_directories(player);
    FileLock first;
    ASSERT_EQ(lockFile(first, player + "/.lock", LockWait::DontWait), LockResult::Taken);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t second = fork();
    if (second == 0) {
        first.release();  // the parent's lock, inherited: only the parent holds it
        std::string note, error;
        const auto opened = openDataFolder(in.places, note, error);
        const std::string said = (opened ? "ok " : "failed ") + note + error;
        (void)!write(report[1], said.data(), said.size());
        _exit(0);
    }
    close(report[1]);
    // The first start copies meanwhile (the second may or may not be
    // waiting yet; either way it must not copy again).
    usleep(300 * 1000);
    fs::copy(in.places.installedDir, player, fs::copy_options::recursive);
    char stamp[17];
    std::snprintf(stamp, sizeof stamp, "%016llx",
                  static_cast<unsigned long long>(dataFolderDigest(in.places.installedDir)));
    writeFile(player + "/.installed-digest", std::string(stamp) + "\n");
    const auto copied = snapshot(player + "/res");
    first.release();
    std::string said;
    char buf[512];
    for (ssize_t n; (n = read(report[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    close(report[0]);
    waitpid(second, nullptr, 0);
    EXPECT_EQ(said, "ok ");
    EXPECT_EQ(snapshot(player + "/res"), copied);
}
#endif

TEST(DataFolder, AnUpgradeReplacesAnUnchangedCopyAndKeepsAChangedOne) {
    Installed in;
    std::string note, error;
    ASSERT_TRUE(openDataFolder(in.places, note, error).has_value()) << error;
    const std::string player = in.places.playerDir;
    const auto upgrade = [&](const std::string& title) {
        in.prefix.write("share/delve/res/gamedata.dat", "gametitle=\"" + title + "\"");
        in.prefix.write("share/delve/tiles/map/map_035.til", "\xfd " + title);
    };
    const auto open = [&] {
        note.clear();
        EXPECT_TRUE(openDataFolder(in.places, note, error).has_value()) << error;
        return note;
    };
    // Playing writes the encounter file; that is not a change of the data.
    writeFile(player + "/res/encounter.txt", "[Found 5 Gold]");

    upgrade("v2");
    EXPECT_NE(open().find("updated the game data in " + player), std::string::npos) << note;
    EXPECT_EQ(readFile(player + "/res/gamedata.dat"), "gametitle=\"v2\"");
    EXPECT_EQ(readFile(player + "/tiles/map/map_035.til"), "\xfd v2");
    EXPECT_EQ(open(), "");

    // A swap cut short after res/ was moved aside: the next start finishes
    // it, tiles included, instead of pairing new res/ with old tiles.
    upgrade("v3");
    fs::rename(player + "/res", player + "/.res.old");
    EXPECT_NE(open().find("copied the game data"), std::string::npos) << note;
    EXPECT_EQ(readFile(player + "/tiles/map/map_035.til"), "\xfd v3");
    EXPECT_FALSE(fs::exists(player + "/.res.old"));
    EXPECT_EQ(open(), "");

    // The player's own changes survive an upgrade, said once.
    writeFile(player + "/res/gamedata.dat", "gametitle=\"mine\"");
    upgrade("v4");
    EXPECT_NE(open().find("kept your changed game data in " + player), std::string::npos) << note;
    EXPECT_EQ(open(), "");
    EXPECT_EQ(readFile(player + "/res/gamedata.dat"), "gametitle=\"mine\"");
    EXPECT_EQ(readFile(player + "/tiles/map/map_035.til"), "\xfd v3");
}

TEST(DataFolder, TheChoiceFollowsItsOrder) {
    Installed in;
    // A staged build: the program's own folder holds res/ and wins over the
    // player's folder.
    in.prefix.write("bin/res/gamedata.dat", "");
    in.home.write(".local/share/delve/res/gamedata.dat", "");
    DataFolderChoice c = chooseDataFolder(in.places);
    EXPECT_EQ(c.kind, DataFolderKind::Program);
    EXPECT_EQ(c.path, in.places.programDir);

    // --data wins over both; a folder without res/ is refused by name, and
    // nothing else is tried in its place.
    in.places.given = in.home.path() + "/.local/share/delve";
    c = chooseDataFolder(in.places);
    EXPECT_EQ(c.kind, DataFolderKind::Given);
    EXPECT_EQ(c.path, in.places.given);
    in.places.given = in.prefix.path() + "/share";
    std::string note, error;
    EXPECT_FALSE(openDataFolder(in.places, note, error).has_value());
    EXPECT_EQ(error, "no game data found (a folder holding res/); tried: " + in.places.given);

    // A player's folder that is a file, not a folder, cannot be filled.
    in.places.given.clear();
    fs::remove_all(in.prefix.path() + "/bin/res");
    fs::remove_all(in.home.path() + "/.local/share/delve");
    in.home.write(".local/share/delve", "not a folder");
    EXPECT_FALSE(openDataFolder(in.places, note, error).has_value());
    EXPECT_NE(error.find(in.places.playerDir), std::string::npos) << error;
}

TEST(DataFolder, NoDataAnywhereNamesEveryFolderTried) {
    Installed in;
    fs::remove_all(in.prefix.path() + "/share");
    std::string note, error;
    EXPECT_FALSE(openDataFolder(in.places, note, error).has_value());
    EXPECT_EQ(error, "no game data found (a folder holding res/); tried: " + in.places.programDir + " " +
                         in.places.playerDir + " " + in.places.installedDir);
    EXPECT_FALSE(fs::exists(in.places.playerDir));  // nothing made on the way
    EXPECT_EQ(note, "");
}

#ifdef _WIN32
// Reported as skipped, so that the Windows run says what it leaves out.
TEST(DataFolder, PlayerFolderFollowsAnAbsoluteXdgDataHomeOnly) {
    GTEST_SKIP() << "XDG_DATA_HOME is Linux's; on Windows the player's folder is %APPDATA%\\Delve (system_test)";
}
#else
// The player's folder follows XDG_DATA_HOME only when it is absolute; unset
// or relative, it is below the home folder, never wherever the game was
// started from.
TEST(DataFolder, PlayerFolderFollowsAnAbsoluteXdgDataHomeOnly) {
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg ? savedXdg : "", home = savedHome ? savedHome : "";
    ::setenv("HOME", "/home/player", 1);
    ::setenv("XDG_DATA_HOME", "/data/xdg", 1);
    DataFolderPlaces p = dataFolderPlaces("given");
    EXPECT_EQ(p.given, "given");
    EXPECT_EQ(p.playerDir, "/data/xdg/delve");
    // This test program sits in the build folder: the installed data would be
    // beside it, at ../share/delve.
    EXPECT_EQ(p.installedDir, fs::path(p.programDir).parent_path().string() + "/share/delve");
    for (const char* relative : {"relative/xdg", "./xdg", ""}) {
        ::setenv("XDG_DATA_HOME", relative, 1);
        EXPECT_EQ(dataFolderPlaces("").playerDir, "/home/player/.local/share/delve") << '"' << relative << '"';
    }
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(dataFolderPlaces("").playerDir, "/home/player/.local/share/delve");
    savedXdg ? ::setenv("XDG_DATA_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}
#endif

}  // namespace
}  // namespace delve::test
