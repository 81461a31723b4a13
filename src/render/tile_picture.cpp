#include "render/tile_picture.h"

#include <cstdio>
#include <cstring>

#include "platform/palette.h"

namespace delve {

namespace {

constexpr int kTileColours = 16;

std::string at(int x, int y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

std::string bySize(int width, int height) { return std::to_string(width) + " by " + std::to_string(height); }

const uint8_t* pixelAt(const RgbaView& picture, int x, int y) {
    return picture.rgba + (static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)) * 4;
}

TileFromPicture refused(PictureRefusal why, std::string problem) {
    TileFromPicture result;
    result.refusal = why;
    result.problem = std::move(problem);
    return result;
}

}  // namespace

int exactTileColour(uint8_t r, uint8_t g, uint8_t b) {
    const auto& palette = defaultPalette();
    for (int i = 0; i < kTileColours; ++i)
        if (palette[i].r == r && palette[i].g == g && palette[i].b == b) return i;
    return -1;
}

int nearestTileColour(uint8_t r, uint8_t g, uint8_t b) {
    const auto& palette = defaultPalette();
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kTileColours; ++i) {
        const long dr = long{r} - palette[i].r, dg = long{g} - palette[i].g, db = long{b} - palette[i].b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

TileFromPicture tileFromPicture(const RgbaView& picture, int tileWidth, int tileHeight, bool nearest) {
    if (tileWidth <= 0 || tileHeight <= 0) return refused(PictureRefusal::Size, "the tile has no pixels");
    const bool whole = picture.width > 0 && picture.height > 0 && picture.width % tileWidth == 0 &&
                       picture.height % tileHeight == 0 && picture.width / tileWidth == picture.height / tileHeight;
    if (!whole)
        return refused(PictureRefusal::Size,
                       "the picture is " + bySize(picture.width, picture.height) + " pixels, but the tile is " +
                           bySize(tileWidth, tileHeight) + ": the picture must be " + bySize(tileWidth, tileHeight) +
                           " or a whole multiple of it, the same along both sides (such as " +
                           bySize(tileWidth * 8, tileHeight * 8) + ")");
    return tileFromPictureArea(picture, 0, 0, picture.width / tileWidth, tileWidth, tileHeight, nearest);
}

TileFromPicture tileFromPictureArea(const RgbaView& picture, int left, int top, int scale, int tileWidth,
                                    int tileHeight, bool nearest) {
    if (tileWidth <= 0 || tileHeight <= 0 || scale <= 0) return refused(PictureRefusal::Size, "the tile has no pixels");
    const int64_t right = int64_t{left} + int64_t{tileWidth} * scale;
    const int64_t bottom = int64_t{top} + int64_t{tileHeight} * scale;
    if (!picture.rgba || left < 0 || top < 0 || right > picture.width || bottom > picture.height)
        return refused(PictureRefusal::Size, "the tile's place " + at(left, top) + " to " +
                                                 at(static_cast<int>(right - 1), static_cast<int>(bottom - 1)) +
                                                 " is not inside the " + bySize(picture.width, picture.height) +
                                                 " picture");

    TileFromPicture result;
    result.scale = scale;
    result.tile.width = tileWidth;
    result.tile.height = tileHeight;
    result.tile.pixels.resize(static_cast<size_t>(tileWidth) * static_cast<size_t>(tileHeight));
    // Whole blocks and opacity first: a blurred or transparent picture is the
    // wrong picture, and its colours are not worth counting.
    for (int ty = 0; ty < tileHeight; ++ty) {
        for (int tx = 0; tx < tileWidth; ++tx) {
            const int bx = left + tx * scale, by = top + ty * scale;
            const uint8_t* first = pixelAt(picture, bx, by);
            for (int y = by; y < by + scale; ++y)
                for (int x = bx; x < bx + scale; ++x)
                    if (std::memcmp(pixelAt(picture, x, y), first, 4) != 0)
                        return refused(PictureRefusal::MixedBlock,
                                       "pixel " + at(x, y) + " differs from " + at(bx, by) + ": at " +
                                           std::to_string(scale) + " times the tile's size, each " +
                                           bySize(scale, scale) + " block is one tile pixel and must be one colour");
            if (first[3] != 255)
                return refused(PictureRefusal::Transparent,
                               "pixel " + at(bx, by) + " has alpha " + std::to_string(first[3]) +
                                   ": a tile has no transparency, so every pixel must be opaque (alpha 255)");
        }
    }
    int strangers = 0, firstX = -1, firstY = -1;
    for (int ty = 0; ty < tileHeight; ++ty) {
        for (int tx = 0; tx < tileWidth; ++tx) {
            const int bx = left + tx * scale, by = top + ty * scale;
            const uint8_t* c = pixelAt(picture, bx, by);
            int index = exactTileColour(c[0], c[1], c[2]);
            if (index < 0) {
                if (strangers++ == 0) {
                    firstX = bx;
                    firstY = by;
                }
                index = nearestTileColour(c[0], c[1], c[2]);
            }
            result.tile.pixels[static_cast<size_t>(ty) * static_cast<size_t>(tileWidth) + static_cast<size_t>(tx)] =
                static_cast<uint8_t>(index);
        }
    }
    if (strangers > 0 && !nearest) {
        const uint8_t* c = pixelAt(picture, firstX, firstY);
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02x%02x%02x", c[0], c[1], c[2]);
        return refused(PictureRefusal::NotATileColour,
                       "pixel " + at(firstX, firstY) + " is " + hex + ", not one of the 16 tile colours (" +
                           std::to_string(strangers) + " of the tile's " +
                           std::to_string(int64_t{tileWidth} * tileHeight) + " pixels are not)");
    }
    result.changed = strangers;
    return result;
}

}  // namespace delve
