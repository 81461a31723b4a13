// Tile files built byte by byte here, so every case states its own layout:
// an 11-byte header (signature 253, width at 7, height at 9, little-endian)
// and rows of four plane-rows, most significant bit first.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/files.h"
#include "render/tile_image.h"
#include "support/support.h"

namespace delve {
namespace {

std::string header(uint8_t widthLow, uint8_t widthHigh, uint8_t heightLow, uint8_t heightHigh) {
    std::string h(11, '\0');
    h[0] = static_cast<char>(0xFD);
    h[5] = 0x12;  // the length field is never used
    h[7] = static_cast<char>(widthLow);
    h[8] = static_cast<char>(widthHigh);
    h[9] = static_cast<char>(heightLow);
    h[10] = static_cast<char>(heightHigh);
    return h;
}

// An 8 by 8 tile whose byte 4y + p is row y of plane p.
std::string tile8x8(uint8_t plane0, uint8_t plane1, uint8_t plane2, uint8_t plane3) {
    std::string bytes = header(8, 0, 8, 0);
    for (int y = 0; y < 8; ++y)
        for (uint8_t b : {plane0, plane1, plane2, plane3}) bytes += static_cast<char>(b);
    return bytes;
}

// Every pixel of the image as one hex digit a pixel, row after row.
std::vector<std::string> rows(const Image& image) {
    std::vector<std::string> out;
    for (int y = 0; y < image.height; ++y) {
        std::string row;
        for (int x = 0; x < image.width; ++x) row += "0123456789abcdef"[getPixel(image, x, y) & 15];
        out.push_back(row);
    }
    return out;
}

TEST(TileDecoding, AllPlanesSetGiveColour15AtDoubleSize) {
    auto image = decodeTileImage(tile8x8(0xFF, 0xFF, 0xFF, 0xFF));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 16);
    EXPECT_EQ(image->height, 16);
    EXPECT_EQ(image->pixels, std::vector<uint8_t>(256, 15));
}

TEST(TileDecoding, EachPlaneAddsItsOwnBit) {
    auto stripe = decodeTileImage(tile8x8(0x80, 0, 0, 0));
    ASSERT_TRUE(stripe);
    for (const auto& row : rows(*stripe)) EXPECT_EQ(row, "1100000000000000");

    auto right = decodeTileImage(tile8x8(0, 0, 0, 0x01));
    ASSERT_TRUE(right);
    for (const auto& row : rows(*right)) EXPECT_EQ(row, "0000000000000088");

    auto mixed = decodeTileImage(tile8x8(0xF0, 0xCC, 0xAA, 0x01));
    ASSERT_TRUE(mixed);
    // Columns: plane 0 on the left half, plane 1 in pairs, plane 2 every other.
    EXPECT_EQ(rows(*mixed)[0], "7733551166224488");
}

TEST(TileDecoding, RowsStartOnByteBoundaries) {
    // 10 wide: 2 bytes a plane-row, the low 6 bits of the second unused.
    std::string bytes = header(10, 0, 2, 0);
    const uint8_t row0[8] = {0x80, 0x3F, 0, 0, 0, 0, 0, 0xFF};  // plane 0: x 0; plane 3: x 8, 9
    const uint8_t row1[8] = {0, 0, 0x00, 0xC0, 0, 0, 0, 0};     // plane 1: x 8, 9
    for (uint8_t b : row0) bytes += static_cast<char>(b);
    for (uint8_t b : row1) bytes += static_cast<char>(b);
    auto image = decodeTileImage(bytes);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 20);
    ASSERT_EQ(image->height, 4);
    EXPECT_EQ(rows(*image)[0], "11000000000000008888");
    EXPECT_EQ(rows(*image)[2], "00000000000000002222");
}

TEST(TileDecoding, TheWidthsTopBitIsIgnored) {
    std::string bytes = header(0x18, 0x80, 0x02, 0x80);  // 24 by 2
    bytes += std::string(24, '\xFF');
    auto image = decodeTileImage(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 48);
    EXPECT_EQ(image->height, 4);
    EXPECT_EQ(image->pixels, std::vector<uint8_t>(48 * 4, 15));
}

// A 25-wide tile: 4 bytes a plane-row; plane 0 marks columns 23 and 24 in
// every row, and the whole 25th row.
std::string tile25(int height) {
    std::string bytes = header(25, 0, static_cast<uint8_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const bool last = y == 24;
        const char plane0[4] = {static_cast<char>(last ? 0xFF : 0), static_cast<char>(last ? 0xFF : 0),
                                static_cast<char>(last ? 0xFF : 0x01), static_cast<char>(0x80)};
        bytes.append(plane0, 4);
        bytes += std::string(12, '\0');
    }
    return bytes;
}

TEST(TileDecoding, TwentyFiveSquareDropsTheLastColumnAndRow) {
    auto image = decodeTileImage(tile25(25));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 48);
    EXPECT_EQ(image->height, 48);
    const auto r = rows(*image);
    EXPECT_EQ(r[0], std::string(46, '0') + "11");  // column 23 kept, 24 lost
    EXPECT_EQ(r[47], std::string(46, '0') + "11");

    auto wide = decodeTileImage(tile25(24));  // only the square size is cut
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, 50);
    EXPECT_EQ(wide->height, 48);
    EXPECT_EQ(rows(*wide)[0], std::string(46, '0') + "1111");
}

TEST(TileDecoding, MissingDataReadsAsZero) {
    std::string bytes = header(8, 0, 8, 0) + "\xFF\xFF\xFF\xFF";  // row 0 only
    auto image = decodeTileImage(bytes);
    ASSERT_TRUE(image);
    const auto r = rows(*image);
    EXPECT_EQ(r[1], std::string(16, 'f'));
    EXPECT_EQ(r[2], std::string(16, '0'));
    EXPECT_EQ(r[15], std::string(16, '0'));
    // A header cut short: width and height read from missing bytes are 0.
    EXPECT_FALSE(decodeTileImage(std::string(1, '\xFD')));
}

TEST(TileDecoding, NotATileFileGivesNoImage) {
    std::string wrong = tile8x8(0xFF, 0, 0, 0);
    wrong[0] = static_cast<char>(0xFE);
    EXPECT_FALSE(decodeTileImage(wrong));
    EXPECT_FALSE(decodeTileImage(""));
}

TEST(TileDecoding, SizesOfZeroOrAbove512GiveNoImage) {
    EXPECT_FALSE(decodeTileImage(header(0, 0, 8, 0)));
    EXPECT_FALSE(decodeTileImage(header(8, 0, 0, 0)));
    EXPECT_FALSE(decodeTileImage(header(0x01, 0x02, 8, 0)));  // 513
    EXPECT_FALSE(decodeTileImage(header(8, 0, 0xFF, 0x7F)));  // 32767
    EXPECT_FALSE(decodeTileImage(header(0, 0x80, 8, 0)));     // only the cleared top bit
    auto largest = decodeTileImage(header(0x00, 0x02, 1, 0));  // 512 by 1, all data missing
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->width, 1024);
    EXPECT_EQ(largest->height, 2);
}

TEST(TilePlaceholder, SixDottedLinesInColour12) {
    const Image image = tilePlaceholder();
    ASSERT_EQ(image.width, 24);
    ASSERT_EQ(image.height, 24);
    // Each line goes down one row a step (23 rows, 18 columns across), so the
    // dots fall on the even rows, at the column nearest the true line.
    Image expected = createImage(24, 24);
    const int startX[6] = {5, 22, 3, 20, 1, 18};
    for (int v = 0; v < 6; ++v) {
        const int direction = v % 2 == 0 ? 1 : -1;
        for (int y = 0; y < 24; y += 2)
            setPixel(expected, startX[v] + direction * static_cast<int>(std::lround(y * 18.0 / 23.0)), y, 12);
    }
    EXPECT_EQ(rows(image), rows(expected));
}

TEST(TileFiles, LoadThroughTheGameFiles) {
    test::ScratchDir dir;
    Files files;
    files.root = dir.path();
    dir.write("tiles/map/map_007.til", tile8x8(0xFF, 0, 0, 0));
    auto found = loadTileImage(files, "tiles\\MAP\\map_007.TIL");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pixels, std::vector<uint8_t>(256, 1));

    // A missing file in an existing folder is created empty: no image.
    EXPECT_FALSE(loadTileImage(files, "tiles\\map\\map_008.til"));
    EXPECT_TRUE(dir.exists("tiles/map/map_008.til"));
    EXPECT_EQ(dir.read("tiles/map/map_008.til"), "");

    // A missing folder: the file cannot be opened, so the placeholder shows.
    auto placeholder = loadTileImage(files, "tiles\\nowhere\\x.til");
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(rows(*placeholder), rows(tilePlaceholder()));
    EXPECT_FALSE(dir.exists("tiles/nowhere"));
    // So does a name that would climb out of the game folder.
    auto outside = loadTileImage(files, "..\\x.til");
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->width, 24);
}

}  // namespace
}  // namespace delve
