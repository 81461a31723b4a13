#pragma once
// Text on the cell grid: plain font text, and text with inline tile markup,
// where "{{c}}" draws the map tile of a symbol and "{{XX}}" the map tile of
// a hexadecimal code, each in one cell.
#include <string>

#include "platform/platform.h"

namespace delve {

void drawFontText(Platform& p, int x, int y, const std::string& text);
void printMarkup(Platform& p, int row, int column, const std::string& text);
int markupCellCount(const std::string& text);
// m 244, g 248, h 236, k and b 231 (any case); any other symbol is its own code.
std::string symbolTileCode(char symbol);
// Frames the panel between the corner cells; a clear flag of -1 clears it first.
void drawTextFrame(Platform& p, int column1, int row1, int column2, int row2, int clearFlag);
// Drops leading zeros and blanks (keeping one character) from `text`, then
// pads it on the left to `width`; never cuts.
std::string rightAlign(std::string& text, int width);

}  // namespace delve
