// delve-tiles, run as the build runs it, and the art set it stages.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/tile_image.h"
#include "support/support.h"

namespace delve {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

struct RunResult {
    int status;
    std::string errors;
};

// Runs the tool with the arguments (each quoted), collecting standard error.
RunResult runTool(const ScratchDir& dir, const std::vector<std::string>& args) {
    std::string command = "\"" DELVE_TOOL_DIR "/delve-tiles\"";
    for (const std::string& a : args) command += " \"" + a + "\"";
    command += " 2> \"" + dir.path() + "/stderr.txt\"";
    const int raw = std::system(command.c_str());
    RunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read("stderr.txt")};
    fs::remove(dir.path() + "/stderr.txt");
    return result;
}

std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
        if (entry.is_regular_file()) found.push_back(fs::relative(entry.path(), folder).string());
    return found;
}

int paletteIndex(char c) {
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Checks the loader's picture of a built tile against the art's rows.
void expectSamePixelsDoubled(const std::string& tileBytes, const std::vector<std::string>& rows) {
    const auto image = decodeTileImage(tileBytes);
    ASSERT_TRUE(image.has_value());
    const int width = static_cast<int>(rows[0].size()), height = static_cast<int>(rows.size());
    ASSERT_EQ(image->width, 2 * width);
    ASSERT_EQ(image->height, 2 * height);
    for (int y = 0; y < 2 * height; ++y)
        for (int x = 0; x < 2 * width; ++x)
            ASSERT_EQ(getPixel(*image, x, y), paletteIndex(rows[y / 2][x / 2])) << x << "," << y;
}

std::string joinLines(const std::vector<std::string>& rows, const std::string& end) {
    std::string text;
    for (const std::string& r : rows) text += r + end;
    return text;
}

TEST(TilesTool, BuildRoundTripsArtThroughTheLoader) {
    ScratchDir dir;
    // Every colour, a width that leaves padding bits, and both digit cases.
    const std::vector<std::string> wide = {"0123456789", "abcdefABCD", "EF.f.e.d.c"};
    const std::vector<std::string> square = {"f......f", ".e....e.", "..d..d..", "...cc...",
                                             "...bb...", "..a..9..", ".8....7.", "6......5"};
    dir.write("art/map/map_001.txt", joinLines(wide, "\n"));
    dir.write("art/font/font_065.txt", joinLines(square, "\r\n"));  // CR LF lines
    dir.write("art/party/garr_001.txt", joinLines(square, "\n") + "\n\n");  // blank lines at the end
    dir.write("art/readme.md", "not art");

    const RunResult run = runTool(dir, {"build", dir.path() + "/art", dir.path() + "/out"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");

    const std::string tile = dir.read("out/map/map_001.til");
    // Signature, four zero bytes, the data length, width 10 and height 3.
    ASSERT_GE(tile.size(), 11u);
    EXPECT_EQ(tile.substr(0, 11), std::string("\xfd\0\0\0\0\x18\0\x0a\0\x03\0", 11));
    EXPECT_EQ(tile.size(), 11u + 3 * 4 * 2);
    expectSamePixelsDoubled(tile, wide);
    expectSamePixelsDoubled(dir.read("out/font/font_065.til"), square);
    expectSamePixelsDoubled(dir.read("out/party/garr_001.til"), square);
    std::vector<std::string> written = filesBelow(dir.path() + "/out");
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"font/font_065.til", "map/map_001.til", "party/garr_001.til"}));
}

TEST(TilesTool, MalformedArtIsOneLineNamingFileAndLineAndWritesNothing) {
    struct Case {
        std::string art;
        std::string where;
    };
    const std::vector<Case> cases = {
        {"0000\n0000\n000\n0000\n", "map_002.txt:3:"},  // ragged row
        {"0000\n00g0\n", "map_002.txt:2:"},             // not a hex digit
        {"0000\n00 0\n", "map_002.txt:2:"},             // a blank is not a pixel
        {"0000\n\n0000\n", "map_002.txt:2:"},           // an empty row inside
        {"", "map_002.txt:1:"},                         // empty file
        {"\n\n", "map_002.txt:1:"},                     // nothing but blank lines
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        dir.write("art/map/map_001.txt", "1111\n1111\n");
        dir.write("art/map/map_002.txt", c.art);
        const std::string previous = "an earlier build's tile";
        dir.write("out/map/map_001.til", previous);

        const RunResult run = runTool(dir, {"build", dir.path() + "/art", dir.path() + "/out"});
        EXPECT_EQ(run.status, 1) << c.where;
        EXPECT_NE(run.errors.find(c.where), std::string::npos) << run.errors;
        ASSERT_FALSE(run.errors.empty());
        EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
        // The good tile is not written either, and nothing is left half-done.
        EXPECT_EQ(filesBelow(dir.path() + "/out"), std::vector<std::string>{"map/map_001.til"}) << c.where;
        EXPECT_EQ(dir.read("out/map/map_001.til"), previous);
    }
}

TEST(TilesTool, BuildRefusesAMissingSourceFolder) {
    ScratchDir dir;
    const RunResult run = runTool(dir, {"build", dir.path() + "/nowhere", dir.path() + "/out"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("nowhere"), std::string::npos);
    EXPECT_FALSE(dir.exists("out"));
}

// Width and height from a PNG's header chunk.
std::pair<int, int> pngSize(const std::string& png) {
    auto be32 = [&](size_t at) {
        return int(uint8_t(png[at])) << 24 | int(uint8_t(png[at + 1])) << 16 | int(uint8_t(png[at + 2])) << 8 |
               int(uint8_t(png[at + 3]));
    };
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    return {be32(16), be32(20)};
}

TEST(TilesTool, PngAndSheetDrawTilesAndRefuseWhatIsNotATile) {
    ScratchDir dir;
    dir.write("art/map/map_001.txt", "12345678\n12345678\n");
    dir.write("art/map/map_002.txt", "1\n");
    ASSERT_EQ(runTool(dir, {"build", dir.path() + "/art", dir.path() + "/out"}).status, 0);

    RunResult run = runTool(dir, {"png", dir.path() + "/out/map/map_001.til", dir.path() + "/one.png"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(pngSize(dir.read("one.png")), std::make_pair(64, 16));  // 8 times the tile

    run = runTool(dir, {"sheet", dir.path() + "/out/map", dir.path() + "/sheet.png"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_GT(pngSize(dir.read("sheet.png")).first, 0);

    dir.write("bad/map_003.til", "not a tile");
    run = runTool(dir, {"png", dir.path() + "/bad/map_003.til", dir.path() + "/bad.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("map_003.til"), std::string::npos);
    run = runTool(dir, {"sheet", dir.path() + "/bad", dir.path() + "/bad.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("map_003.til"), std::string::npos);
    run = runTool(dir, {"sheet", dir.path() + "/art", dir.path() + "/bad.png"});  // no tile files there
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(dir.exists("bad.png"));

    EXPECT_EQ(runTool(dir, {"shrink", "a", "b"}).status, 2);
}

// The staged game folder holds a picture for everything the game draws.
TEST(ArtSet, EveryTileTheGameDrawsIsStagedAsAValidEightByEightTile) {
    const std::string tiles = test::stagedGameDir() + "/tiles/";
    std::vector<std::string> names;
    for (int code = 33; code <= 126; ++code) names.push_back("font/font_" + std::to_string(code + 1000).substr(1));
    for (int code : {179, 191, 192, 196, 217, 218, 254}) names.push_back("font/font_" + std::to_string(code));
    for (int code : {0, 176, 219, 247, 45, 254, 35, 177, 248, 244, 236, 231, 241, 253, 240, 243, 224, 227, 64, 249,
                     107, 98})
        names.push_back("map/map_" + std::to_string(code + 1000).substr(1));
    for (const char* stem : {"garr", "wynn", "tobi", "sera", "korv", "lisb", "odom"})
        names.push_back(std::string("party/") + stem + "_001");

    for (const std::string& name : names) {
        const fs::path file = tiles + name + ".til";
        ASSERT_TRUE(fs::exists(file)) << file;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto image = decodeTileImage(bytes);
        ASSERT_TRUE(image.has_value()) << name;
        EXPECT_EQ(image->width, 16) << name;
        EXPECT_EQ(image->height, 16) << name;
    }
}

TEST(ArtSet, FrameLinesMeetAtEveryCellEdge) {
    // Each frame piece reaches an edge exactly where its neighbour does.
    auto load = [](int code) {
        std::ifstream in(test::stagedGameDir() + "/tiles/font/font_" + std::to_string(code) + ".til",
                         std::ios::binary);
        return *decodeTileImage(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    };
    auto column = [](const Image& im, int x) {
        std::string c;
        for (int y = 0; y < im.height; ++y) c += char(getPixel(im, x, y) != 0);
        return c;
    };
    auto row = [](const Image& im, int y) {
        std::string r;
        for (int x = 0; x < im.width; ++x) r += char(getPixel(im, x, y) != 0);
        return r;
    };
    const Image h = load(196), v = load(179), tl = load(218), tr = load(191), bl = load(192), br = load(217);
    const int last = 15;
    // Horizontal joins: right edge of one meets left edge of the next.
    EXPECT_EQ(column(tl, last), column(h, 0));
    EXPECT_EQ(column(h, last), column(h, 0));
    EXPECT_EQ(column(h, last), column(tr, 0));
    EXPECT_EQ(column(bl, last), column(br, 0));
    EXPECT_NE(column(h, 0).find('\1'), std::string::npos);
    // Vertical joins: bottom edge of one meets top edge of the next.
    EXPECT_EQ(row(tl, last), row(v, 0));
    EXPECT_EQ(row(v, last), row(v, 0));
    EXPECT_EQ(row(v, last), row(bl, 0));
    EXPECT_EQ(row(tr, last), row(br, 0));
    EXPECT_NE(row(v, 0).find('\1'), std::string::npos);
    // Corners open only towards the frame's inside.
    EXPECT_EQ(row(tl, 0).find('\1'), std::string::npos);
    EXPECT_EQ(column(tl, 0).find('\1'), std::string::npos);
    EXPECT_EQ(row(br, last).find('\1'), std::string::npos);
    EXPECT_EQ(column(br, last).find('\1'), std::string::npos);
}

}  // namespace
}  // namespace delve
