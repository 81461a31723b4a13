// delve-tiles: turns the text art under assets/tiles into the game's tile
// files, and shows tile files as pictures so artists can check their work.
#include <iostream>
#include <string>

#include "commands.h"

namespace delve::tiles {

void reportError(const std::string& message) { std::cerr << "delve-tiles: " << message << '\n'; }

}  // namespace delve::tiles

namespace {

int usage() {
    std::cerr << "usage: delve-tiles build SRC_DIR OUT_DIR\n"
                 "       delve-tiles png FILE.til OUT.png\n"
                 "       delve-tiles sheet DIR OUT.png\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return usage();
    const std::string command = argv[1];
    if (command == "build") return delve::tiles::buildTiles(argv[2], argv[3]);
    if (command == "png") return delve::tiles::tileToPng(argv[2], argv[3]);
    if (command == "sheet") return delve::tiles::contactSheet(argv[2], argv[3]);
    return usage();
}
