// Tile drawing and the text printer, on a headless screen whose tile files
// are made by hand: every tile's first pixels say which file it came from,
// so a page pixel tells which tile was drawn where.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/text_printer.h"
#include "render/tile_image.h"
#include "render/tile_drawing.h"
#include "support/support.h"

namespace delve {
namespace {

using test::HeadlessGame;
using test::ScratchDir;

// The kinds of tile file, as the colour of an identifying tile's first pixel.
constexpr int kFont = 1, kMap = 2, kPortrait = 3, kNamedFont = 4;

// A tile file of any size, pixel (x, y) coloured by `colour`.
template <typename ColourOf>
std::string tileBytes(int width, int height, ColourOf colour) {
    const int rowBytes = (width + 7) / 8;
    std::string bytes = {char(253), 0, 0, 0, 0, 0, 0, char(width), char(width >> 8), char(height), char(height >> 8)};
    for (int y = 0; y < height; ++y)
        for (int plane = 0; plane < 4; ++plane)
            for (int b = 0; b < rowBytes; ++b) {
                int byte = 0;
                for (int bit = 0; bit < 8 && b * 8 + bit < width; ++bit)
                    if (colour(b * 8 + bit, y) & (1 << plane)) byte |= 0x80 >> bit;
                bytes.push_back(char(byte));
            }
    return bytes;
}

// 8 by 8: pixel 0 the kind, pixels 1 and 2 the code's low and high nibble,
// every other pixel colour 7.
std::string identTile(int kind, int code) {
    return tileBytes(8, 8, [&](int x, int y) {
        if (y == 0 && x == 0) return kind;
        if (y == 0 && x == 1) return code & 15;
        if (y == 0 && x == 2) return (code >> 4) & 15;
        return 7;
    });
}

std::string solidTile(int colour) {
    return tileBytes(8, 8, [&](int, int) { return colour; });
}

struct Drawn {
    int kind;
    int code;
    bool operator==(const Drawn&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
    return out << "{kind " << d.kind << ", code " << d.code << "}";
}

Drawn font(int code) { return {kFont, code}; }
Drawn mapTile(int code) { return {kMap, code}; }
const Drawn kNothing{0, 0};

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tiles = new ScratchDir();
        // A blank has a tile too, so drawing one by mistake would show.
        for (int code = 32; code <= 255; ++code)
            tiles->write("tiles/font/font_" + threeDigits(code) + ".til", identTile(kFont, code));
        for (int code = 0; code <= 255; ++code)
            tiles->write("tiles/map/map_" + threeDigits(code) + ".til", identTile(kMap, code));
        // Upper-case names on disk: the game asks for "_001.TIL" and
        // "font_abc.TIL" and must find them whatever the case.
        tiles->write("tiles/party/GARR_001.til", identTile(kPortrait, 1));
        tiles->write("tiles/font/FONT_ABC.TIL", identTile(kNamedFont, 2));
    }
    static void TearDownTestSuite() {
        delete tiles;
        tiles = nullptr;
    }

    Platform& p() { return game.platform; }
    int pixel(int x, int y) const { return game.platform.screen.pages[0][static_cast<size_t>(y) * 960 + x]; }

    // The tile drawn with its top-left corner at the screen position.
    Drawn tileAt(int screenX, int screenY) const {
        const int kind = pixel(screenX, screenY);
        if (kind == 0) return kNothing;
        return {kind, pixel(screenX + 2, screenY) | pixel(screenX + 4, screenY) << 4};
    }
    Drawn cell(int column, int row) const { return tileAt(16 * (column - 1), 16 * (row - 1)); }

    static ScratchDir* tiles;
    HeadlessGame game{tiles->path()};
};

ScratchDir* RenderTest::tiles = nullptr;

TEST_F(RenderTest, PrintMarkupPlacesOneCellPerCharacterFromRowAndColumn) {
    printMarkup(p(), 27, 42, "Encounter");
    EXPECT_EQ(tileAt(656, 416), font('E'));
    EXPECT_EQ(pixel(655, 416), 0);
    EXPECT_EQ(pixel(656, 415), 0);
    const std::string word = "Encounter";
    for (int i = 0; i < 9; ++i) EXPECT_EQ(cell(42 + i, 27), font(word[i])) << i;
    EXPECT_EQ(cell(51, 27), kNothing);
    EXPECT_EQ(cell(42, 26), kNothing);
}

TEST_F(RenderTest, MarkupItemsDrawMapTilesAndMalformedMarkupPrintsPlain) {
    struct Case {
        std::string text;
        std::vector<Drawn> cells;
    };
    const std::vector<Case> cases = {
        {"A{{62}}B", {font('A'), mapTile(98), font('B')}},
        {"{{ZZ}}", {mapTile(0)}},    // a failed hex reading is 0
        {"{{1Z}}", {mapTile(1)}},    // the reading stops at the first non-digit
        {"{{6b}}", {mapTile(107)}},  // hex codes are not mapped like symbols
        {"{{", {font('{'), font('{')}},
        {"{{M}}{{m}}", {mapTile(244), mapTile(244)}},
        {"{{g}}{{H}}{{k}}{{B}}", {mapTile(248), mapTile(236), mapTile(231), mapTile(231)}},
        {"{{#}}{{2D}}", {mapTile(35), mapTile(45)}},
        {"{{a}}}", {mapTile('a'), font('}')}},  // symbol tried before hex
        {"{{ab}", {font('{'), font('{'), font('a'), font('b'), font('}')}},
        {"{{abc}}", {font('{'), font('{'), font('a'), font('b'), font('c'), font('}'), font('}')}},
        {"x}}{{", {font('x'), font('}'), font('}'), font('{'), font('{')}},
        {"{{\xfe}}", {mapTile(254)}},
    };
    for (const Case& c : cases) {
        HeadlessGame fresh(tiles->path());
        printMarkup(fresh.platform, 5, 3, c.text);
        game.platform.screen.pages[0] = fresh.platform.screen.pages[0];
        for (size_t i = 0; i < c.cells.size(); ++i)
            EXPECT_EQ(cell(3 + static_cast<int>(i), 5), c.cells[i]) << c.text << " cell " << i;
        EXPECT_EQ(cell(3 + static_cast<int>(c.cells.size()), 5), kNothing) << c.text;
        EXPECT_EQ(markupCellCount(c.text), static_cast<int>(c.cells.size())) << c.text;
    }
}

TEST_F(RenderTest, MarkupCellCountCountsWithoutDrawing) {
    const uint64_t before = test::pageHash(p().screen, 0);
    EXPECT_EQ(markupCellCount(""), 0);
    EXPECT_EQ(markupCellCount("{{k}}x"), 2);
    EXPECT_EQ(markupCellCount("[Used 1 {{6B}}]"), 10);
    EXPECT_EQ(markupCellCount("{{{a}}"), 1);  // "{{{a}}" is a hex item reading "{a"
    EXPECT_EQ(markupCellCount("}}"), 2);
    EXPECT_EQ(test::pageHash(p().screen, 0), before);
    EXPECT_EQ(p().files.filesRead, 0u);
}

TEST_F(RenderTest, SymbolTileCodeMapsFiveLettersInEitherCase) {
    EXPECT_EQ(symbolTileCode('m'), "\xf4");
    EXPECT_EQ(symbolTileCode('M'), "\xf4");
    EXPECT_EQ(symbolTileCode('g'), "\xf8");
    EXPECT_EQ(symbolTileCode('G'), "\xf8");
    EXPECT_EQ(symbolTileCode('h'), "\xec");
    EXPECT_EQ(symbolTileCode('H'), "\xec");
    for (char c : {'k', 'K', 'b', 'B'}) EXPECT_EQ(symbolTileCode(c), "\xe7") << c;
    for (char c : {'#', 'a', 'Z', '0', ' ', '\xff'}) EXPECT_EQ(symbolTileCode(c), std::string(1, c)) << int(c);
}

TEST_F(RenderTest, FontTextPastX952MovesDownARowThenPilesAtTheLeftEdge) {
    // x 952 draws off the page; 960 becomes -8 one row down, 968 becomes 0.
    drawFontText(p(), 952, 0, "ABCD");
    EXPECT_EQ(cell(1, 2), font('C'));
    EXPECT_EQ(cell(2, 2), font('D'));
    EXPECT_EQ(cell(1, 1), kNothing);

    // Still past 952 after moving back: every character lands at x 0.
    HeadlessGame far(tiles->path());
    drawFontText(far.platform, 2000, 16, "XYZ");
    game.platform.screen.pages[0] = far.platform.screen.pages[0];
    EXPECT_EQ(cell(1, 4), font('Z'));
    EXPECT_EQ(cell(2, 4), kNothing);

    // The edges of the second rule: 1920 moves back to 952 (off the page),
    // 1921 would be 953 and goes to the left edge.
    HeadlessGame edge(tiles->path());
    drawFontText(edge.platform, 1920, 40, "K");
    drawFontText(edge.platform, 1921, 80, "L");
    game.platform.screen.pages[0] = edge.platform.screen.pages[0];
    EXPECT_EQ(cell(1, 7), kNothing);
    EXPECT_EQ(cell(1, 12), font('L'));
}

TEST_F(RenderTest, FontTextSkipsBlanksAndControlCodesButKeepsTheirPlace) {
    fillBox(p(), 0, 0, 479, 7, 9);
    drawFontText(p(), 0, 0, "a b\tc\xff");
    EXPECT_EQ(cell(1, 1), font('a'));
    EXPECT_EQ(pixel(16, 0), 9);  // the blank leaves the page as it was
    EXPECT_EQ(cell(3, 1), font('b'));
    EXPECT_EQ(pixel(48, 0), 9);
    EXPECT_EQ(cell(5, 1), font('c'));
    EXPECT_EQ(cell(6, 1), font(255));
}

TEST_F(RenderTest, TextFrameClearsThePanelAndFramesItsEdges) {
    fillBox(p(), 0, 0, 479, 359, 5);
    drawTextFrame(p(), 41, 26, 60, 45, -1);
    EXPECT_EQ(cell(41, 26), font(218));
    for (int c = 42; c <= 59; ++c) EXPECT_EQ(cell(c, 26), font(196)) << c;
    EXPECT_EQ(cell(60, 26), font(191));
    EXPECT_EQ(cell(41, 45), font(192));
    for (int c = 42; c <= 59; ++c) EXPECT_EQ(cell(c, 45), font(196)) << c;
    EXPECT_EQ(cell(60, 45), font(217));
    for (int r = 27; r <= 44; ++r) {
        EXPECT_EQ(cell(41, r), font(179)) << r;
        EXPECT_EQ(cell(60, r), font(179)) << r;
    }
    EXPECT_EQ(pixel(16 * 49 + 5, 16 * 34 + 5), 0);   // inside: cleared
    EXPECT_EQ(pixel(16 * 40 - 1, 16 * 30), 5);       // left of the panel
    EXPECT_EQ(pixel(16 * 45, 16 * 25 - 1), 5);       // above it
}

TEST_F(RenderTest, TextFrameWithoutClearKeepsTheInside) {
    fillBox(p(), 0, 0, 479, 359, 5);
    drawTextFrame(p(), 2, 3, 4, 5, 0);
    EXPECT_EQ(cell(2, 3), font(218));
    EXPECT_EQ(cell(3, 3), font(196));
    EXPECT_EQ(cell(4, 3), font(191));
    EXPECT_EQ(cell(2, 4), font(179));
    EXPECT_EQ(cell(4, 4), font(179));
    EXPECT_EQ(cell(2, 5), font(192));
    EXPECT_EQ(cell(4, 5), font(217));
    EXPECT_EQ(pixel(16 * 2 + 7, 16 * 3 + 7), 5);

    // Corner cells side by side: no horizontal run at all.
    drawTextFrame(p(), 10, 10, 11, 11, 0);
    EXPECT_EQ(cell(10, 10), font(218));
    EXPECT_EQ(cell(11, 10), font(191));
    EXPECT_EQ(cell(10, 11), font(192));
    EXPECT_EQ(cell(11, 11), font(217));
}

TEST_F(RenderTest, RightAlignDropsLeadingZerosAndPadsWithoutCutting) {
    struct Case {
        std::string text;
        int width;
        std::string aligned, stripped;
    };
    const std::vector<Case> cases = {
        {"007", 5, "    7", "7"},   {"0", 3, "  0", "0"},       {"12345", 3, "12345", "12345"},
        {"000", 2, " 0", "0"},      {" 0 5", 3, "  5", "5"},    {"", 2, "  ", ""},
        {"-05", 4, " -05", "-05"},  {"42", -1, "42", "42"},     {"100", 3, "100", "100"},
    };
    for (Case c : cases) {
        std::string text = c.text;
        EXPECT_EQ(rightAlign(text, c.width), c.aligned) << '"' << c.text << "\" " << c.width;
        EXPECT_EQ(text, c.stripped) << '"' << c.text << '"';
    }
}

TEST_F(RenderTest, CellTileChoosesTheFileByNameLength) {
    drawCellTile(p(), 1, 1, "garr");
    drawCellTile(p(), 2, 1, "abc");
    drawCellTile(p(), 3, 1, "\xf7");
    drawCellTile(p(), 4, 1, "A");
    EXPECT_EQ(cell(1, 1), (Drawn{kPortrait, 1}));
    EXPECT_EQ(cell(2, 1), (Drawn{kNamedFont, 2}));
    EXPECT_EQ(cell(3, 1), mapTile(247));
    EXPECT_EQ(cell(4, 1), mapTile('A'));

    // Two characters (or none, or five) name no file: the 24 by 24
    // placeholder, not doubled, its first dotted line starting at (5, 0).
    for (const std::string name : {"ab", "", "abcde"}) {
        HeadlessGame fresh(tiles->path());
        drawCellTile(fresh.platform, 2, 3, name);
        const auto& page = fresh.platform.screen.pages[0];
        auto at = [&](int x, int y) { return page[static_cast<size_t>(32 + y) * 960 + 16 + x]; };
        const Image placeholder = tilePlaceholder();
        int differing = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) differing += at(x, y) != getPixel(placeholder, x, y);
        EXPECT_EQ(differing, 0) << name;
        EXPECT_EQ(at(5, 0), 12) << name;
        EXPECT_EQ(at(24, 0), 0) << name;  // nothing beyond 24 by 24
        EXPECT_EQ(at(0, 24), 0) << name;
    }
}

TEST_F(RenderTest, TileFilesDrawAtDoubledPositionsInEveryCombineMode) {
    tiles->write("tiles/test/six.til", solidTile(6));
    struct Case {
        std::string mode;
        int expected;
    };
    // Tile colour 6 onto a page of colour 3.
    const std::vector<Case> cases = {{"pset", 6}, {"preset", 0xF9}, {"and", 2}, {"or", 7}, {"xor", 5},
                                     {"XOR", 5},  {"Pset", 5},      {"", 5},    {"blend", 5}};
    for (const Case& c : cases) {
        HeadlessGame fresh(tiles->path());
        fillBox(fresh.platform, 0, 0, 479, 359, 3);
        drawTileFile(fresh.platform, 10, 20, "tiles\\test\\six.til", c.mode);
        const auto& page = fresh.platform.screen.pages[0];
        EXPECT_EQ(page[40 * 960 + 20], c.expected) << c.mode;
        EXPECT_EQ(page[55 * 960 + 35], c.expected) << c.mode;
        EXPECT_EQ(page[40 * 960 + 19], 3) << c.mode;
        EXPECT_EQ(page[56 * 960 + 35], 3) << c.mode;
    }
}

TEST_F(RenderTest, TilesAreReadAfreshAtEveryDraw) {
    tiles->write("tiles/test/live.til", solidTile(4));
    drawTileFile(p(), 0, 0, "tiles\\test\\live.til", "pset");
    EXPECT_EQ(pixel(0, 0), 4);
    tiles->write("tiles/test/live.til", solidTile(10));
    drawTileFile(p(), 0, 0, "tiles\\test\\live.til", "pset");
    EXPECT_EQ(pixel(0, 0), 10);
    // A file that is not a tile draws nothing at all.
    tiles->write("tiles/test/live.til", "not a tile");
    drawTileFile(p(), 0, 0, "tiles\\test\\live.til", "pset");
    EXPECT_EQ(pixel(0, 0), 10);
}

TEST_F(RenderTest, BoxesAreTwoScreenPixelsThickAndFillsCoverTheFarCorner) {
    fillBox(p(), 10, 10, 12, 11, 6);
    EXPECT_EQ(pixel(20, 20), 6);
    EXPECT_EQ(pixel(25, 23), 6);
    EXPECT_EQ(pixel(26, 23), 0);
    EXPECT_EQ(pixel(25, 24), 0);
    EXPECT_EQ(pixel(19, 20), 0);

    drawBoxOutline(p(), 20, 20, 30, 25, 14);
    for (int y : {40, 41, 50, 51}) EXPECT_EQ(pixel(45, y), 14) << y;  // top and bottom edges
    for (int x : {40, 41, 60, 61}) EXPECT_EQ(pixel(x, 45), 14) << x;  // left and right edges
    EXPECT_EQ(pixel(45, 42), 0);
    EXPECT_EQ(pixel(42, 45), 0);
    EXPECT_EQ(pixel(45, 52), 0);
}

TEST_F(RenderTest, FarOffPositionsAreClippedNotWrapped) {
    drawCellTile(p(), 2147483647, 1, "A");
    drawCellTile(p(), -2147483647, 1, "A");
    drawTileFile(p(), 2147483647, -2147483647, "tiles\\map\\map_065.til", "pset");
    printMarkup(p(), 1, 2147483640, "{{62}}");
    drawTextFrame(p(), -2147483647, -2147483647, -2147483640, -2147483640, -1);
    EXPECT_EQ(std::count_if(p().screen.pages[0].begin(), p().screen.pages[0].end(), [](uint8_t v) { return v; }),
              0);
}

}  // namespace
}  // namespace delve
