// Game files and the two formats read through them. Names use "\" between
// folders, may start with ".\", match each part ignoring ASCII case and stay
// below the game's folder. Data files are CR LF lines of key=value, nothing
// trimmed, first match wins ignoring case. Tile files are built byte by byte
// here: an 11-byte header (signature 253, width at 7, height at 9,
// little-endian), then rows of four plane-rows, most significant bit first.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <cmath>
#include <csignal>
#include <filesystem>

#include "game/key_value_store.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "render/tile_image.h"
#include "support/support.h"

namespace delve {
namespace {

namespace fs = std::filesystem;

class GameFiles : public ::testing::Test {
protected:
    GameFiles() {
        files.root = dir.path() + "/game";
        fs::create_directories(files.root);
    }
    std::string at(const std::string& relative) const { return files.root + "/" + relative; }
    long entries(const std::string& in) const { return std::distance(fs::directory_iterator(at(in)), {}); }
    test::ScratchDir dir;  // the game folder is dir/game, so dir itself is "outside"
    Files files;
};

TEST_F(GameFiles, NamesMatchIgnoringCaseAndMissingFilesAreCreated) {
    dir.write("game/Res/GameData.dat", "G");
    EXPECT_EQ(readGameFile(files, ".\\RES\\gamedata.DAT"), "G");
    EXPECT_EQ(readGameFile(files, "res\\Encounter.TXT"), "");  // created empty, named as given
    EXPECT_EQ(readGameFile(files, "RES\\encounter.txt"), "");  // found again, not doubled
    EXPECT_TRUE(dir.exists("game/Res/Encounter.TXT"));
    EXPECT_EQ(entries("Res"), 2);
    EXPECT_FALSE(readGameFile(files, "drivers\\mouse.bin"));  // a missing folder is never made
    EXPECT_FALSE(dir.exists("game/drivers"));
    dir.write("secret.txt", "outside");
    for (const char* name : {"..\\secret.txt", "res\\..\\..\\new.txt", "\\etc\\passwd", "C:\\x", ""}) {
        EXPECT_FALSE(readGameFile(files, name)) << name;
        EXPECT_FALSE(replaceGameFile(files, name, "x")) << name;
    }
    EXPECT_FALSE(dir.exists("new.txt"));
    EXPECT_EQ(dir.read("secret.txt"), "outside");
}

TEST_F(GameFiles, RememberedSpellingsFollowTheFilesAsTheyAreNow) {
    const std::string name = "tiles\\party\\hero_001.TIL";
    dir.write("game/tiles/party/hero_001.til", "first");
    EXPECT_EQ(readGameFile(files, name), "first");
    fs::rename(at("tiles/party/hero_001.til"), at("tiles/party/Hero_001.Til"));
    EXPECT_EQ(readGameFile(files, name), "first");
    EXPECT_EQ(entries("tiles/party"), 1);                 // nothing made in its place
    fs::remove(at("tiles/party/Hero_001.Til"));
    EXPECT_EQ(readGameFile(files, name), "");  // gone: missing again, created as given
    EXPECT_TRUE(dir.exists("game/tiles/party/hero_001.TIL"));
}

// A watched game reads through a memo: each file from the folder once, then
// from memory; what it writes stays in memory, and a copy of the memo (kept
// with a moment of the game) does not see later writes.
TEST_F(GameFiles, AMemoReadsEachFileOnceAndWritesOnlyToMemory) {
    dir.write("game/res/gamedata.dat", "on disk");
    files.memo = std::make_shared<Files::Memo>();
    EXPECT_EQ(readGameFile(files, "res\\gamedata.dat"), "on disk");
    dir.write("game/res/gamedata.dat", "changed");
    EXPECT_EQ(readGameFile(files, "RES\\GameData.DAT"), "on disk") << "one file, whatever the spelling";

    EXPECT_TRUE(replaceGameFile(files, "res\\panel.txt", "written"));
    EXPECT_FALSE(dir.exists("game/res/panel.txt")) << "the folder is never written";
    EXPECT_EQ(readGameFile(files, "res\\Panel.txt"), "written");
    const Files::Memo before = *files.memo;
    EXPECT_TRUE(replaceGameFile(files, "res\\panel.txt", "later"));
    files.memo = std::make_shared<Files::Memo>(before);
    EXPECT_EQ(readGameFile(files, "res\\panel.txt"), "written") << "a kept copy is as it was";

    for (const char* name : {"..\\secret.txt", "\\etc\\passwd", ""}) {
        EXPECT_FALSE(readGameFile(files, name)) << name;
        EXPECT_FALSE(replaceGameFile(files, name, "x")) << name;
    }
}

KeyValueStore parsed(std::string text) {
    KeyValueStore store;
    parseStoreText(text, store);
    return store;
}

TEST(DataFiles, ParsingSplitsAtCrLfThenAtTheFirstEquals) {
    const std::pair<std::string, std::string> cases[] = {
        {"a=1\r\nb=2", "a=1|b=2"},
        {"a=1\r\nb=2\r\n", "a=1|b=2"},
        {"a=1\nb=2\nc=3", "a=1\nb=2\nc=3"},  // LF alone is no line end: one pair
        {"a=1\rb=2\r\r\nc=3", "a=1\rb=2\r|c=3"},
        {"x=1=2\r\nno pair\r\n\r\n=key\r\nvalue=\r\n k = v ", "x=1=2|=key|value=| k = v "}};
    for (const auto& [text, pairs] : cases) {
        std::string seen;  // key=value joined by '|' (keys never hold "=")
        for (const auto& kv : parsed(text).pairs) seen += (seen.empty() ? "" : "|") + kv.key + "=" + kv.value;
        EXPECT_EQ(seen, pairs) << text;
    }
}

TEST(DataFiles, LookupTakesTheFirstMatchIgnoringCaseInLowerCase) {
    const KeyValueStore store = parsed("Name=Hero\r\nname=Other\r\nEmpty=\r\nparty/count =3");
    EXPECT_EQ(lookupValue("NAME", store), "hero");
    EXPECT_EQ(lookupValue("empty", store), "");
    EXPECT_EQ(lookupValue("party/count", store), "%%");  // the blank belongs to the stored key
    const std::pair<const char*, const char*> names[] = {
        {"\"the dark tower\"", "The Dark Tower"}, {"\"", ""}, {"\"hello", "\"hello"},
        {"mIXED  case", "Mixed  Case"}, {"o'neil-smith 3rd\tand", "O'neil-smith 3rd\tand"}};
    for (const auto& [name, shown] : names) EXPECT_EQ(toDisplayName(name), shown) << name;
}

TEST_F(GameFiles, StoreSavesExactBytesAndAFailedSaveKeepsTheOldFile) {
    const KeyValueStore store{{{"Key A", " 1"}, {"b", "2"}}};  // written as stored: case and blanks kept
    dir.write("game/res/shops.dat", "old=1");
    EXPECT_TRUE(saveStoreFile(files, "RES\\SHOPS.DAT", store));
    EXPECT_EQ(dir.read("game/res/shops.dat"), "Key A= 1\r\nb=2");
#ifndef _WIN32  // Windows has no per-process file size limit to stage it with
    // A full disk, as far as this process can tell: writes past 4 bytes fail.
    // (File size limits hold for every user, root included.)
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small{4, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = saveStoreFile(files, "res\\shops.dat", parsed("other=1"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(dir.read("game/res/shops.dat"), "Key A= 1\r\nb=2");
    EXPECT_EQ(entries("res"), 1);  // the half-written file is gone
#endif
}

TEST(DataFiles, NumbersAreReadFromTheStartOfAValue) {
    const std::pair<const char*, double> numbers[] = {
        {"  12abc", 12}, {"-3.5e2x", -350}, {"-.25", -0.25}, {"1.5.5", 1.5}, {"4e+x", 4}, {" &hff x", 255},
        {"&HZ1", 0},     {"", 0},           {"%%", 0},       {"+.", 0},      {" - 5", 0}, {"e5", 0}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(readLeadingNumber(text), value) << text;
    for (const auto& [text, value] : {std::pair{"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"1e400", INT32_MAX}})
        EXPECT_EQ(readInteger(text), value) << text;
}

// The length field at offset 5 is never used.
std::string tileHeader(int w, int h) {
    return std::string{'\xFD', 0, 0, 0, 0, 0x12, 0, char(w), char(w >> 8), char(h), char(h >> 8)};
}

// The image's rows, one hex digit a pixel.
std::vector<std::string> hexRows(const std::optional<Image>& image) {
    std::vector<std::string> rows(image ? image->height : 0);
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < image->width; ++x) rows[y] += "0123456789abcdef"[getPixel(*image, x, y) & 15];
    return rows;
}

using Rows = std::vector<std::string>;

TEST(TileDecoding, PlanesAtDoubleSizeRowsOnByteBoundariesAndSizeRules) {
    // 8 by 8 tiles whose byte 4y + p is row y of plane p.
    const std::pair<std::string, std::string> cases[] = {{"\xFF\xFF\xFF\xFF", "ffffffffffffffff"},
                                                         {std::string("\x80\0\0\0", 4), "1100000000000000"},
                                                         {std::string("\0\0\0\x01", 4), "0000000000000088"},
                                                         {"\xF0\xCC\xAA\x01", "7733551166224488"}};
    for (const auto& [planes, row] : cases) {
        std::string bytes = tileHeader(8, 8);
        for (int y = 0; y < 8; ++y) bytes += planes;
        EXPECT_EQ(hexRows(decodeTileImage(bytes)), Rows(16, row));
    }
    // 10 wide: 2 bytes a plane-row, the low 6 bits of the second unused.
    const auto ten = decodeTileImage(tileHeader(10, 1) + std::string("\x80\x3F\0\0\0\0\0\xFF", 8));
    EXPECT_EQ(hexRows(ten), Rows(2, "11000000000000008888"));
    // The top bits of width and height are cleared; missing data reads as 0.
    const std::string full(48, 'f'), part = std::string(16, '1') + std::string(32, '0');
    EXPECT_EQ(hexRows(decodeTileImage(tileHeader(0x8018, 0x8002) + std::string(13, '\xFF'))),
              (Rows{full, full, part, part}));
    // 25 by 25 loses its 25th column and row; 25 by 24 keeps them. Plane 0
    // marks columns 23 and 24 of every row, and the whole 25th row.
    for (int height : {25, 24}) {
        std::string bytes = tileHeader(25, height);
        for (int y = 0; y < height; ++y)
            bytes += std::string(y == 24 ? "\xFF\xFF\xFF\x80" : "\0\0\x01\x80", 4) + std::string(12, 0);
        const std::string row = std::string(46, '0') + (height == 25 ? "11" : "1111");
        EXPECT_EQ(hexRows(decodeTileImage(bytes)), Rows(48, row)) << height;
    }
    EXPECT_FALSE(decodeTileImage(""));
    EXPECT_FALSE(decodeTileImage("\xFE" + tileHeader(8, 8).substr(1) + std::string(32, '\xFF')));
    for (auto [w, h] : {std::pair{0, 8}, {8, 0}, {513, 8}, {8, 32767}, {0x8000, 8}})
        EXPECT_FALSE(decodeTileImage(tileHeader(w, h))) << w << "x" << h;
}

TEST_F(GameFiles, TileFilesLoadedCreatedEmptyOrShownAsThePlaceholder) {
    dir.write("game/tiles/map/map_007.til", tileHeader(8, 8) + std::string(32, '\xFF'));
    EXPECT_EQ(hexRows(loadTileImage(files, "tiles\\MAP\\map_007.TIL")), Rows(16, std::string(16, 'f')));
    EXPECT_FALSE(loadTileImage(files, "tiles\\map\\map_008.til"));  // created empty: no image
    EXPECT_EQ(dir.read("game/tiles/map/map_008.til"), "");
    // A missing folder: six dotted lines in colour 12, every other pixel from
    // the first, one row a step, at the column nearest the true line; not doubled.
    Image expected = createImage(24, 24);
    const int startX[6] = {5, 22, 3, 20, 1, 18};
    for (int v = 0; v < 6; ++v)
        for (int y = 0; y < 24; y += 2)
            setPixel(expected, startX[v] + (v % 2 ? -1 : 1) * int(std::lround(y * 18.0 / 23.0)), y, 12);
    EXPECT_EQ(hexRows(loadTileImage(files, "tiles\\nowhere\\x.til")), hexRows(expected));
    EXPECT_FALSE(dir.exists("game/tiles/nowhere"));
}

// Whatever sits where a tile or data file should be, the game neither
// hangs, crashes nor takes the file's size in memory: a pipe, a device, a
// folder, a symbolic link (a loop, too) and a huge file are refused, as a
// file that cannot be opened, and the tile shows as the placeholder.
#ifdef _WIN32
// Reported as skipped, so that the Windows run says what it leaves out.
TEST_F(GameFiles, HostileFilesAreRefusedAtOnce) {
    GTEST_SKIP() << "FIFOs, symbolic links and /dev are POSIX's";
}
#else
TEST_F(GameFiles, HostileFilesAreRefusedAtOnce) {
    fs::create_directories(at("tiles/map"));
    ASSERT_EQ(::mkfifo(at("tiles/map/map_001.til").c_str(), 0644), 0);  // nobody ever writes to it
    fs::create_directories(at("tiles/map/map_002.til"));
    fs::create_symlink("map_004.til", at("tiles/map/map_003.til"));
    fs::create_symlink("map_003.til", at("tiles/map/map_004.til"));
    // Sparse: 8 GiB on paper, nothing on the disk.
    dir.write("game/tiles/map/map_005.til", tileHeader(8, 8));
    fs::resize_file(at("tiles/map/map_005.til"), uint64_t{8} << 30);
    const Image placeholder = tilePlaceholder();
    for (int code = 1; code <= 5; ++code) {
        const std::string name = "tiles\\map\\map_00" + std::to_string(code) + ".til";
        EXPECT_FALSE(readGameFile(files, name)) << name;
        EXPECT_EQ(hexRows(loadTileImage(files, name)), hexRows(placeholder)) << name;
    }
    EXPECT_EQ(entries("tiles/map"), 5);  // nothing made beside them
    EXPECT_TRUE(fs::is_directory(at("tiles/map/map_002.til")));

    Files devices;
    devices.root = "/dev";
    for (const char* device : {"zero", "null", "urandom"}) EXPECT_FALSE(readGameFile(devices, device)) << device;
}
#endif

// Every read is the file as it is now: edited, grown past the first read's
// room, or at the size limit exactly; one byte more is refused.
TEST_F(GameFiles, ReadsFollowEditsAndStopAtTheSizeLimit) {
    dir.write("game/res/a.dat", "first");
    EXPECT_EQ(readGameFile(files, "res\\a.dat"), "first");
    dir.write("game/res/a.dat", "other");
    EXPECT_EQ(readGameFile(files, "res\\a.dat"), "other");
    std::string big(200 * 1024 + 3, 'x');
    for (size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>('a' + i % 26);
    dir.write("game/res/a.dat", big);
    EXPECT_EQ(readGameFile(files, "res\\a.dat"), big);
    dir.write("game/res/a.dat", "");
    EXPECT_EQ(readGameFile(files, "res\\a.dat"), "");
    fs::resize_file(at("res/a.dat"), kMaxGameFileBytes);
    const auto limit = readGameFile(files, "res\\a.dat");
    ASSERT_TRUE(limit);
    EXPECT_EQ(limit->size(), kMaxGameFileBytes);
    fs::resize_file(at("res/a.dat"), kMaxGameFileBytes + 1);
    EXPECT_FALSE(readGameFile(files, "res\\a.dat"));
    EXPECT_LE(files.readBuffer.capacity(), size_t{64} << 10);  // no huge buffer left behind
}

}  // namespace
}  // namespace delve
