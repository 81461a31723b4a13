#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "commands.h"
#include "platform/png/png_writer.h"
#include "platform/system.h"
#include "render/tile_image.h"
#include "sheet_label.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

namespace {

// The loader's picture is already doubled; these are pixels of that picture.
constexpr int kPngZoom = 4;    // 8 times the tile's own pixels
constexpr int kSheetZoom = 3;  // 6 times the tile's own pixels
constexpr int kSheetColumns = 16;
constexpr int kLabelScale = 2;
constexpr int kGap = 12;
// A dark grey of the palette's grey ramp, so a tile's black shows its extent.
constexpr int kSheetBackground = 18;
constexpr int kLabelColour = 7;

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

void drawZoomed(Image& target, int left, int top, const Image& image, int zoom) {
    Surface surface = surfaceOf(target);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            drawLine(surface, left + x * zoom, top + y * zoom, left + x * zoom + zoom - 1, top + y * zoom + zoom - 1,
                     getPixel(image, x, y), LineShape::FilledBox);
}

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
    std::error_code ec;
    if (!fs::is_directory(pathOf(folder), ec)) {
        reportError(folder + ": not a folder");
        return 1;
    }
    struct Entry {
        Image image;
        std::string label;
    };
    std::vector<Entry> entries;
    for (const fs::path& file : filesWithExtension(pathOf(folder), ".til", false)) {
        auto tile = loadTile(file);
        if (!tile) return 1;
        entries.push_back({std::move(*tile), labelOf(file)});
    }
    if (entries.empty()) {
        reportError(folder + ": no tile files");
        return 1;
    }

    int tileWidth = 0, tileHeight = 0, labelSpace = 0;
    for (const Entry& e : entries) {
        tileWidth = std::max(tileWidth, e.image.width * kSheetZoom);
        tileHeight = std::max(tileHeight, e.image.height * kSheetZoom);
        labelSpace = std::max(labelSpace, labelWidth(e.label, kLabelScale));
    }
    const int cellWidth = std::max(tileWidth, labelSpace) + kGap;
    const int labelHeight = kLabelGlyphHeight * kLabelScale;
    const int cellHeight = tileHeight + kGap / 2 + labelHeight + kGap;
    const int columns = std::min<int>(kSheetColumns, static_cast<int>(entries.size()));
    const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;

    Image sheet = createImage(columns * cellWidth + kGap, rows * cellHeight + kGap);
    std::fill(sheet.pixels.begin(), sheet.pixels.end(), static_cast<uint8_t>(kSheetBackground));
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const int left = kGap + static_cast<int>(i) % columns * cellWidth;
        const int top = kGap + static_cast<int>(i) / columns * cellHeight;
        const int slot = cellWidth - kGap;
        drawZoomed(sheet, left + (slot - e.image.width * kSheetZoom) / 2, top, e.image, kSheetZoom);
        drawLabel(sheet, left + (slot - labelWidth(e.label, kLabelScale)) / 2, top + tileHeight + kGap / 2, e.label,
                  kLabelScale, kLabelColour);
    }
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
