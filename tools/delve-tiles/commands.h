#pragma once
// The tool's commands. Each returns the exit status and reports a failure as
// one line on standard error.
#include <string>

namespace delve::tiles {

// Every .txt art file below srcDir becomes a .til file at the same place
// below outDir. All art is checked before anything is written.
int buildTiles(const std::string& srcDir, const std::string& outDir);
// One tile at 8 times its pixel size, through the game's palette.
int tileToPng(const std::string& tileFile, const std::string& pngFile);
// Every tile file of a folder on one picture, each labelled with its code
// or name.
int contactSheet(const std::string& folder, const std::string& pngFile);

// One tile as a square application icon of SIZE pixels (16 to 1024), scaled
// nearest-neighbour and centred on black.
int tileIcon(const std::string& tileFile, const std::string& size, const std::string& pngFile);

// A PNG back into tiles, by the palette rules of render/tile_picture.h: into
// one tile file (its own size, or 8 by 8 for a new or empty file), or, when
// the target is a folder, the folder's sheet as `sheet` draws it into every
// tile of it. Nothing is written unless every tile is taken.
int fromPng(const std::string& pngFile, const std::string& target, bool nearest);

void reportError(const std::string& message);

}  // namespace delve::tiles
