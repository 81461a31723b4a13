// delve-tiles: turns the text art under assets/tiles into the game's tile
// files, and shows tile files as pictures so artists can check their work.
#include <iostream>
#include <string>

#include "commands.h"
#include "delve_version.h"
#include "platform/system.h"

namespace delve::tiles {

void reportError(const std::string& message) { std::cerr << "delve-tiles: " << message << '\n'; }

}  // namespace delve::tiles

namespace {

constexpr const char* kUsage =
    "usage: delve-tiles build SRC_DIR OUT_DIR\n"
    "       delve-tiles png FILE.til OUT.png\n"
    "       delve-tiles sheet DIR OUT.png\n"
    "       delve-tiles icon FILE.til SIZE OUT.png\n"
    "       delve-tiles from-png [--nearest] FILE.png TILE.til|DIR\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** given) {
    delve::useUtf8Console();
    const delve::ProgramArguments args(argc, given);
    argc = args.argc;
    char** argv = args.argv;
    const std::string command = argc >= 2 ? argv[1] : "";
    if (argc == 2 && command == "--help") {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && command == "--version") {
        std::cout << "delve-tiles " << DELVE_VERSION << '\n';
        return 0;
    }
    if (command == "from-png" && ((argc == 4 && argv[2][0] != '-') || (argc == 5 && std::string(argv[2]) == "--nearest")))
        return delve::tiles::fromPng(argv[argc - 2], argv[argc - 1], argc == 5);
    if (argc == 5 && command == "icon") return delve::tiles::tileIcon(argv[2], argv[3], argv[4]);
    if (argc != 4) return usage();
    if (command == "build") return delve::tiles::buildTiles(argv[2], argv[3]);
    if (command == "png") return delve::tiles::tileToPng(argv[2], argv[3]);
    if (command == "sheet") return delve::tiles::contactSheet(argv[2], argv[3]);
    return usage();
}
