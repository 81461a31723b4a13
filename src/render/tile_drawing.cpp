#include "render/tile_drawing.h"

#include "render/tile_image.h"

namespace delve {

Combine combineByName(const std::string& name) {
    if (name == "pset") return Combine::Pset;
    if (name == "preset") return Combine::Preset;
    if (name == "and") return Combine::And;
    if (name == "or") return Combine::Or;
    return Combine::Xor;
}

std::string threeDigits(int code) {
    const std::string s = std::to_string(static_cast<long long>(code) + 1000);
    return s.substr(s.size() - 3);
}

std::string mapTileName(int code) { return "tiles\\map\\map_" + threeDigits(code) + ".til"; }
std::string fontTileName(int code) { return "tiles\\font\\font_" + threeDigits(code) + ".til"; }

void drawTileFile(Platform& p, int x, int y, const std::string& fileName, const std::string& mode) {
    auto image = loadTileImage(p.files, fileName);
    if (!image) return;
    drawImage(workSurface(p.screen), 2 * x, 2 * y, *image, combineByName(mode));
}

void drawBoxOutline(Platform& p, int x1, int y1, int x2, int y2, int colour) {
    Surface s = workSurface(p.screen);
    for (int i = 0; i <= 1; ++i)
        for (int j = 0; j <= 1; ++j)
            drawLine(s, 2 * x1 + i, 2 * y1 + j, 2 * x2 + i, 2 * y2 + j, colour, LineShape::Box);
}

void fillBox(Platform& p, int x1, int y1, int x2, int y2, int colour) {
    Surface s = workSurface(p.screen);
    for (int i = 0; i <= 1; ++i)
        for (int j = 0; j <= 1; ++j)
            drawLine(s, 2 * x1 + i, 2 * y1 + j, 2 * x2 + i, 2 * y2 + j, colour, LineShape::FilledBox);
}

void drawCellTile(Platform& p, int column, int row, const std::string& name) {
    std::string file;
    if (name.size() == 4) file = "tiles\\party\\" + name + "_001.TIL";
    else if (name.size() == 3) file = "tiles\\font\\font_" + name + ".TIL";
    else if (name.size() == 1) file = mapTileName(static_cast<unsigned char>(name[0]));
    drawTileFile(p, 8 * (column - 1), 8 * (row - 1), file, "pset");
}

}  // namespace delve
