// A player's own data in the page: the zip's listing read before anything is
// unpacked, which files are taken and where they go, and every kind of
// hostile or broken input refused with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "own_data/own_data_plan.h"
#include "own_data/zip_directory.h"
#include "own_data/own_data_import.h"
#include "support/support.h"

namespace delve {
namespace {

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8 & 0xff);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

struct ZipFile {
    std::string name, bytes;
    uint16_t method = 0, flags = 0;
    uint32_t unixMode = 0;  // when set, the entry was made on Unix with this mode
};

// A zip of stored files, written field by field as any zip tool would; the
// end record may state another count than the files written.
std::string makeZip(const std::vector<ZipFile>& files, uint16_t statedCount = 0xfffe) {
    std::string zip, listing;
    for (const ZipFile& f : files) {
        const uint32_t crc = zipCrc32(reinterpret_cast<const uint8_t*>(f.bytes.data()), f.bytes.size());
        const uint32_t offset = static_cast<uint32_t>(zip.size());
        put32(zip, 0x04034b50);
        put16(zip, 20), put16(zip, f.flags), put16(zip, f.method), put32(zip, 0);
        put32(zip, crc), put32(zip, f.bytes.size()), put32(zip, f.bytes.size());
        put16(zip, f.name.size()), put16(zip, 3);
        zip += f.name + "xyz" + f.bytes;
        put32(listing, 0x02014b50);
        put16(listing, f.unixMode ? 3 << 8 | 20 : 20), put16(listing, 20), put16(listing, f.flags);
        put16(listing, f.method), put32(listing, 0);
        put32(listing, crc), put32(listing, f.bytes.size()), put32(listing, f.bytes.size());
        put16(listing, f.name.size()), put16(listing, 0), put16(listing, 0), put16(listing, 0), put16(listing, 0);
        put32(listing, f.unixMode << 16), put32(listing, offset);
        listing += f.name;
    }
    const uint32_t at = static_cast<uint32_t>(zip.size());
    zip += listing;
    const uint16_t count = statedCount == 0xfffe ? static_cast<uint16_t>(files.size()) : statedCount;
    put32(zip, 0x06054b50), put16(zip, 0), put16(zip, 0), put16(zip, count), put16(zip, count);
    put32(zip, listing.size()), put32(zip, at), put16(zip, 0);
    return zip;
}

const uint8_t* bytesOfZip(const std::string& zip) { return reinterpret_cast<const uint8_t*>(zip.data()); }

ZipListing list(const std::string& zip, size_t maxEntries = 100) {
    return readZipDirectory(reinterpret_cast<const uint8_t*>(zip.data()), zip.size(), maxEntries);
}

TEST(ZipDirectory, ReadsNamesSizesAndWhereEachFilesBytesAre) {
    EXPECT_EQ(zipCrc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xcbf43926u);
    const std::string zip = makeZip({{"res/", ""}, {"res/gamedata.dat", "party/count\r\n7\r\n"}, {"tiles/a.til", "AB"}});
    const ZipListing listing = list(zip);
    ASSERT_EQ(listing.problem, "");
    ASSERT_EQ(listing.entries.size(), 3u);
    const ZipEntry& data = listing.entries[1];
    EXPECT_EQ(data.name, "res/gamedata.dat");
    EXPECT_EQ(data.size, 16u);
    EXPECT_EQ(zip.substr(data.dataOffset, data.packedSize), "party/count\r\n7\r\n");
    EXPECT_EQ(data.crc32, zipCrc32(reinterpret_cast<const uint8_t*>(zip.data()) + data.dataOffset, data.size));
    EXPECT_EQ(zip.substr(listing.entries[2].dataOffset, 2), "AB");

    // A comment after the end record is part of a zip too.
    std::string commented = zip;
    commented[commented.size() - 2] = 5;
    EXPECT_EQ(list(commented + "hello").entries.size(), 3u);
}

TEST(ZipDirectory, RefusesWhatIsNoZipOrCannotBeUnpacked) {
    const std::string good = makeZip({{"res/a.dat", "abc"}});
    std::string pastEnd = good;
    pastEnd[pastEnd.size() - 6] = 0x7f;  // the listing's offset far past the end
    std::string wrongLocal = good;
    wrongLocal[0] = 'X';  // the listing points at no file header
    const std::pair<std::string, std::string> cases[] = {
        {"", "the zip file is empty (0 bytes)"},
        {"just some text, no zip at all", "it is not a zip file (no zip listing at its end)"},
        {good.substr(0, good.size() - 3), "it is not a zip file (no zip listing at its end)"},
        {pastEnd, "it is damaged (its listing points past the end of the file)"},
        {wrongLocal, "it is damaged (res/a.dat is not where its listing says)"},
        {makeZip({{"res/a.dat", "abc", 0, 1}}), "res/a.dat in it is encrypted"},
        {makeZip({{"res/a.dat", "abc", 12}}),
         "res/a.dat in it is packed in a way the page cannot unpack (method 12; stored and deflated are)"},
        {makeZip({{"res/a.dat", "abc"}}, 0xffff), "it is a 64-bit zip, which is more than a game's data needs"},
        {makeZip({{"a", "1"}, {"b", "2"}, {"c", "3"}}), "it holds 3 files, more than the 2 a game's data may have"},
        {makeZip({{"a", "1"}}, 2), "it is damaged (its listing ends early)"},
        {makeZip({{"res/a.dat", "abc", 0, 0, 0100644}, {"res/gamedata.dat", "../../secret", 0, 0, 0120777}}),
         "res/gamedata.dat in it is a symbolic link, which a game's data cannot hold"},
    };
    for (const auto& [zip, problem] : cases) {
        const ZipListing listing = list(zip, 2);
        EXPECT_EQ(listing.problem, problem) << problem;
        EXPECT_TRUE(listing.entries.empty()) << problem;
    }
}

// The page's way: the end, then the listing, then each header, each read
// from the zip on its own.
ZipListing listInPieces(const std::string& zip, size_t maxEntries) {
    const size_t tail = std::min(zip.size(), kZipTailMax);
    const ZipEnd end = readZipEnd(bytesOfZip(zip) + zip.size() - tail, tail, zip.size(), maxEntries);
    ZipListing listing;
    listing.problem = end.problem;
    if (!end.problem.empty()) return listing;
    listing = readZipEntries(bytesOfZip(zip) + end.directoryAt, end);
    for (ZipEntry& entry : listing.entries) {
        const std::string header = zip.substr(entry.headerAt, kZipLocalHeader);
        listing.problem = placeZipEntry(entry, bytesOfZip(header), header.size(), end);
        if (!listing.problem.empty()) return {{}, listing.problem};
    }
    return listing;
}

TEST(ZipDirectory, AZipReadAPieceAtATimeListsAsTheWholeOfIt) {
    std::string commented = makeZip({{"res/", ""}, {"res/gamedata.dat", "party/count\r\n7\r\n"}, {"tiles/a.til", "AB"}});
    commented[commented.size() - 2] = 5;
    commented += "hello";
    // Longer than the longest tail an end record can have.
    const std::string padded = makeZip({{"res/big.dat", std::string(100000, 'b')}, {"res/a.dat", "abc"}});
    std::string wrongLocal = makeZip({{"res/a.dat", "abc"}});
    wrongLocal[0] = 'X';
    for (const std::string& zip : {commented, padded, wrongLocal, std::string(), makeZip({{"a", "1"}}, 2),
                                   makeZip({{"res/a.dat", "abc", 0, 1}}), makeZip({{"a", "1"}, {"b", "2"}, {"c", "3"}})}) {
        const ZipListing whole = list(zip, 2 + (zip == commented));
        const ZipListing pieces = listInPieces(zip, 2 + (zip == commented));
        EXPECT_EQ(pieces.problem, whole.problem);
        ASSERT_EQ(pieces.entries.size(), whole.entries.size()) << whole.problem;
        for (size_t i = 0; i < whole.entries.size(); i++) {
            EXPECT_EQ(pieces.entries[i].name, whole.entries[i].name);
            EXPECT_EQ(pieces.entries[i].dataOffset, whole.entries[i].dataOffset);
        }
    }
    EXPECT_EQ(listInPieces(padded, 2).entries.size(), 2u);
}

std::vector<std::string> taken(const OwnDataPlan& plan) {
    std::vector<std::string> out;
    for (const auto& [index, path] : plan.take) out.push_back(std::to_string(index) + ":" + path);
    return out;
}

TEST(OwnDataPlan, TakesResAndTilesAtTheTopOrInsideOneFolder) {
    const OwnDataPlan top = planOwnData({{"res/", 0}, {"res/gamedata.dat", 10}, {"./tiles//map/a.til", 5},
                                         {"notes.txt", 3}, {"resources/x", 1}, {"tiles/b.til", 7}, {"./", 0}});
    EXPECT_EQ(top.problem, "");
    EXPECT_EQ(top.top, "");
    EXPECT_EQ(taken(top), (std::vector<std::string>{"1:res/gamedata.dat", "2:tiles/map/a.til", "5:tiles/b.til"}));
    EXPECT_EQ(top.bytes, 22u);

    // A zip of the folder rather than of its contents; any case, as the game finds files.
    const OwnDataPlan inside = planOwnData({{"My Data/readme", 1}, {"My Data/Res/GameData.dat", 4},
                                            {"My Data/TILES/a.til", 2}, {"Other/res/x.dat", 9}});
    EXPECT_EQ(inside.problem, "");
    EXPECT_EQ(inside.top, "My Data/");
    EXPECT_EQ(taken(inside), (std::vector<std::string>{"1:Res/GameData.dat", "2:TILES/a.til"}));
}

TEST(OwnDataPlan, RefusesHostileOrUnusableFilesWithTheReason) {
    const std::pair<std::vector<OwnFile>, std::string> cases[] = {
        {{{"res/../../etc/passwd", 1}}, "res/../../etc/passwd climbs out of its folder"},
        {{{"res/a", 1}, {"../b", 1}}, "../b climbs out of its folder"},
        {{{"/res/gamedata.dat", 1}}, "/res/gamedata.dat is an absolute path"},
        {{{"C:/res/gamedata.dat", 1}}, "C:/res/gamedata.dat names a drive"},
        {{{"res\\gamedata.dat", 1}}, "res\\gamedata.dat has a backslash, which some systems read as a folder"},
        {{{"res/a:b", 1}}, "res/a:b has a colon, which some systems read as a drive or a stream"},
        {{{"res/a\nb", 1}}, "a file name has control characters"},
        {{{"", 1}}, "a file without a name"},
        {{}, "it has no res folder (the data files go in res/, the tiles in tiles/)"},
        {{{"tiles/a.til", 1}, {"gamedata.dat", 1}}, "it has no res folder (the data files go in res/, the tiles in tiles/)"},
        {{{"res/a", 1}, {"res/b", 1}, {"res/c", 1}, {"res/d", 1}}, "it holds 4 files, more than the 3 a game's data may have"},
        {{{"res/a", 600 << 10}, {"tiles/b", 500 << 10}}, "its files would take more than 1 MB unpacked, more than a game's data may"},
        {{{"res/a", 0xffffffffull}}, "its files would take more than 1 MB unpacked, more than a game's data may"},
    };
    for (const auto& [files, problem] : cases) {
        const OwnDataPlan plan = planOwnData(files, {3, 1 << 20});
        EXPECT_EQ(plan.problem, problem);
        EXPECT_TRUE(plan.take.empty() && plan.bytes == 0) << problem;
    }
    // Two files the game could not tell apart, as it finds files in any case.
    const std::pair<std::vector<OwnFile>, std::string> clashes[] = {
        {{{"res/a.dat", 1}, {"res/b.dat", 1}, {"res/a.dat", 2}}, "res/a.dat is in it twice"},
        {{{"res/a.dat", 1}, {"./res//a.dat", 2}}, "res/a.dat is in it twice"},
        {{{"res/Map.dat", 1}, {"res/map.DAT", 1}},
         "res/Map.dat and res/map.DAT differ only in case, and the game reads either for both"},
        {{{"Data/res/a.dat", 1}, {"Data/RES/a.dat", 1}},
         "res/a.dat and RES/a.dat differ only in case, and the game reads either for both"},
    };
    for (const auto& [files, problem] : clashes) {
        const OwnDataPlan plan = planOwnData(files);
        EXPECT_EQ(plan.problem, problem);
        EXPECT_TRUE(plan.take.empty() && plan.bytes == 0) << problem;
    }
    // Only what is taken can clash: the rest is never written.
    EXPECT_EQ(planOwnData({{"res/a", 1}, {"notes.txt", 1}, {"NOTES.txt", 1}, {"res/", 0}, {"RES/", 0}}).problem, "");
    // A large file outside res/ and tiles/ is never unpacked, so it costs nothing.
    EXPECT_EQ(planOwnData({{"res/a", 1}, {"video.mp4", 5u << 20}}, {3, 1 << 20}).problem, "");
}

TEST(OwnDataPlan, WritesTakenFilesBelowTheRootOnly) {
    test::ScratchDir dir;
    const std::string bytes = "party/count\r\n7\r\n";
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_TRUE(writeOwnFile(dir.path(), "res/gamedata.dat", data, bytes.size()));
    EXPECT_TRUE(writeOwnFile(dir.path(), "tiles/map/deep/a.til", data, 3));
    EXPECT_EQ(dir.read("res/gamedata.dat"), bytes);
    EXPECT_EQ(dir.read("tiles/map/deep/a.til"), "par");
    EXPECT_FALSE(writeOwnFile(dir.path(), "../escaped", data, 3));
    EXPECT_FALSE(writeOwnFile(dir.path(), "/tmp/escaped", data, 3));
    dir.write("res/taken", "a file where a folder should be");
    EXPECT_FALSE(writeOwnFile(dir.path(), "res/taken/a.dat", data, 3));

    // A try's files go once it is checked, and nothing beside them.
    const std::string trial = dir.path() + "/trial-1";
    for (int i = 0; i < 300; i++) ASSERT_TRUE(writeOwnFile(trial, "tiles/map/" + std::to_string(i) + ".til", data, 3));
    ASSERT_TRUE(writeOwnFile(trial, "tiles/a/b/c/d/e/f.til", data, 3));
    dir.write("trial-10/res/a.dat", "another try's");
    EXPECT_TRUE(removeOwnFiles(trial));
    EXPECT_FALSE(std::filesystem::exists(trial));
    EXPECT_EQ(dir.read("trial-10/res/a.dat"), "another try's");
    EXPECT_TRUE(removeOwnFiles(trial)) << "nothing there is nothing left";
}

const uint8_t* bytesOf(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

TEST(OwnDataImport, TakesAZipsFilesOnlyWhenTheyAreWhatItsListingStates) {
    test::ScratchDir dir;
    const std::string data = "party/count\r\n7\r\n";
    const std::string zip = makeZip({{"mine/res/gamedata.dat", data}, {"mine/tiles/a.til", "AB"}, {"mine/x", "1"}});
    OwnDataImport import;
    import.root = dir.path() + "/own";
    listZip(import, bytesOf(zip), zip.size());
    ASSERT_TRUE(planImport(import));
    ASSERT_EQ(import.plan.take.size(), 2u);
    ASSERT_EQ(import.plan.take[0].second, "res/gamedata.dat");

    // Bytes that are not the listed file: too many (a bomb that understates
    // its size), too few, or the right count with other contents.
    OwnDataImport spoilt = import;
    EXPECT_FALSE(storeTaken(spoilt, 0, bytesOf(data + "more"), data.size() + 4));
    EXPECT_EQ(spoilt.problem, "mine/res/gamedata.dat unpacks to more than the 16 bytes its listing states");
    spoilt = import;
    EXPECT_FALSE(storeTaken(spoilt, 0, bytesOf(data), 3));
    EXPECT_EQ(spoilt.problem, "mine/res/gamedata.dat unpacks to fewer than the 16 bytes its listing states");
    spoilt = import;
    EXPECT_FALSE(storeTaken(spoilt, 1, bytesOf("BA"), 2));
    EXPECT_EQ(spoilt.problem, "mine/tiles/a.til is damaged (its contents do not match its checksum)");
    EXPECT_FALSE(storeTaken(spoilt, 0, bytesOf(data), data.size())) << "nothing more after a problem";
    EXPECT_FALSE(dir.exists("own/res/gamedata.dat"));

    EXPECT_TRUE(storeTaken(import, 0, bytesOf(data), data.size()));
    EXPECT_TRUE(storeTaken(import, 1, bytesOf("AB"), 2));
    EXPECT_FALSE(storeTaken(import, 2, bytesOf("1"), 1)) << "only files of the plan";
    EXPECT_EQ(dir.read("own/res/gamedata.dat"), data);
    EXPECT_EQ(dir.read("own/tiles/a.til"), "AB");

    // The check's lines are delve-check's findings on the same folder (here
    // a definition with far too little in it), its closing count aside.
    const OwnDataCheck checked = checkImported(import);
    EXPECT_EQ(checked.problem, "");
#ifndef _WIN32  // the tool runs through a POSIX shell; the Windows tools are scripts/windows-e2e's
    std::vector<std::string> tool;
    if (std::FILE* out = ::popen((DELVE_TOOL_DIR "/delve-check '" + import.root + "'").c_str(), "r")) {
        for (char line[4096]; std::fgets(line, sizeof line, out);) tool.emplace_back(line, std::strcspn(line, "\n"));
        ::pclose(out);
    }
    ASSERT_GT(tool.size(), 1u);
    tool.pop_back();
    EXPECT_EQ(checked.lines, tool);
#endif

    // Once checked, a try's files go, the folders made for them too, and
    // nothing else: another try's folder beside it stays.
    dir.write("own/tiles/map/stray.til", "written by no plan");
    dir.write("own-2/res/gamedata.dat", data);
    EXPECT_TRUE(removeImported(import));
    EXPECT_FALSE(dir.exists("own"));
    EXPECT_EQ(dir.read("own-2/res/gamedata.dat"), data);
}

TEST(OwnDataImport, AFoldersFilesAreCheckedAsAZipsAndRefusalsCarryTheirReason) {
    OwnDataImport folder;
    addFolderFile(folder, "Quest/res/gamedata.dat", 20);
    addFolderFile(folder, "Quest/tiles/a.til", 2);
    ASSERT_TRUE(planImport(folder));
    EXPECT_EQ(folder.plan.top, "Quest/");
    EXPECT_FALSE(storeTaken(folder, 1, bytesOf("ABC"), 3));
    EXPECT_EQ(folder.problem, "Quest/tiles/a.til unpacks to more than the 2 bytes its listing states");

    OwnDataImport empty;
    listZip(empty, nullptr, 0);
    EXPECT_FALSE(planImport(empty));
    EXPECT_EQ(empty.problem, "the zip file is empty (0 bytes)");

    // A zip read a piece at a time plans nothing until each header is in.
    const std::string two = makeZip({{"res/gamedata.dat", "12"}, {"tiles/a.til", "AB"}});
    const size_t tail = std::min(two.size(), kZipTailMax);
    OwnDataImport pieces;
    ASSERT_TRUE(listZipEnd(pieces, bytesOf(two) + two.size() - tail, tail, two.size()));
    EXPECT_FALSE(listZipEntries(pieces, bytesOf(two) + pieces.zipEnd.directoryAt, 3));
    EXPECT_EQ(pieces.problem, "it could not be read (its listing came short)");
    pieces = {};
    ASSERT_TRUE(listZipEnd(pieces, bytesOf(two) + two.size() - tail, tail, two.size()));
    ASSERT_TRUE(listZipEntries(pieces, bytesOf(two) + pieces.zipEnd.directoryAt, pieces.zipEnd.directorySize));
    OwnDataImport unplaced = pieces;
    ASSERT_TRUE(placeZipHeader(pieces, 0, bytesOf(two), kZipLocalHeader));
    ASSERT_TRUE(placeZipHeader(pieces, 1, bytesOf(two) + pieces.zipEntries[1].headerAt, kZipLocalHeader));
    ASSERT_TRUE(planImport(pieces));
    EXPECT_EQ(two.substr(pieces.zipEntries[1].dataOffset, 2), "AB");
    EXPECT_FALSE(planImport(unplaced));
    EXPECT_EQ(unplaced.problem, "it is damaged (res/gamedata.dat is not where its listing says)");

    OwnDataImport climbing;
    const std::string zip = makeZip({{"res/../../../x", "1"}});
    listZip(climbing, bytesOf(zip), zip.size());
    EXPECT_FALSE(planImport(climbing));
    EXPECT_EQ(climbing.problem, "res/../../../x climbs out of its folder");
}

}  // namespace
}  // namespace delve
