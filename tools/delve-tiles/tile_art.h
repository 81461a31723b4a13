#pragma once
// Tile art as artists write it: one text line per pixel row, one character
// per pixel, a hex digit 0-f (either case) for the palette index or "." for 0.
#include <cstdint>
#include <string>
#include <vector>

namespace delve::tiles {

struct TileArt {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // row after row, palette indices 0-15
};

// Where and why a piece of art was refused; line is 1-based.
struct ArtError {
    int line = 0;
    std::string message;
};

// The art the game's loader can still take: bigger tiles are refused by it.
constexpr int kMaxArtSide = 512;

// Parses the text; on failure fills `error` and returns false. Lines may end
// in CR LF; blank lines after the last row are allowed, anywhere else they are
// a ragged row.
bool parseTileArt(const std::string& text, TileArt& art, ArtError& error);

// The bytes of the tile file for the art: signature 253, four unused bytes,
// the pixel-data length, width and height (16-bit little-endian), then per
// row the four plane-rows, most significant bit first.
std::string encodeTile(const TileArt& art);

// Writes the art's pixels over the top-left of the picture held by the tile
// file `bytes` (a file the loader takes), and keeps everything else as it
// was: the header's other bytes, a 25 by 25 tile's hidden last column and row,
// padding bits, bytes past the picture. A file cut short is first filled out
// with zero bytes. Returns false, changing nothing, when the art is larger than
// the stored picture.
bool replaceTilePixels(std::string& bytes, const TileArt& art);

}  // namespace delve::tiles
