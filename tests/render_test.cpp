// Tile drawing and the text printer, on a headless screen whose tiles carry
// their own codes, so the page tells which tile was drawn in which cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "platform/draw_notes.h"
#include "platform/files.h"
#include "render/noted_tiles.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "render/tile_image.h"
#include "support/support.h"

namespace delve {
namespace {

const test::ScratchDir& codedTiles() {
    static const std::unique_ptr<test::ScratchDir> dir = [] {
        auto d = std::make_unique<test::ScratchDir>();
        test::writeCodedTiles(*d);
        // Named in upper case on disk, asked for as "_001.TIL" and ".TIL".
        d->write("tiles/party/GARR_001.til", d->read("tiles/font/font_066.til"));
        d->write("tiles/font/FONT_ABC.TIL", d->read("tiles/map/map_007.til"));
        d->write("tiles/font/font_032.til", d->read("tiles/font/font_033.til"));  // a drawn blank shows "!"
        return d;
    }();
    return *dir;
}

struct Render : ::testing::Test {
    test::HeadlessGame h{codedTiles().path()};
    Platform& p = h.platform;
    std::string text(int row, int col, int n) const { return test::screenText(p.screen, 0, row, col, n); }
};

TEST_F(Render, MarkupDrawsItemsAsMapTilesAndMalformedMarkupAsPlainText) {
    printMarkup(p, 27, 42, "Encounter");  // row first: the E at screen (656, 416)
    EXPECT_EQ(text(26, 41, 11) + text(27, 41, 11), std::string(12, ' ') + "Encounter ");
    // Text, cells used, what they show (map tiles as {{XX}}). A failed hex
    // reading is 0 and stops at the first non-digit; hex codes are not mapped
    // like symbols; symbols are tried before hex; "{{{a}}" is hex "{a".
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"A{{62}}B", 3, "A{{62}}B"}, {"", 0, ""},
        {"{{ZZ}}{{1Z}}{{6b}}{{{a}}", 4, "{{00}}{{01}}{{6B}}{{00}}"},
        {"{{m}}{{M}}{{g}}{{G}}{{h}}", 5, "{{F4}}{{F4}}{{F8}}{{F8}}{{EC}}"},
        {"{{H}}{{k}}{{K}}{{b}}{{B}}", 5, "{{EC}}{{E7}}{{E7}}{{E7}}{{E7}}"},
        {"{{#}}{{2D}}{{\xfe}}{{a}}}", 5, "{{23}}{{2D}}{{FE}}{{61}}}"},
        {"[Used {{abc}}x}}{{ab}{{", 23, "[Used {{abc}}x}}{{ab}{{"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [markup, cells, shown] = cases[i];
        printMarkup(p, static_cast<int>(i) + 1, 3, markup);
        EXPECT_EQ(text(static_cast<int>(i) + 1, 3, cells + 1), shown + " ") << markup;
        EXPECT_EQ(markupCellCount(markup), cells) << markup;
    }
}

TEST_F(Render, FontTextWrapsPastX952AndSkipsBlanksAndControlCodesInPlace) {
    drawFontText(p, 952, 0, "ABCD");  // 952 is off the page; 960 is -8 a row down, 968 is 0
    drawFontText(p, 2000, 16, "XYZ");  // still past 952 after that: at the left edge
    drawFontText(p, 1920, 40, "K");
    drawFontText(p, 1921, 80, "L");
    EXPECT_EQ(text(1, 1, 3) + text(2, 1, 3) + text(4, 1, 2) + text(7, 1, 2) + text(12, 1, 2), "   CD Z   L ");
    fillBox(p, 0, 200, 479, 207, 9);
    drawFontText(p, 0, 200, "a b\tc\xff");
    EXPECT_EQ(text(26, 1, 7), "a?b?c\xff?");  // ? is the fill left as it was
}

TEST_F(Render, TextFrameWithAndWithoutClear) {
    fillBox(p, 0, 0, 479, 359, 5);
    drawTextFrame(p, 41, 26, 60, 45, -1);
    drawTextFrame(p, 2, 3, 4, 5, 0);
    drawTextFrame(p, 10, 10, 11, 11, 0);  // corners side by side: no run between
    const std::string run(18, '\xc4');
    EXPECT_EQ(text(25, 40, 21) + text(26, 40, 21), std::string(22, '?') + "\xda" + run + "\xbf");
    for (int r = 27; r <= 44; ++r) EXPECT_EQ(text(r, 40, 21), "?\xb3" + std::string(18, ' ') + "\xb3") << r;
    EXPECT_EQ(text(45, 40, 21), "?\xc0" + run + "\xd9");
    EXPECT_EQ(text(3, 2, 3) + text(4, 2, 3) + text(5, 2, 3), "\xda\xc4\xbf\xb3?\xb3\xc0\xc4\xd9");
    EXPECT_EQ(text(10, 10, 2) + text(11, 10, 2), "\xda\xbf\xc0\xd9");
}

TEST(RightAlign, DropsLeadingZerosAndBlanksThenPadsWithoutCutting) {
    using Case = std::tuple<std::string, int, std::string, std::string>;  // text, width, result, text after
    for (auto [text, width, aligned, stripped] : std::vector<Case>{
             {"007", 5, "    7", "7"}, {"12345", 3, "12345", "12345"}, {"000", 2, " 0", "0"},
             {" 0 5", 3, "  5", "5"}, {"", 2, "  ", ""}, {"-05", 4, " -05", "-05"}, {"42", -1, "42", "42"}}) {
        EXPECT_EQ(rightAlign(text, width), aligned) << aligned;
        EXPECT_EQ(text, stripped);
    }
}

TEST_F(Render, CellTileChoosesTheFileByNameLengthElseThePlaceholder) {
    const std::vector<std::string> names = {"garr", "abc", "\xf7", "A", "ab", "", "abcde"};
    for (size_t i = 0; i < names.size(); ++i) drawCellTile(p, 1 + 3 * static_cast<int>(i), 1, names[i]);
    EXPECT_EQ(text(1, 1, 1) + text(1, 4, 1) + text(1, 7, 1) + text(1, 10, 1), "B{{07}}{{F7}}{{41}}");
    const Image placeholder = tilePlaceholder();  // 24 by 24, not doubled
    for (size_t i = 4; i < names.size(); ++i)
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(p.screen.pages[0][static_cast<size_t>(y) * 960 + 48 * i + x],
                          x < 24 && y < 24 ? getPixel(placeholder, x, y) : 0) << '"' << names[i] << '"';
}

TEST(DrawTileFile, ReadsTheFileAtEveryDrawAndClipsFarOffPositions) {
    const test::ScratchDir dir;
    test::HeadlessGame live(dir.path());
    Platform& p = live.platform;
    for (const auto& [bytes, colour] : std::vector<std::pair<std::string, int>>{
             {test::encodeTile(std::vector<uint8_t>(64, 4), 8, 8), 4},
             {test::encodeTile(std::vector<uint8_t>(64, 10), 8, 8), 10}, {"not a tile", 10}}) {
        dir.write("live.til", bytes);
        drawTileFile(p, 0, 0, "live.til", "pset");
        EXPECT_EQ(p.screen.pages[0][0], colour);  // no cache; no tile draws nothing
    }
    // Far off the page, whatever would be drawn (placeholders here) stays off.
    drawTileFile(p, 2147483647, -2147483647, "missing\\x.til", "pset");
    drawCellTile(p, 2147483647, 1, "A");
    drawCellTile(p, -2147483647, 1, "A");
    printMarkup(p, 1, 2147483640, "{{62}}");
    drawTextFrame(p, -2147483647, -2147483647, -2147483640, -2147483640, -1);
    EXPECT_EQ(std::count(p.screen.pages[0].begin(), p.screen.pages[0].end(), 0), 960 * 720 - 256);
}

// Noted, a tile is read and decoded once, and read again only once the game
// wrote that very file, or more files than are remembered: then the draw
// notes the bytes written.
TEST(NoteTileFile, ATileIsReadAgainOnlyWhenItsFileMayHaveBeenWritten) {
    const test::ScratchDir dir;
    dir.write("live.til", test::encodeTile(std::vector<uint8_t>(64, 4), 8, 8));
    test::HeadlessGame watched(dir.path());
    Platform& p = watched.platform;
    p.files.memo = std::make_shared<Files::Memo>();
    DrawNotes notes;
    p.screen.notes = &notes;
    noteWindow(notes, p.screen.width, p.screen.height);
    HeadlessBackend quiet("");
    Platform shown(quiet);
    openWindow(shown, p.screen.width, p.screen.height);
    int32_t turn = 0;
    const auto drawn = [&] {
        noteTileFile(p, 0, 0, "live.til", Combine::Pset);
        noteTurnEnd(notes, ++turn);
        EXPECT_TRUE(composePage(notes, turn, shown.screen, p.screen.workPage));
        return shown.screen.pages[p.screen.workPage][0];
    };
    EXPECT_EQ(drawn(), 4);
    const uint64_t reads = p.files.filesRead;
    ASSERT_TRUE(replaceGameFile(p.files, "other.dat", "a file the game keeps"));
    EXPECT_EQ(drawn(), 4);
    EXPECT_EQ(p.files.filesRead, reads) << "another file written: the tile is as it was";
    ASSERT_TRUE(replaceGameFile(p.files, "LIVE.TIL", test::encodeTile(std::vector<uint8_t>(64, 10), 8, 8)));
    EXPECT_EQ(drawn(), 10) << "the tile written, whatever the spelling, is read again";
    EXPECT_EQ(p.files.filesRead, reads + 1);
    for (size_t i = 0; i <= p.files.latestWrites.size(); ++i)
        ASSERT_TRUE(replaceGameFile(p.files, "other.dat", std::to_string(i)));
    EXPECT_EQ(drawn(), 10);
    EXPECT_EQ(p.files.filesRead, reads + 2) << "too many writes since to tell: read again";
    EXPECT_FALSE(writtenSince(p.files, gameFileKey(p.files, "live.til"), p.files.filesWritten));
    EXPECT_TRUE(writtenSince(p.files, gameFileKey(p.files, "live.til"), p.files.filesWritten + 1))
        << "a count these files never gave tells nothing";
}

}  // namespace
}  // namespace delve
