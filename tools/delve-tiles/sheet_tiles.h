#pragma once
// Tile files as the loader pictures them, alone or a folder at a time, for
// the commands that draw them and for reading their sheet back.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/image.h"
#include "render/sheet_layout.h"

namespace delve::tiles {

// The loader's picture of the file; reports and gives nothing when it cannot
// be read or is not a tile file.
std::optional<Image> loadTile(const std::filesystem::path& file);

struct SheetTiles {
    std::vector<std::filesystem::path> files;
    std::vector<Image> images;
    std::vector<SheetEntry> entries;
};

// Every tile file of the folder (not below it), sorted by name, labelled with
// its code or name. Reports and returns false when the folder is no folder,
// holds no tile file or one that is not a tile.
bool loadSheetTiles(const std::string& folder, SheetTiles& tiles);

}  // namespace delve::tiles
