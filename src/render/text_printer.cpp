#include "render/text_printer.h"

#include "platform/numbers.h"
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
    if (pairAt(p, "{{") && pairAt(p + 3, "}}"))
        return {static_cast<unsigned char>(symbolTileCode(text[p + 2])[0]), 5};
    if (pairAt(p, "{{") && pairAt(p + 4, "}}")) {
        const double v = readLeadingNumber("&H" + text.substr(p + 2, 2));
        return {static_cast<int>(v), 6};
    }
    return {-1, 1};
}

}  // namespace

void drawFontText(Platform& p, int x, int y, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        int64_t xi = int64_t{x} + static_cast<int64_t>(i) * 8;
        int64_t yi = y;
        if (xi > 952) {
            xi -= 968;
            yi += 8;
            if (xi > 952) xi = 0;
        }
        const int code = static_cast<unsigned char>(text[i]);
        if (code >= 33)
            drawTileFile(p, saturateInt32(xi), saturateInt32(yi), fontTileName(code), "pset");
    }
}

void printMarkup(Platform& p, int row, int column, const std::string& text) {
    int k = 0;
    for (size_t pos = 0; pos < text.size(); ++k) {
        const MarkupItem item = markupItemAt(text, pos);
        const int64_t cx = 8 * (int64_t{column} + k - 1), cy = 8 * (int64_t{row} - 1);
        if (item.mapCode >= 0)
            drawTileFile(p, saturateInt32(cx), saturateInt32(cy), mapTileName(item.mapCode), "pset");
        else
            drawFontText(p, saturateInt32(cx), saturateInt32(cy), text.substr(pos, 1));
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
    if (clearFlag == -1) fillBox(p, 8 * (c1 - 1), 8 * (r1 - 1), 8 * (c2 - 1), 8 * (r2 - 1), 0);
    const int inner = c2 - c1 - 1 > 0 ? c2 - c1 - 1 : 0;
    const std::string run(static_cast<size_t>(inner), static_cast<char>(196));
    const std::string top = std::string(1, static_cast<char>(218)) + run + static_cast<char>(191);
    const std::string bottom = std::string(1, static_cast<char>(192)) + run + static_cast<char>(217);
    drawFontText(p, 8 * (c1 - 1), 8 * (r1 - 1), top);
    drawFontText(p, 8 * (c1 - 1), 8 * (r2 - 1), bottom);
    const std::string side(1, static_cast<char>(179));
    for (int r = r1 + 1; r <= r2 - 1; ++r) {
        drawFontText(p, 8 * (c1 - 1), 8 * (r - 1), side);
        drawFontText(p, 8 * (c2 - 1), 8 * (r - 1), side);
    }
}

std::string rightAlign(std::string& text, int width) {
    while (text.size() > 1 && (text[0] == '0' || text[0] == ' ')) text.erase(0, 1);
    if (static_cast<int64_t>(text.size()) >= width) return text;
    return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

}  // namespace delve
