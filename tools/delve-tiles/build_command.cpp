#include <filesystem>
#include <iostream>
#include <vector>

#include "commands.h"
#include "platform/system.h"
#include "tile_art.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

int buildTiles(const std::string& srcDir, const std::string& outDir) {
    std::error_code ec;
    if (!fs::is_directory(pathOf(srcDir), ec)) {
        reportError(srcDir + ": not a folder");
        return 1;
    }
    const std::vector<fs::path> sources = filesWithExtension(pathOf(srcDir), ".txt", true);
    if (sources.empty()) {
        reportError(srcDir + ": no .txt art found");
        return 1;
    }

    // Check every piece first, so a bad file leaves the output untouched
    // instead of a folder with some tiles new and some old.
    struct Pending {
        fs::path target;
        std::string bytes;
    };
    std::vector<Pending> pending;
    for (const fs::path& source : sources) {
        const auto text = readWholeFile(source);
        if (!text) {
            reportError(textOf(source) + ": cannot be read");
            return 1;
        }
        TileArt art;
        ArtError error;
        if (!parseTileArt(*text, art, error)) {
            reportError(textOf(source) + ":" + std::to_string(error.line) + ": " + error.message);
            return 1;
        }
        fs::path target = pathOf(outDir) / fs::relative(source, pathOf(srcDir), ec);
        target.replace_extension(".til");
        pending.push_back({target, encodeTile(art)});
    }

    for (const Pending& tile : pending) {
        fs::create_directories(tile.target.parent_path(), ec);
        if (!writeFileAtomically(tile.target, tile.bytes)) {
            reportError(textOf(tile.target) + ": cannot be written");
            return 1;
        }
    }
    return 0;
}

}  // namespace delve::tiles
