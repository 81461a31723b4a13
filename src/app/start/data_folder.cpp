#include "app/start/data_folder.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_lock.h"
#include "platform/system.h"
#include "recording/data_digest.h"

namespace delve {

namespace fs = std::filesystem;

namespace {

// A folder the game can play from: it and its res/ can be listed and read.
bool holdsGameData(const std::string& dir) {
    if (dir.empty()) return false;
    std::error_code ec;
    const fs::path res = pathOf(dir) / "res";
    return fs::is_directory(pathOf(dir), ec) && fs::is_directory(res, ec) && canReadFolder(dir) &&
           canReadFolder(textOf(res));
}

// Copies one installed folder into the player's folder, giving the player
// write access to the copies whatever the installed permissions were.
bool copyTree(const fs::path& from, const fs::path& to, std::error_code& ec) {
    fs::copy(from, to, fs::copy_options::recursive, ec);
    if (ec) return false;
    fs::permissions(to, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(to, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::perms extra = it->is_directory(ec) ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write;
        fs::permissions(it->path(), extra, fs::perm_options::add, ec);
    }
    return !ec;
}

// Beside res/ while the player's copy is being replaced by a newer installed
// one: tiles/ may then be old or new, so a later fill replaces them too.
constexpr const char* kOldRes = ".res.old";
// The digest of the installed data the player's copy was made from.
constexpr const char* kStampFile = ".installed-digest";
// Held while the player's folder is filled or swapped.
constexpr const char* kLockFile = ".lock";

// tiles/ first and res/ last, through a temporary name: res/ is what makes
// the folder count as filled, so an interrupted copy is simply made again.
bool fillPlayerFolder(const std::string& installed, const std::string& player, std::string& error) {
    std::error_code ec;
    const fs::path to = pathOf(player);
    fs::create_directories(to, ec);
    if (ec) {
        error = player + ": cannot be made (" + ec.message() + ")";
        return false;
    }
    const fs::path tilesFrom = pathOf(installed) / "tiles";
    const bool replacing = fs::exists(to / kOldRes, ec);
    if (replacing) fs::remove_all(to / "tiles", ec);
    if (fs::is_directory(tilesFrom, ec) && !fs::exists(to / "tiles", ec)) {
        const fs::path partial = to / ".tiles.partial";
        fs::remove_all(partial, ec);
        if (!copyTree(tilesFrom, partial, ec) || (fs::rename(partial, to / "tiles", ec), ec)) {
            fs::remove_all(partial, ec);
            error = player + "/tiles: cannot copy the installed tiles";
            return false;
        }
    }
    const fs::path partial = to / ".res.partial";
    fs::remove_all(partial, ec);
    if (!copyTree(pathOf(installed) / "res", partial, ec) || (fs::rename(partial, to / "res", ec), ec)) {
        std::error_code ignored;
        fs::remove_all(partial, ignored);
        error = player + "/res: cannot copy the installed data";
        return false;
    }
    fs::remove_all(to / kOldRes, ec);
    return true;
}

std::string digestText(uint64_t digest) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, digest);
    return text;
}

std::string readStamp(const std::string& player) {
    std::ifstream in(pathOf(player) / kStampFile);
    std::string text;
    std::getline(in, text);
    return text;
}

void writeStamp(const std::string& player, uint64_t installedDigest) {
    std::ofstream(pathOf(player) / kStampFile, std::ios::trunc) << digestText(installedDigest) << '\n';
}

// After a package upgrade the installed data differs from the copy the
// player's folder was made from. A copy the player never changed is
// replaced (res/ moved aside first, so an interrupted swap is finished by
// the next start); a changed one is kept and the player told once.
void followInstalledData(const std::string& installed, const std::string& player, std::string& note) {
    const uint64_t installedDigest = dataFolderDigest(installed);
    const std::string stamp = readStamp(player);
    if (stamp == digestText(installedDigest)) return;
    const uint64_t playerDigest = dataFolderDigest(player);
    if (playerDigest == installedDigest) {
        writeStamp(player, installedDigest);
        return;
    }
    if (stamp == digestText(playerDigest)) {
        std::error_code ec;
        fs::rename(pathOf(player) / "res", pathOf(player) / kOldRes, ec);
        std::string error;
        if (!ec && fillPlayerFolder(installed, player, error)) {
            writeStamp(player, installedDigest);
            note = "updated the game data in " + player + " to the newer installed data from " + installed;
        }
        // A failed swap leaves no res/: the next start fills the folder anew.
        return;
    }
    writeStamp(player, installedDigest);
    note = "kept your changed game data in " + player + ", though the installed data in " + installed +
           " has changed; delete that folder to take the installed data";
}

}  // namespace

DataFolderPlaces dataFolderPlaces(const std::string& given) {
    DataFolderPlaces places;
    places.given = given;
    places.programDir = runningProgramFolder();
    if (!places.programDir.empty()) places.installedDir = installedDataFolder(places.programDir);
    places.playerDir = playerDataFolder();
    return places;
}

DataFolderChoice chooseDataFolder(const DataFolderPlaces& places) {
    DataFolderChoice choice;
    if (!places.given.empty()) {
        // A folder asked for by name is used or refused, never swapped for another.
        choice.tried.push_back(places.given);
        if (holdsGameData(places.given)) {
            choice.kind = DataFolderKind::Given;
            choice.path = places.given;
        }
        return choice;
    }
    if (!places.programDir.empty()) {
        choice.tried.push_back(places.programDir);
        if (holdsGameData(places.programDir)) {
            choice.kind = DataFolderKind::Program;
            choice.path = places.programDir;
            return choice;
        }
    }
    if (places.playerDir.empty()) return choice;
    choice.tried.push_back(places.playerDir);
    if (holdsGameData(places.playerDir)) {
        choice.kind = DataFolderKind::Player;
        choice.path = places.playerDir;
        return choice;
    }
    if (!places.installedDir.empty()) {
        choice.tried.push_back(places.installedDir);
        if (holdsGameData(places.installedDir)) {
            choice.kind = DataFolderKind::PlayerToFill;
            choice.path = places.playerDir;
        }
    }
    return choice;
}

std::optional<std::string> openDataFolder(const DataFolderPlaces& places, std::string& note, std::string& error) {
    DataFolderChoice choice = chooseDataFolder(places);
    // Filling the player's folder and swapping it after an upgrade happen
    // under a lock, so two programs starting at once never copy over each
    // other; the second looks again once the first is done.
    FileLock lock;
    if (choice.kind == DataFolderKind::PlayerToFill ||
        (choice.kind == DataFolderKind::Player && holdsGameData(places.installedDir))) {
        std::error_code ec;
        fs::create_directories(pathOf(places.playerDir), ec);
        if (!ec && lockFile(lock, textOf(pathOf(places.playerDir) / kLockFile), LockWait::Wait) ==
                       LockResult::Taken)
            choice = chooseDataFolder(places);
    }
    if (choice.kind == DataFolderKind::None) {
        error = "no game data found (a folder holding res/); tried:";
        for (const std::string& dir : choice.tried) error += " " + dir;
        if (choice.tried.empty()) error += " nothing (no --data, program folder or home folder)";
        return std::nullopt;
    }
    if (choice.kind == DataFolderKind::PlayerToFill) {
        if (!fillPlayerFolder(places.installedDir, places.playerDir, error)) return std::nullopt;
        note = "copied the game data from " + places.installedDir + " to " + places.playerDir +
               "; change it there, or delete that folder to start afresh";
        writeStamp(places.playerDir, dataFolderDigest(places.installedDir));
    } else if (choice.kind == DataFolderKind::Player && holdsGameData(places.installedDir)) {
        followInstalledData(places.installedDir, places.playerDir, note);
    }
    return choice.path;
}

}  // namespace delve
