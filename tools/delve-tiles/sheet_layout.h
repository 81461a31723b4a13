#pragma once
// Where a contact sheet puts each tile and its label, so that a sheet drawn
// by `sheet` can be read back by `from-png` with the same arithmetic.
#include <string>
#include <vector>

namespace delve::tiles {

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

}  // namespace delve::tiles
