#pragma once
// Tile pixels written as a tile file, for delve-tiles and the page's tile
// editor alike.
#include <string>

#include "render/tile_picture.h"

namespace delve {

// The bytes of the tile file for the pixels: signature 253, four unused
// bytes, the pixel-data length, width and height (16-bit little-endian), then
// per row the four plane-rows, most significant bit first.
std::string encodeTileFile(const TilePixels& tile);

// Writes the pixels over the top-left of the picture held by the tile file
// `bytes` (a file the loader takes), and keeps everything else as it was:
// the header's other bytes, a 25 by 25 tile's hidden last column and row,
// padding bits, bytes past the picture. A file cut short is first filled out
// with zero bytes. Returns false, changing nothing, when the pixels are more
// than the stored picture.
bool replaceTileFilePixels(std::string& bytes, const TilePixels& tile);

}  // namespace delve
