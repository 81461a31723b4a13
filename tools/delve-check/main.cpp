// delve-check [DIR]: checks a game folder's data files and tiles the way the
// game reads them, since the game itself shows "%%" or 0 for every mistake.
// Exit status: 0 clean, 1 with findings, 2 when DIR cannot be checked.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "game/key_value_store.h"
#include "data_file.h"
#include "delve_version.h"
#include "definition_check.h"
#include "other_files_check.h"
#include "platform/files.h"
#include "report.h"
#include "tile_check.h"

namespace {

using namespace delve::check;

bool isFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Other .dat files in res/ are a likely misspelt name of one the game reads.
void reportStrayDataFiles(const std::string& resPath, Report& report) {
    DIR* dir = ::opendir(resPath.c_str());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = delve::toLowerAscii(entry->d_name);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0) continue;
        if (name == "gamedata.dat" || name == "shops.dat" || name == "stats.dat") continue;
        addFinding(report, std::string("res/") + entry->d_name, 0,
                   "never read by the game (it reads gamedata.dat, shops.dat and stats.dat)");
    }
    ::closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc >= 2 ? argv[1] : "";
    if (argc == 2 && first == "--help") {
        std::cout << "usage: delve-check [DIR]\n"
                     "Checks DIR/res/*.dat and DIR/tiles (DIR defaults to the current folder) the way\n"
                     "the game reads them. Exit status: 0 clean, 1 with findings, 2 when DIR cannot be checked.\n";
        return 0;
    }
    if (argc == 2 && first == "--version") {
        std::cout << "delve-check " << DELVE_VERSION << '\n';
        return 0;
    }
    if (argc > 2 || (argc == 2 && std::string(argv[1]).rfind("-", 0) == 0)) {
        std::cerr << "usage: delve-check [DIR]\n"
                     "Checks DIR/res/*.dat and DIR/tiles (DIR defaults to the current folder).\n";
        return 2;
    }
    const std::string root = argc == 2 ? argv[1] : ".";
    if (!isFolder(root) || ::access(root.c_str(), R_OK | X_OK) != 0) {
        std::cerr << "delve-check: " << root << " is not a folder that can be read\n";
        return 2;
    }
    delve::Files files;
    files.root = root;
    const std::string resPath = delve::resolveGameFile(files, "res");
    if (!isFolder(resPath)) {
        std::cerr << "delve-check: " << root << " has no res folder; it is not a game folder\n";
        return 2;
    }

    Report report;
    DataFile gameData = readDataFile(root, "res\\gamedata.dat", "res/gamedata.dat", report);
    DataFile shops = readDataFile(root, "res\\shops.dat", "res/shops.dat", report);
    DataFile stats = readDataFile(root, "res\\stats.dat", "res/stats.dat", report);
    const Definition definition = checkDefinition(gameData, report);
    checkShops(shops, report);
    checkStatHeadings(stats, definition, report);
    reportStrayDataFiles(resPath, report);
    const int tiles = checkTiles(root, definition, report);

    printFindings(std::cout, report);
    const size_t n = report.findings.size();
    if (n == 0) {
        std::cout << "delve-check: " << root << " is ready: 3 data files and " << tiles << " tiles checked\n";
        return 0;
    }
    std::cout << "delve-check: " << n << (n == 1 ? " problem" : " problems") << " in " << root << '\n';
    return 1;
}
