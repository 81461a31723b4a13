#include "sheet_layout.h"

#include <algorithm>

#include "sheet_label.h"

namespace delve::tiles {

namespace {

constexpr int kSheetColumns = 16;
constexpr int kGap = 12;

}  // namespace

SheetLayout layoutSheet(const std::vector<SheetEntry>& entries) {
    SheetLayout layout;
    if (entries.empty()) return layout;
    int tileWidth = 0, tileHeight = 0, labelSpace = 0;
    for (const SheetEntry& e : entries) {
        tileWidth = std::max(tileWidth, e.imageWidth * kSheetZoom);
        tileHeight = std::max(tileHeight, e.imageHeight * kSheetZoom);
        labelSpace = std::max(labelSpace, labelWidth(e.label, kSheetLabelScale));
    }
    const int cellWidth = std::max(tileWidth, labelSpace) + kGap;
    const int labelHeight = kLabelGlyphHeight * kSheetLabelScale;
    const int cellHeight = tileHeight + kGap / 2 + labelHeight + kGap;
    const int columns = std::min<int>(kSheetColumns, static_cast<int>(entries.size()));
    const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;
    layout.width = columns * cellWidth + kGap;
    layout.height = rows * cellHeight + kGap;
    for (size_t i = 0; i < entries.size(); ++i) {
        const SheetEntry& e = entries[i];
        const int left = kGap + static_cast<int>(i) % columns * cellWidth;
        const int top = kGap + static_cast<int>(i) / columns * cellHeight;
        const int slot = cellWidth - kGap;
        layout.places.push_back({left + (slot - e.imageWidth * kSheetZoom) / 2, top,
                                 left + (slot - labelWidth(e.label, kSheetLabelScale)) / 2,
                                 top + tileHeight + kGap / 2});
    }
    return layout;
}

}  // namespace delve::tiles
