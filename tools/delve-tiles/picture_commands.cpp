#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "commands.h"
#include "platform/png/png_writer.h"
#include "platform/system.h"
#include "render/tile_image.h"
#include "render/sheet_label.h"
#include "render/sheet_layout.h"
#include "sheet_tiles.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

namespace {

// The loader's picture is already doubled; these are pixels of that picture.
constexpr int kPngZoom = 4;    // 8 times the tile's own pixels

bool savePng(const Image& image, const std::string& pngFile) {
    if (writePng(pngFile, image.pixels.data(), image.width, image.height)) return true;
    reportError(pngFile + ": cannot be written");
    return false;
}

}  // namespace

int tileToPng(const std::string& tileFile, const std::string& pngFile) {
    const auto tile = loadTile(pathOf(tileFile));
    if (!tile) return 1;
    Image picture = createImage(tile->width * kPngZoom, tile->height * kPngZoom);
    drawZoomed(picture, 0, 0, *tile, kPngZoom);
    return savePng(picture, pngFile) ? 0 : 1;
}

int contactSheet(const std::string& folder, const std::string& pngFile) {
    SheetTiles tiles;
    if (!loadSheetTiles(folder, tiles)) return 1;
    const Image sheet = drawSheet(tiles.entries, tiles.images);
    return savePng(sheet, pngFile) ? 0 : 1;
}

int tileIcon(const std::string& tileFile, const std::string& size, const std::string& pngFile) {
    const bool digits = !size.empty() && size.size() <= 4 && size.find_first_not_of("0123456789") == std::string::npos;
    const int side = digits ? std::stoi(size) : 0;
    if (side < 16 || side > 1024) {
        reportError(size + ": not an icon size from 16 to 1024");
        return 2;
    }
    const auto tile = loadTile(pathOf(tileFile));
    if (!tile) return 1;
    if (tile->width <= 0 || tile->height <= 0) {
        reportError(tileFile + ": an empty tile");
        return 1;
    }
    // Nearest neighbour keeps the pixels sharp; the longer side fills the icon.
    const int longer = std::max(tile->width, tile->height);
    const int width = tile->width * side / longer, height = tile->height * side / longer;
    const int left = (side - width) / 2, top = (side - height) / 2;
    Image icon = createImage(side, side);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setPixel(icon, left + x, top + y, getPixel(*tile, x * tile->width / width, y * tile->height / height));
    return savePng(icon, pngFile) ? 0 : 1;
}

}  // namespace delve::tiles
