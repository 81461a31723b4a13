#include "render/sheet_layout.h"

#include <algorithm>

#include "render/sheet_label.h"

namespace delve {

namespace {

constexpr int kSheetColumns = 16;
constexpr int kGap = 12;

}  // namespace

std::string sheetLabelOf(const std::string& stem) {
    for (const std::string prefix : {"font_", "map_"})
        if (stem.size() > prefix.size() && stem.compare(0, prefix.size(), prefix) == 0)
            return stem.substr(prefix.size());
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

Image drawSheet(const std::vector<SheetEntry>& entries, const std::vector<Image>& images) {
    const SheetLayout layout = layoutSheet(entries);
    Image sheet = createImage(layout.width, layout.height);
    std::fill(sheet.pixels.begin(), sheet.pixels.end(), static_cast<uint8_t>(kSheetBackground));
    for (size_t i = 0; i < entries.size() && i < images.size(); ++i) {
        const SheetPlace& place = layout.places[i];
        drawZoomed(sheet, place.tileLeft, place.tileTop, images[i], kSheetZoom);
        drawLabel(sheet, place.labelLeft, place.labelTop, entries[i].label, kSheetLabelScale, kSheetLabelColour);
    }
    return sheet;
}

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

}  // namespace delve
