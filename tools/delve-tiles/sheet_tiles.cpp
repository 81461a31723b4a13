#include "sheet_tiles.h"

#include "commands.h"
#include "platform/system.h"
#include "render/tile_image.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

std::optional<Image> loadTile(const fs::path& file) {
    const auto bytes = readWholeFile(file);
    if (!bytes) {
        reportError(textOf(file) + ": cannot be read");
        return std::nullopt;
    }
    auto image = decodeTileImage(*bytes);
    if (!image) reportError(textOf(file) + ": not a tile file");
    return image;
}

bool loadSheetTiles(const std::string& folder, SheetTiles& tiles) {
    std::error_code ec;
    if (!fs::is_directory(pathOf(folder), ec)) {
        reportError(folder + ": not a folder");
        return false;
    }
    for (const fs::path& file : filesWithExtension(pathOf(folder), ".til", false)) {
        auto image = loadTile(file);
        if (!image) return false;
        tiles.entries.push_back({image->width, image->height, sheetLabelOf(textOf(file.stem()))});
        tiles.images.push_back(std::move(*image));
        tiles.files.push_back(file);
    }
    if (tiles.files.empty()) {
        reportError(folder + ": no tile files");
        return false;
    }
    return true;
}

}  // namespace delve::tiles
