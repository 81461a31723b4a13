#include "render/tile_drawing.h"

#include <algorithm>
#include <cstdint>

#include "platform/draw_notes.h"
#include "platform/numbers.h"
#include "render/noted_tiles.h"
#include "render/tile_image.h"

namespace delve {

namespace {

// Screen position of a logical coordinate plus an offset; positions far off
// the page stay far off instead of wrapping around onto it.
int screenCoordinate(int logical, int offset = 0) { return saturateInt32(2 * int64_t{logical} + offset); }

// Logical position of the left (or top) edge of a cell column (or row).
int tileEdge(int cell) { return saturateInt32(8 * (int64_t{cell} - 1)); }

// A box drawn onto the work page, or noted when the screen notes its draws.
void boxOnto(Screen& screen, Surface s, int x1, int y1, int x2, int y2, int colour, LineShape shape) {
    if (screen.notes)
        noteBox(*screen.notes, screen, x1, y1, x2, y2, colour, shape);
    else
        drawLine(s, x1, y1, x2, y2, colour, shape);
}

}  // namespace

Combine combineByName(const std::string& name) {
    if (name == "pset") return Combine::Pset;
    if (name == "preset") return Combine::Preset;
    if (name == "and") return Combine::And;
    if (name == "or") return Combine::Or;
    return Combine::Xor;
}

std::string threeDigits(int code) {
    // Every tile name of every frame is made here.
    if (code >= 0 && code < 1000)
        return {static_cast<char>('0' + code / 100), static_cast<char>('0' + code / 10 % 10),
                static_cast<char>('0' + code % 10)};
    const std::string s = std::to_string(static_cast<long long>(code) + 1000);
    return s.substr(s.size() - 3);
}

std::string mapTileName(int code) { return "tiles\\map\\map_" + threeDigits(code) + ".til"; }
std::string fontTileName(int code) { return "tiles\\font\\font_" + threeDigits(code) + ".til"; }

void drawTileFile(Platform& p, int x, int y, const std::string& fileName, const std::string& mode) {
    if (p.screen.skipDrawing) return;
    if (p.screen.notes) {
        noteTileFile(p, screenCoordinate(x), screenCoordinate(y), fileName, combineByName(mode));
        return;
    }
    auto image = loadTileImage(p.files, fileName);
    if (!image) return;
    drawImage(workSurface(p.screen), screenCoordinate(x), screenCoordinate(y), *image, combineByName(mode));
}

void drawBoxOutline(Platform& p, int x1, int y1, int x2, int y2, int colour) {
    if (p.screen.skipDrawing) return;
    Surface s = workSurface(p.screen);
    for (int i = 0; i <= 1; ++i)
        for (int j = 0; j <= 1; ++j)
            boxOnto(p.screen, s, screenCoordinate(x1, i), screenCoordinate(y1, j), screenCoordinate(x2, i),
                    screenCoordinate(y2, j), colour, LineShape::Box);
}

void fillBox(Platform& p, int x1, int y1, int x2, int y2, int colour) {
    if (p.screen.skipDrawing) return;
    Surface s = workSurface(p.screen);
    // The four boxes a pixel apart fill one box a pixel larger; noted as
    // one, a panel's clearing touches each of its blocks once, not four
    // times. (Where a coordinate saturates they are noted as they come.)
    const int ax = screenCoordinate(x1), bx = screenCoordinate(x2), ay = screenCoordinate(y1),
              by = screenCoordinate(y2);
    if (p.screen.notes && screenCoordinate(x1, 1) == ax + 1 && screenCoordinate(x2, 1) == bx + 1 &&
        screenCoordinate(y1, 1) == ay + 1 && screenCoordinate(y2, 1) == by + 1) {
        noteBox(*p.screen.notes, p.screen, std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1,
                std::max(ay, by) + 1, colour, LineShape::FilledBox);
        return;
    }
    for (int i = 0; i <= 1; ++i)
        for (int j = 0; j <= 1; ++j)
            boxOnto(p.screen, s, screenCoordinate(x1, i), screenCoordinate(y1, j), screenCoordinate(x2, i),
                    screenCoordinate(y2, j), colour, LineShape::FilledBox);
}

void drawCellTile(Platform& p, int column, int row, const std::string& name) {
    if (p.screen.skipDrawing) return;
    // Any other length names no file; the loader then shows its placeholder.
    std::string file;
    if (name.size() == 4) file = "tiles\\party\\" + name + "_001.TIL";
    else if (name.size() == 3) file = "tiles\\font\\font_" + name + ".TIL";
    else if (name.size() == 1) file = mapTileName(static_cast<unsigned char>(name[0]));
    drawTileFile(p, tileEdge(column), tileEdge(row), file, "pset");
}

}  // namespace delve
