#include "render/text_printer.h"

#include <algorithm>
#include <cstdint>

#include "platform/numbers.h"
#include "render/noted_tiles.h"
#include "render/tile_drawing.h"

namespace delve {

namespace {

// One markup item found at position p (0-based): the tile code it draws
// (-1 for a plain character) and how many characters it takes.
struct MarkupItem {
    int mapCode;
    size_t length;
};

MarkupItem markupItemAt(const std::string& text, size_t p) {
    auto pairAt = [&](size_t i, const char* two) {
        return i + 1 < text.size() && text[i] == two[0] && text[i + 1] == two[1];
    };
    // Symbols are tried before hex codes, so "{{a}}}" is the symbol a and a
    // plain brace; anything malformed falls through to a plain character.
    if (pairAt(p, "{{") && pairAt(p + 3, "}}"))
        return {static_cast<unsigned char>(symbolTileCode(text[p + 2])[0]), 5};
    if (pairAt(p, "{{") && pairAt(p + 4, "}}")) {
        // A failed reading gives 0, so "{{ZZ}}" draws map tile 000.
        const double v = readLeadingNumber("&H" + text.substr(p + 2, 2));
        return {static_cast<int>(v), 6};
    }
    return {-1, 1};
}

// Logical position of the left (or top) edge of a cell column (or row).
int cellEdge(int64_t cell) { return saturateInt32(8 * (cell - 1)); }

}  // namespace

void drawFontText(Platform& p, int x, int y, const std::string& text) {
    // Text only draws; without drawing not even the tile names are made.
    if (p.screen.skipDrawing) return;
    for (size_t i = 0; i < text.size(); ++i) {
        int64_t xi = int64_t{x} + static_cast<int64_t>(i) * 8;
        int64_t yi = y;
        // A character past x 952 moves one text row down and 968 back; one
        // still past 952 after that is drawn at the left edge.
        if (xi > 952) {
            xi -= 968;
            yi += 8;
            if (xi > 952) xi = 0;
        }
        const int code = static_cast<unsigned char>(text[i]);
        if (code < 33) continue;
        if (p.screen.notes)
            noteCodedTile(p, saturateInt32(xi), saturateInt32(yi), code, false);
        else
            drawTileFile(p, saturateInt32(xi), saturateInt32(yi), fontTileName(code), "pset");
    }
}

void printMarkup(Platform& p, int row, int column, const std::string& text) {
    if (p.screen.skipDrawing) return;
    int k = 0;
    for (size_t pos = 0; pos < text.size(); ++k) {
        const MarkupItem item = markupItemAt(text, pos);
        const int x = cellEdge(int64_t{column} + k), y = cellEdge(row);
        if (item.mapCode >= 0 && p.screen.notes)
            noteCodedTile(p, x, y, item.mapCode, true);
        else if (item.mapCode >= 0)
            drawTileFile(p, x, y, mapTileName(item.mapCode), "pset");
        else
            drawFontText(p, x, y, text.substr(pos, 1));
        pos += item.length;
    }
}

int markupCellCount(const std::string& text) {
    int k = 0;
    for (size_t pos = 0; pos < text.size(); ++k) pos += markupItemAt(text, pos).length;
    return k;
}

std::string symbolTileCode(char symbol) {
    switch (symbol) {
        case 'm': case 'M': return std::string(1, static_cast<char>(244));
        case 'g': case 'G': return std::string(1, static_cast<char>(248));
        case 'h': case 'H': return std::string(1, static_cast<char>(236));
        case 'k': case 'K':
        case 'b': case 'B': return std::string(1, static_cast<char>(231));
        default: return std::string(1, symbol);
    }
}

void drawTextFrame(Platform& p, int c1, int r1, int c2, int r2, int clearFlag) {
    if (p.screen.skipDrawing) return;
    // The clear stops at the far corner cell's top-left corner; the frame
    // drawn next covers the rest of the last column and row.
    if (clearFlag == -1) fillBox(p, cellEdge(c1), cellEdge(r1), cellEdge(c2), cellEdge(r2), 0);
    const int64_t inner = std::max<int64_t>(0, int64_t{c2} - c1 - 1);
    const std::string run(static_cast<size_t>(inner), static_cast<char>(196));
    drawFontText(p, cellEdge(c1), cellEdge(r1), static_cast<char>(218) + run + static_cast<char>(191));
    drawFontText(p, cellEdge(c1), cellEdge(r2), static_cast<char>(192) + run + static_cast<char>(217));
    const std::string side(1, static_cast<char>(179));
    for (int64_t r = int64_t{r1} + 1; r <= int64_t{r2} - 1; ++r) {
        drawFontText(p, cellEdge(c1), cellEdge(r), side);
        drawFontText(p, cellEdge(c2), cellEdge(r), side);
    }
}

std::string rightAlign(std::string& text, int width) {
    while (text.size() > 1 && (text[0] == '0' || text[0] == ' ')) text.erase(0, 1);
    if (static_cast<int64_t>(text.size()) >= width) return text;
    return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

}  // namespace delve
