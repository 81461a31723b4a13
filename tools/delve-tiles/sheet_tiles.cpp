#include "sheet_tiles.h"

#include "commands.h"
#include "platform/system.h"
#include "render/tile_image.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

namespace {

// The file's code or name: font_065 and map_065 give "065", garr_001 "garr".
std::string labelOf(const fs::path& file) {
    std::string stem = textOf(file.stem());
    for (const std::string prefix : {"font_", "map_"})
        if (stem.size() > prefix.size() && stem.compare(0, prefix.size(), prefix) == 0) return stem.substr(prefix.size());
    const std::string suffix = "_001";
    if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        return stem.substr(0, stem.size() - suffix.size());
    return stem;
}

}  // namespace

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
        tiles.entries.push_back({image->width, image->height, labelOf(file)});
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
