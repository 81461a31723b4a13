// The page's tile editor (WebAssembly build only): tile files read into
// pixels and written back, and pictures made into tiles, by the very rules
// delve-tiles follows (render/tile_encoding, render/tile_picture).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/palette.h"
#include "render/sheet_layout.h"
#include "render/tile_encoding.h"
#include "render/tile_image.h"
#include "render/tile_picture.h"

namespace {

struct PageTile {
    delve::TilePixels tile;  // read from a file, or taken from a picture
    std::string bytes;       // the file written
    std::string problem;     // why a picture was refused
    int changed = 0;
};

PageTile& pageTile(void* page) { return *static_cast<PageTile*>(page); }

struct PageSheet {
    std::vector<delve::SheetEntry> entries;
    std::vector<delve::Image> images;
    std::vector<uint8_t> rgba;
    int width = 0, height = 0;
};

PageSheet& pageSheet(void* page) { return *static_cast<PageSheet*>(page); }

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void* delve_web_tile_begin() { return new PageTile; }
EMSCRIPTEN_KEEPALIVE void delve_web_tile_end(void* page) { delete static_cast<PageTile*>(page); }

// The 16 tile colours, 3 bytes each, into out[0..47].
EMSCRIPTEN_KEEPALIVE void delve_web_tile_palette(uint8_t* out) {
    for (int i = 0; i < 16; ++i) {
        const delve::Rgb c = delve::defaultPalette()[static_cast<size_t>(i)];
        out[3 * i] = c.r;
        out[3 * i + 1] = c.g;
        out[3 * i + 2] = c.b;
    }
}

// A tile file's pixels as the game shows them (a 25 by 25 tile as 24 by 24);
// 0 when the bytes are not a tile file the game draws.
EMSCRIPTEN_KEEPALIVE int delve_web_tile_read(void* page, const uint8_t* bytes, double size) {
    PageTile& p = pageTile(page);
    const auto image = delve::decodeTileImage(
        std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)));
    if (!image || image->width < 2 || image->height < 2) return 0;
    p.tile.width = image->width / 2;
    p.tile.height = image->height / 2;
    p.tile.pixels.assign(static_cast<size_t>(p.tile.width) * static_cast<size_t>(p.tile.height), 0);
    for (int y = 0; y < p.tile.height; ++y)
        for (int x = 0; x < p.tile.width; ++x)
            p.tile.pixels[static_cast<size_t>(y) * static_cast<size_t>(p.tile.width) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(delve::getPixel(*image, 2 * x, 2 * y) & 15);
    return 1;
}

EMSCRIPTEN_KEEPALIVE int delve_web_tile_width(void* page) { return pageTile(page).tile.width; }
EMSCRIPTEN_KEEPALIVE int delve_web_tile_height(void* page) { return pageTile(page).tile.height; }
EMSCRIPTEN_KEEPALIVE const uint8_t* delve_web_tile_pixels(void* page) { return pageTile(page).tile.pixels.data(); }

// Pixels written into a tile file: over the picture of `bytes` (everything
// else of it kept), or a new file when there are none. 0 when they do not
// fit the file's picture.
EMSCRIPTEN_KEEPALIVE int delve_web_tile_write(void* page, const uint8_t* bytes, double size, const uint8_t* pixels,
                                              int width, int height) {
    PageTile& p = pageTile(page);
    if (width <= 0 || height <= 0 || width > delve::kMaxTileSide || height > delve::kMaxTileSide) return 0;
    delve::TilePixels tile{width, height, {}};
    tile.pixels.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
    for (uint8_t& v : tile.pixels) v &= 15;
    if (size <= 0) {
        p.bytes = delve::encodeTileFile(tile);
        return 1;
    }
    p.bytes.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    return delve::replaceTileFilePixels(p.bytes, tile) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* delve_web_tile_bytes(void* page) {
    return reinterpret_cast<const uint8_t*>(pageTile(page).bytes.data());
}
EMSCRIPTEN_KEEPALIVE double delve_web_tile_bytes_size(void* page) {
    return static_cast<double>(pageTile(page).bytes.size());
}

// A picture's RGBA as a tile of tileWidth by tileHeight; 0 when taken (the
// pixels and how many took their nearest colour are then the page's to
// read), else the refusal (PictureRefusal), with its reason.
EMSCRIPTEN_KEEPALIVE int delve_web_tile_from_picture(void* page, const uint8_t* rgba, int width, int height,
                                                     int tileWidth, int tileHeight, int nearest) {
    PageTile& p = pageTile(page);
    const delve::TileFromPicture taken =
        delve::tileFromPicture({rgba, width, height}, tileWidth, tileHeight, nearest != 0);
    p.problem = taken.problem;
    p.changed = taken.changed;
    if (taken.refusal == delve::PictureRefusal::None) p.tile = taken.tile;
    return static_cast<int>(taken.refusal);
}

EMSCRIPTEN_KEEPALIVE int delve_web_tile_changed(void* page) { return pageTile(page).changed; }
EMSCRIPTEN_KEEPALIVE const char* delve_web_tile_problem(void* page) { return pageTile(page).problem.c_str(); }

// A folder's sheet, as `delve-tiles sheet` draws it, so that the tool reads
// a sheet saved by the page back into the folder: its tiles one by one (by
// name without the extension, in the folder's order), then drawn as RGBA.
EMSCRIPTEN_KEEPALIVE void* delve_web_sheet_begin() { return new PageSheet; }
EMSCRIPTEN_KEEPALIVE void delve_web_sheet_end(void* page) { delete static_cast<PageSheet*>(page); }

// 0 when the bytes are not a tile file (it is left off the sheet).
EMSCRIPTEN_KEEPALIVE int delve_web_sheet_add(void* page, const char* stem, const uint8_t* bytes, double size) {
    auto image = delve::decodeTileImage(
        std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)));
    if (!image) return 0;
    PageSheet& p = pageSheet(page);
    p.entries.push_back({image->width, image->height, delve::sheetLabelOf(stem)});
    p.images.push_back(std::move(*image));
    return 1;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* delve_web_sheet_draw(void* page) {
    PageSheet& p = pageSheet(page);
    const delve::Image sheet = delve::drawSheet(p.entries, p.images);
    p.width = sheet.width;
    p.height = sheet.height;
    p.rgba.resize(sheet.pixels.size() * 4);
    const auto& palette = delve::defaultPalette();
    for (size_t i = 0; i < sheet.pixels.size(); ++i) {
        const delve::Rgb c = palette[sheet.pixels[i]];
        p.rgba[4 * i] = c.r;
        p.rgba[4 * i + 1] = c.g;
        p.rgba[4 * i + 2] = c.b;
        p.rgba[4 * i + 3] = 255;
    }
    return p.rgba.data();
}

EMSCRIPTEN_KEEPALIVE int delve_web_sheet_width(void* page) { return pageSheet(page).width; }
EMSCRIPTEN_KEEPALIVE int delve_web_sheet_height(void* page) { return pageSheet(page).height; }

}  // extern "C"
