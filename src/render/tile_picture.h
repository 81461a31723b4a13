#pragma once
// A picture from a paint program made into tile pixels. The picture is plain
// RGBA (8 bits a channel, row after row), as a browser's canvas or the
// desktop's PNG reader gives it, so the page and delve-tiles take pictures
// by the very same rules:
// - the picture is the tile at a whole scale (1 for the tile's own pixels,
//   8 for `delve-tiles png`), the same in both directions, and every block of
//   scale by scale picture pixels is one colour;
// - every pixel is opaque: tiles are drawn opaque, colour 0 included, so
//   there is nothing a transparent pixel could mean;
// - a colour of the 16 tile colours is taken as it is; any other colour is
//   refused, or taken as the nearest tile colour when the author asks, with
//   the count of tile pixels so changed.
#include <cstdint>
#include <string>
#include <vector>

namespace delve {

struct RgbaView {
    const uint8_t* rgba = nullptr;  // width * height * 4 bytes
    int width = 0;
    int height = 0;
};

struct TilePixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // row after row, indices 0-15
};

enum class PictureRefusal { None, Size, MixedBlock, Transparent, NotATileColour };

struct TileFromPicture {
    PictureRefusal refusal = PictureRefusal::None;
    std::string problem;  // one clause naming the pixel and why; "" when taken
    TilePixels tile;
    int scale = 0;    // picture pixels a tile pixel, along each side
    int changed = 0;  // tile pixels taken as their nearest tile colour
};

// The whole picture as one tile of tileWidth by tileHeight.
TileFromPicture tileFromPicture(const RgbaView& picture, int tileWidth, int tileHeight, bool nearest);

// The tile of tileWidth by tileHeight drawn into a bigger picture (a sheet)
// with its top-left corner at (left, top), `scale` picture pixels a tile
// pixel. Refused as Size when that area is not wholly inside the picture.
TileFromPicture tileFromPictureArea(const RgbaView& picture, int left, int top, int scale, int tileWidth,
                                    int tileHeight, bool nearest);

// The tile colour nearest to the colour (squared distance in RGB; the lower
// index on a tie), and -1 from exactTileColour when none is that colour.
int nearestTileColour(uint8_t r, uint8_t g, uint8_t b);
int exactTileColour(uint8_t r, uint8_t g, uint8_t b);

}  // namespace delve
