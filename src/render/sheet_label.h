#pragma once
// A tiny built-in 3 by 5 pixel font for the labels of contact sheets, so a
// sheet can be drawn for any folder without the game's own font.
#include <string>

#include "platform/image.h"

namespace delve {

constexpr int kLabelGlyphWidth = 3;
constexpr int kLabelGlyphHeight = 5;

// Width in pixels of the label at the given scale (one pixel of space
// between glyphs, scaled too).
int labelWidth(const std::string& text, int scale);
// Digits, letters (shown as capitals), "_", "-" and "."; anything else "?".
void drawLabel(Image& image, int x, int y, const std::string& text, int scale, int colour);

}  // namespace delve
