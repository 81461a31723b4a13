#pragma once
// Drawing tiles and boxes onto the work page. Positions are logical pixels,
// half the screen's; a text cell is 8 by 8 logical pixels, cells numbered
// from 1 (60 columns by 45 rows).
#include <string>

#include "platform/image.h"
#include "platform/platform.h"

namespace delve {

// "pset", "preset", "and", "or", "xor" (exact case); anything else acts as "xor".
Combine combineByName(const std::string& name);

// Three-digit form of a code: 65 gives "065".
std::string threeDigits(int code);
std::string mapTileName(int code);   // tiles\map\map_NNN.til
std::string fontTileName(int code);  // tiles\font\font_NNN.til

void drawTileFile(Platform& p, int x, int y, const std::string& fileName, const std::string& mode);
void drawBoxOutline(Platform& p, int x1, int y1, int x2, int y2, int colour);
void fillBox(Platform& p, int x1, int y1, int x2, int y2, int colour);
// By the length of `name`: 4 a portrait, 3 a font tile by name, 1 the map
// tile of that character's code, anything else the placeholder.
void drawCellTile(Platform& p, int column, int row, const std::string& name);

}  // namespace delve
