#include "data/check/folder_check.h"

#include <sys/stat.h>

#include "data/check/data_file.h"
#include "data/check/definition_check.h"
#include "data/check/other_files_check.h"
#include "data/check/tile_check.h"
#include "game/key_value_store.h"
#include "platform/files.h"
#include "platform/system.h"

namespace delve::check {
namespace {

bool isFolder(const std::string& path) {
    FileStatus st;
    return !path.empty() && statusOf(path, st) && S_ISDIR(st.st_mode);
}

// Other .dat files in res/ are a likely misspelt name of one the game reads.
void reportStrayDataFiles(const std::string& resPath, Report& report) {
    std::vector<std::string> entries;
    if (!delve::folderEntries(resPath, entries)) return;
    for (const std::string& entry : entries) {
        const std::string name = delve::toLowerAscii(entry);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0) continue;
        if (name == "gamedata.dat" || name == "shops.dat" || name == "stats.dat") continue;
        addFinding(report, "res/" + entry, 0,
                   "never read by the game (it reads gamedata.dat, shops.dat and stats.dat)");
    }
}

}  // namespace

FolderCheck checkGameFolder(const std::string& root, Report& report) {
    FolderCheck result;
    if (!isFolder(root) || !delve::canReadFolder(root)) {
        result.problem = root + " is not a folder that can be read";
        return result;
    }
    delve::Files files;
    files.root = root;
    const std::string resPath = delve::resolveGameFile(files, "res");
    if (!isFolder(resPath)) {
        result.problem = root + " has no res folder; it is not a game folder";
        return result;
    }
    DataFile gameData = readDataFile(root, "res\\gamedata.dat", "res/gamedata.dat", report);
    DataFile shops = readDataFile(root, "res\\shops.dat", "res/shops.dat", report);
    DataFile stats = readDataFile(root, "res\\stats.dat", "res/stats.dat", report);
    const Definition definition = checkDefinition(gameData, report);
    checkShops(shops, report);
    checkStatHeadings(stats, definition, report);
    reportStrayDataFiles(resPath, report);
    result.tiles = checkTiles(root, definition, report);
    return result;
}

}  // namespace delve::check
