// Pictures into tile pixels (the palette rules the page and delve-tiles
// share), and the PNG reader in front of them on the desktop.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/palette.h"
#include "platform/png/png_reader.h"
#include "render/tile_picture.h"
#include "support/support.h"

namespace delve {
namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    RgbaView view() const { return {rgba.data(), width, height}; }
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
        uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    }
};

// Tile pixels (indices) drawn through the palette at a whole scale.
Picture drawn(const std::vector<uint8_t>& indices, int width, int height, int scale) {
    Picture picture{width * scale, height * scale, {}};
    picture.rgba.resize(static_cast<size_t>(picture.width) * picture.height * 4);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgb c = defaultPalette()[indices[static_cast<size_t>(y / scale) * width + x / scale]];
            picture.set(x, y, c.r, c.g, c.b);
        }
    return picture;
}

std::vector<uint8_t> everyColour() {
    std::vector<uint8_t> indices(16);
    for (int i = 0; i < 16; ++i) indices[i] = static_cast<uint8_t>(i);
    return indices;
}

TEST(TilePicture, TileColoursAreTakenAsTheyAreAtAnyWholeScale) {
    const std::vector<uint8_t> indices = everyColour();  // a 4 by 4 tile
    for (int scale : {1, 2, 3, 8}) {
        const TileFromPicture taken = tileFromPicture(drawn(indices, 4, 4, scale).view(), 4, 4, false);
        ASSERT_EQ(taken.refusal, PictureRefusal::None) << scale << ": " << taken.problem;
        EXPECT_EQ(taken.scale, scale);
        EXPECT_EQ(taken.tile.pixels, indices) << scale;
        EXPECT_EQ(taken.changed, 0);
    }
    // A tile that is not square: the scale is the same along both sides.
    const std::vector<uint8_t> wide = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(tileFromPicture(drawn(wide, 3, 2, 5).view(), 3, 2, false).tile.pixels, wide);
}

TEST(TilePicture, OtherColoursAreRefusedOrTakenAsTheNearestWhenAsked) {
    Picture picture = drawn(everyColour(), 4, 4, 2);
    picture.set(2, 0, 200, 200, 200);  // tile pixel (1, 0): light grey, nearer 7 than 15
    picture.set(3, 0, 200, 200, 200);
    picture.set(2, 1, 200, 200, 200);
    picture.set(3, 1, 200, 200, 200);
    for (int y = 6; y < 8; ++y)
        for (int x = 6; x < 8; ++x) picture.set(x, y, 250, 10, 5);  // tile pixel (3, 3): a red nearer 4 than 12

    const TileFromPicture refused = tileFromPicture(picture.view(), 4, 4, false);
    EXPECT_EQ(refused.refusal, PictureRefusal::NotATileColour);
    EXPECT_EQ(refused.problem, "pixel (2, 0) is #c8c8c8, not one of the 16 tile colours (2 of the tile's 16 pixels are not)");
    EXPECT_TRUE(refused.tile.pixels.empty());

    const TileFromPicture taken = tileFromPicture(picture.view(), 4, 4, true);
    ASSERT_EQ(taken.refusal, PictureRefusal::None) << taken.problem;
    EXPECT_EQ(taken.changed, 2);  // tile pixels, not the picture's eight
    std::vector<uint8_t> expected = everyColour();
    expected[1] = 7;
    expected[15] = 4;
    EXPECT_EQ(taken.tile.pixels, expected);

    // Every palette colour is its own nearest; off by one it still is.
    for (int i = 0; i < 16; ++i) {
        const Rgb c = defaultPalette()[i];
        EXPECT_EQ(exactTileColour(c.r, c.g, c.b), i);
        EXPECT_EQ(nearestTileColour(c.r, c.g, c.b ^ 1), i);
        EXPECT_EQ(exactTileColour(c.r, c.g, c.b ^ 1), -1);
    }
}

TEST(TilePicture, AWrongSizeABlurredBlockOrTransparencyIsRefusedWithWhere) {
    const std::vector<uint8_t> indices(64, 9);
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{64, 32}, Size{16, 24}, Size{4, 4}, Size{0, 0}}) {
        Picture picture{size.width, size.height, std::vector<uint8_t>(static_cast<size_t>(size.width) * size.height * 4, 255)};
        const TileFromPicture taken = tileFromPicture(picture.view(), 8, 8, true);
        EXPECT_EQ(taken.refusal, PictureRefusal::Size) << size.width << "x" << size.height;
    }
    Picture odd{63, 64, std::vector<uint8_t>(63 * 64 * 4, 255)};
    EXPECT_EQ(tileFromPicture(odd.view(), 8, 8, false).problem,
              "the picture is 63 by 64 pixels, but the tile is 8 by 8: the picture must be 8 by 8 or a whole "
              "multiple of it, the same along both sides (such as 64 by 64)");

    // A scaled picture smoothed by a paint program: one pixel of a block off.
    Picture blurred = drawn(indices, 8, 8, 4);
    blurred.set(13, 6, 80, 80, 255);
    const TileFromPicture mixed = tileFromPicture(blurred.view(), 8, 8, true);
    EXPECT_EQ(mixed.refusal, PictureRefusal::MixedBlock);
    EXPECT_EQ(mixed.problem, "pixel (13, 6) differs from (12, 4): at 4 times the tile's size, each 4 by 4 block is "
                             "one tile pixel and must be one colour");

    // Tiles are drawn opaque, so neither a see-through nor a half-transparent
    // pixel has a meaning; asking for the nearest colour does not change that.
    for (uint8_t alpha : {0, 128, 254}) {
        Picture clear = drawn(indices, 8, 8, 1);
        clear.set(5, 7, 0, 0, 0, alpha);
        const TileFromPicture taken = tileFromPicture(clear.view(), 8, 8, true);
        EXPECT_EQ(taken.refusal, PictureRefusal::Transparent);
        EXPECT_EQ(taken.problem, "pixel (5, 7) has alpha " + std::to_string(alpha) +
                                     ": a tile has no transparency, so every pixel must be opaque (alpha 255)");
    }
}

TEST(TilePicture, AnAreaOfASheetIsReadInTheSheetsPixelsAndMustLieInside) {
    // A 2 by 2 tile at scale 3 placed at (14, 4) of a 20 by 10 sheet of noise.
    Picture sheet{20, 10, std::vector<uint8_t>(20 * 10 * 4)};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) sheet.set(x, y, static_cast<uint8_t>(x * 13), static_cast<uint8_t>(y * 7), 1, 9);
    const std::vector<uint8_t> tile = {15, 0, 0, 15};
    const Picture p = drawn(tile, 2, 2, 3);
    for (int y = 0; y < 6; ++y) std::memcpy(&sheet.rgba[((4 + y) * 20 + 14) * 4], &p.rgba[y * 6 * 4], 6 * 4);
    EXPECT_EQ(tileFromPictureArea(sheet.view(), 14, 4, 3, 2, 2, false).tile.pixels, tile);
    for (const auto& [left, top] : std::vector<std::pair<int, int>>{{15, 4}, {14, 5}, {-1, 0}, {0, -1}})
        EXPECT_EQ(tileFromPictureArea(sheet.view(), left, top, 3, 2, 2, false).refusal, PictureRefusal::Size)
            << left << "," << top;
}

// A PNG written by libpng with the given layout, for the reader's sake: the
// kinds a paint program saves that our own writer never makes.
struct PngSpec {
    int width = 2, height = 2;
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    std::vector<std::vector<png_byte>> rows;  // packed as the file stores them
};

void appendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), size);
}

std::string encoded(const PngSpec& spec) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng refused to write the test picture";
        return "";
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.depth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : spec.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> rgbaOf(std::initializer_list<std::initializer_list<int>> pixels) {
    std::vector<uint8_t> out;
    for (const auto& p : pixels)
        for (int v : p) out.push_back(static_cast<uint8_t>(v));
    return out;
}

TEST(PngReader, EveryColourTypeAndDepthComesOutAs8BitRgba) {
    const std::vector<png_color> palette = {{0, 0, 0}, {170, 0, 170}, {255, 255, 85}};
    struct Case {
        const char* name;
        PngSpec spec;
        std::vector<uint8_t> rgba;
    };
    const std::vector<Case> cases = {
        {"rgb16", {1, 1, PNG_COLOR_TYPE_RGB, 16, false, {}, {}, {{0xAA, 0xAA, 0x55, 0x80, 0xFF, 0xFF}}},
         rgbaOf({{170, 85, 255, 255}})},
        {"rgba16", {1, 1, PNG_COLOR_TYPE_RGBA, 16, false, {}, {}, {{0, 0, 0xFF, 0xFF, 0, 0, 0x80, 0x00}}},
         rgbaOf({{0, 255, 0, 128}})},
        {"grey2", {4, 1, PNG_COLOR_TYPE_GRAY, 2, false, {}, {}, {{0b00011011}}},
         rgbaOf({{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 255}})},
        {"grey-alpha", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, {}, {{170, 7}}}, rgbaOf({{170, 170, 170, 7}})},
        {"palette4-trns", {3, 1, PNG_COLOR_TYPE_PALETTE, 4, false, palette, {0}, {{0x12, 0x00}}},
         rgbaOf({{170, 0, 170, 255}, {255, 255, 85, 255}, {0, 0, 0, 0}})},
    };
    for (const Case& c : cases) {
        const PngPicture picture = readPng(encoded(c.spec));
        ASSERT_EQ(picture.problem, "") << c.name;
        EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(c.spec.width, c.spec.height)) << c.name;
        EXPECT_EQ(picture.rgba, c.rgba) << c.name;
    }
}

// Big-endian 32 bits, as PNG chunks store their lengths, sizes and checksums.
std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string chunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return be32(static_cast<uint32_t>(data.size())) + body + be32(crc);
}

TEST(PngReader, HostileBytesAreRefusedWithAReasonAndNeverReadPastTheirEnd) {
    EXPECT_EQ(readPng("").problem, "not a PNG file");
    EXPECT_EQ(readPng("GIF89a......").problem, "not a PNG file");

    // A header claiming a huge picture, with correct checksums, and pixel
    // data that would inflate to gigabytes: refused before any of it is read.
    const std::string signature = "\x89PNG\r\n\x1a\n";
    for (const auto& [w, h] : std::vector<std::pair<uint32_t, uint32_t>>{{8193, 1}, {1, 8193}, {5000, 5000}, {0x7FFFFFFF, 0x7FFFFFFF}}) {
        const std::string header = chunk("IHDR", be32(w) + be32(h) + std::string("\x08\x06\0\0\0", 5));
        const PngPicture huge = readPng(signature + header + chunk("IDAT", "") + chunk("IEND", ""));
        EXPECT_TRUE(huge.rgba.empty());
        EXPECT_FALSE(huge.problem.empty()) << w << "x" << h;
        if (w == 5000) {
            EXPECT_EQ(huge.problem,
                      "the picture is 5000 by 5000 pixels; at most 8192 along a side and 16 million pixels are taken");
        }
    }

    // A chunk that claims two gigabytes and holds a few bytes: libpng would
    // take the memory first, so it is refused before libpng sees it.
    const std::string small = chunk("IHDR", be32(8) + be32(8) + std::string("\x08\x03\0\0\0", 5));
    EXPECT_EQ(readPng(signature + small + be32(0x7FFFFFF0) + "zTXtabc").problem,
              "a damaged PNG file (cut short: a chunk runs past its end)");

    // A real picture cut short anywhere, or with a byte of its pixel data
    // changed: a refusal, never a crash or a half picture (ASan watches the
    // exact-size copies).
    PngSpec spec{16, 16, PNG_COLOR_TYPE_RGBA, 8, true, {}, {}, {}};
    for (int y = 0; y < 16; ++y) {
        std::vector<png_byte> row;
        for (int x = 0; x < 64; ++x) row.push_back(static_cast<png_byte>(x * y + x));
        spec.rows.push_back(row);
    }
    const std::string good = encoded(spec);
    ASSERT_EQ(readPng(good).problem, "");
    for (size_t cut = 0; cut + 12 < good.size(); ++cut) {
        const std::string shorter = good.substr(0, cut);
        const PngPicture picture = readPng(shorter);
        EXPECT_FALSE(picture.problem.empty()) << cut;
        EXPECT_TRUE(picture.rgba.empty()) << cut;
    }
    std::string damaged = good;
    damaged[good.find("IDAT") + 10] ^= 0x40;
    EXPECT_EQ(readPng(damaged).problem.rfind("a damaged PNG file (", 0), 0u) << readPng(damaged).problem;
}

}  // namespace
}  // namespace delve
