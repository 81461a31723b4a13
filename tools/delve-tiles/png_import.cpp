#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>

#include "commands.h"
#include "platform/palette.h"
#include "platform/png/png_reader.h"
#include "platform/system.h"
#include "render/tile_image.h"
#include "render/tile_picture.h"
#include "render/sheet_label.h"
#include "render/sheet_layout.h"
#include "sheet_tiles.h"
#include "tile_art.h"
#include "tile_files.h"

namespace delve::tiles {

namespace fs = std::filesystem;

namespace {

// A new tile is one text cell, the size of every map and font tile.
constexpr int kNewTileSide = 8;
// Far above any picture of a tile or sheet; the file is read whole.
constexpr std::uintmax_t kMaxPngFileBytes = 64u * 1024 * 1024;

std::optional<PngPicture> readPicture(const std::string& pngFile) {
    std::error_code ec;
    const fs::path path = pathOf(pngFile);
    if (!fs::is_regular_file(path, ec)) {
        reportError(pngFile + ": " + (fs::exists(path, ec) ? "not a plain file" : "no such file"));
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxPngFileBytes) {
        reportError(pngFile + (ec ? std::string(": cannot be read")
                                  : ": larger than " + std::to_string(kMaxPngFileBytes / (1024 * 1024)) + " MB"));
        return std::nullopt;
    }
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        reportError(pngFile + ": cannot be read");
        return std::nullopt;
    }
    PngPicture picture = readPng(*bytes);
    if (!picture.problem.empty()) {
        reportError(pngFile + ": " + picture.problem);
        return std::nullopt;
    }
    return picture;
}

RgbaView viewOf(const PngPicture& picture) { return {picture.rgba.data(), picture.width, picture.height}; }

std::string refusalText(const TileFromPicture& taken) {
    if (taken.refusal == PictureRefusal::NotATileColour)
        return taken.problem + "; --nearest takes the nearest tile colour for each";
    return taken.problem;
}

TileArt artOf(const TilePixels& tile) { return {tile.width, tile.height, tile.pixels}; }

std::string changedText(int changed) {
    return std::to_string(changed) + (changed == 1 ? " pixel" : " pixels") + " changed to the nearest tile colour";
}

int tileFromPng(const std::string& pngFile, const std::string& tileFile, bool nearest) {
    const fs::path target = pathOf(tileFile);
    std::error_code ec;
    // An empty file is what the game leaves for a tile it did not find: a new
    // tile, as a missing file is. Anything else must be a tile, or the
    // picture would overwrite a file that is not one.
    std::optional<std::string> old;
    int width = kNewTileSide, height = kNewTileSide;
    if (fs::exists(target, ec)) {
        old = readWholeFile(target);
        if (!old) {
            reportError(tileFile + ": cannot be read");
            return 1;
        }
        if (old->empty()) {
            old.reset();
        } else {
            const auto image = decodeTileImage(*old);
            if (!image) {
                reportError(tileFile + ": not a tile file, so it is left as it is");
                return 1;
            }
            width = image->width / 2;
            height = image->height / 2;
        }
    }
    const auto picture = readPicture(pngFile);
    if (!picture) return 1;
    const TileFromPicture taken = tileFromPicture(viewOf(*picture), width, height, nearest);
    if (taken.refusal != PictureRefusal::None) {
        reportError(pngFile + ": " + refusalText(taken));
        return 1;
    }
    const TileArt art = artOf(taken.tile);
    std::string bytes = old ? *old : encodeTile(art);
    if (old) replaceTilePixels(bytes, art);
    if ((!old || bytes != *old) && !writeFileAtomically(target, bytes)) {
        reportError(tileFile + ": cannot be written");
        return 1;
    }
    if (nearest) std::cout << tileFile << ": " << changedText(taken.changed) << '\n';
    return 0;
}

// Whether the sheet shows the entry's label where `sheet` draws it: a sheet
// drawn for other tiles (a tile more, or one renamed) must not be read into
// these, where it could still be of the same size.
bool labelMatches(const PngPicture& picture, const SheetEntry& entry, const SheetPlace& place) {
    const int width = labelWidth(entry.label, kSheetLabelScale);
    const int height = kLabelGlyphHeight * kSheetLabelScale;
    Image label = createImage(width, height);
    std::fill(label.pixels.begin(), label.pixels.end(), static_cast<uint8_t>(kSheetBackground));
    drawLabel(label, 0, 0, entry.label, kSheetLabelScale, kSheetLabelColour);
    const auto& palette = defaultPalette();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int px = place.labelLeft + x, py = place.labelTop + y;
            if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) return false;
            const uint8_t* p = &picture.rgba[(static_cast<size_t>(py) * static_cast<size_t>(picture.width) +
                                              static_cast<size_t>(px)) * 4];
            const Rgb c = palette[getPixel(label, x, y)];
            if (p[0] != c.r || p[1] != c.g || p[2] != c.b) return false;
        }
    }
    return true;
}

int sheetFromPng(const std::string& pngFile, const std::string& folder, bool nearest) {
    SheetTiles tiles;
    if (!loadSheetTiles(folder, tiles)) return 1;
    const SheetLayout layout = layoutSheet(tiles.entries);
    const auto picture = readPicture(pngFile);
    if (!picture) return 1;
    if (picture->width != layout.width || picture->height != layout.height) {
        const size_t n = tiles.files.size();
        reportError(pngFile + ": the picture is " + std::to_string(picture->width) + " by " +
                    std::to_string(picture->height) + " pixels, but the sheet of the " + std::to_string(n) +
                    (n == 1 ? " tile" : " tiles") + " in " + folder + " is " + std::to_string(layout.width) + " by " +
                    std::to_string(layout.height) + " (as `delve-tiles sheet` draws it)");
        return 1;
    }
    // Every tile is taken before any is written, so a refusal leaves the
    // folder as it was.
    struct Pending {
        fs::path file;
        std::string bytes;
    };
    std::vector<Pending> pending;
    int changed = 0;
    for (size_t i = 0; i < tiles.files.size(); ++i) {
        const SheetEntry& entry = tiles.entries[i];
        if (!labelMatches(*picture, entry, layout.places[i])) {
            reportError(pngFile + ": the label of " + textOf(tiles.files[i].filename()) + " does not read \"" +
                        entry.label + "\" where the sheet of " + folder + " has it: a sheet of other tiles");
            return 1;
        }
        const TileFromPicture taken =
            tileFromPictureArea(viewOf(*picture), layout.places[i].tileLeft, layout.places[i].tileTop, kSheetScale,
                                entry.imageWidth / 2, entry.imageHeight / 2, nearest);
        if (taken.refusal != PictureRefusal::None) {
            reportError(pngFile + ": the tile " + textOf(tiles.files[i].filename()) + ": " + refusalText(taken));
            return 1;
        }
        changed += taken.changed;
        const auto old = readWholeFile(tiles.files[i]);
        if (!old) {
            reportError(textOf(tiles.files[i]) + ": cannot be read");
            return 1;
        }
        std::string bytes = *old;
        replaceTilePixels(bytes, artOf(taken.tile));
        if (bytes != *old) pending.push_back({tiles.files[i], std::move(bytes)});
    }
    for (const Pending& tile : pending) {
        if (!writeFileAtomically(tile.file, tile.bytes)) {
            reportError(textOf(tile.file) + ": cannot be written");
            return 1;
        }
    }
    std::cout << folder << ": " << pending.size() << " of " << tiles.files.size() << " tiles changed";
    if (nearest) std::cout << "; " << changedText(changed);
    std::cout << '\n';
    return 0;
}

}  // namespace

int fromPng(const std::string& pngFile, const std::string& target, bool nearest) {
    std::error_code ec;
    if (fs::is_directory(pathOf(target), ec)) return sheetFromPng(pngFile, target, nearest);
    return tileFromPng(pngFile, target, nearest);
}

}  // namespace delve::tiles
