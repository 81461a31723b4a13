#pragma once
// Where a contact sheet puts each tile and its label, so that a sheet drawn
// by `sheet` can be read back by `from-png` with the same arithmetic.
#include <string>
#include <vector>

#include "platform/image.h"

namespace delve {

// The loader's picture is already doubled; the zoom is in its pixels, so a
// tile pixel is kSheetScale sheet pixels wide.
constexpr int kSheetZoom = 3;
constexpr int kSheetScale = 2 * kSheetZoom;
constexpr int kSheetLabelScale = 2;
// A dark grey of the palette's grey ramp, so a tile's black shows its extent.
constexpr int kSheetBackground = 18;
constexpr int kSheetLabelColour = 7;

struct SheetEntry {
    int imageWidth = 0;  // the loader's (doubled) picture
    int imageHeight = 0;
    std::string label;
};

struct SheetPlace {
    int tileLeft = 0, tileTop = 0;
    int labelLeft = 0, labelTop = 0;
};

struct SheetLayout {
    int width = 0, height = 0;
    std::vector<SheetPlace> places;  // one an entry, in the entries' order
};

// Up to 16 tiles a row, each centred over its label in cells as wide as
// the widest tile or label.
SheetLayout layoutSheet(const std::vector<SheetEntry>& entries);

// A tile file's label on a sheet, from its name without the extension:
// font_065 and map_065 give "065", garr_001 "garr".
std::string sheetLabelOf(const std::string& stem);

// The sheet of the tiles (the loader's pictures, one an entry), as
// `delve-tiles sheet` writes it and the page saves it.
Image drawSheet(const std::vector<SheetEntry>& entries, const std::vector<Image>& images);

// Draws the picture at `zoom` target pixels a picture pixel.
void drawZoomed(Image& target, int left, int top, const Image& image, int zoom);

}  // namespace delve
