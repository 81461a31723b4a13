// Dungeon links: a data folder packed into one run of bytes and taken back
// by the import a zip goes through, so that a link is refused for exactly
// what a zip would be, and for damage of its own, before a file is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "own_data/data_link.h"
#include "own_data/own_data_import.h"
#include "support/support.h"

namespace delve {
namespace {

const uint8_t* bytesOfLink(const std::string& packed) { return reinterpret_cast<const uint8_t*>(packed.data()); }

// The whole way a page takes a link: listed, planned, stored. The problem,
// or "" when every file was written below root.
std::string take(const std::string& packed, const std::string& root, const OwnDataLimits& limits = {}) {
    OwnDataImport import;
    import.root = root;
    if (listDataLink(import, bytesOfLink(packed), packed.size(), limits) && planImport(import, limits))
        storeDataLink(import);
    return import.problem;
}

const std::vector<DataFile> kQuest = {
    {"tiles/map/map_001.til", std::string("\xfd\0\0\0\0\x20\0\x08\0\x08\0", 11) + std::string(32, '\x0f')},
    {"res/gamedata.dat", "title=quest\r\nparty/1/name=ann\r\n"},
    {"res/empty.dat", ""},
    {"README.txt", "not taken: only res/ and tiles/ are"},
};

TEST(DataLink, AFolderComesBackFileForFileAndTheSameFilesMakeTheSameBytes) {
    const std::string packed = packDataFolder(kQuest);
    EXPECT_EQ(packed.rfind("delve-data 1\n" "35 README.txt\n" "0 res/empty.dat\n", 0), 0u) << packed;
    std::vector<DataFile> reversed(kQuest.rbegin(), kQuest.rend());
    EXPECT_EQ(packDataFolder(reversed), packed);

    test::ScratchDir dir;
    EXPECT_EQ(take(packed, dir.path() + "/game"), "");
    for (const DataFile& file : kQuest) {
        if (file.path == "README.txt")
            EXPECT_FALSE(dir.exists("game/README.txt"));
        else
            EXPECT_EQ(dir.read("game/" + file.path), file.bytes) << file.path;
    }
}

TEST(DataLink, RefusesWhatTheZipImportRefusesAndWritesNothing) {
    const DataFile good{"res/gamedata.dat", "a=1\r\n"};
    const std::vector<std::pair<std::vector<DataFile>, std::string>> cases = {
        {{good, {"res/../../evil.dat", "x"}}, "res/../../evil.dat climbs out of its folder"},
        {{{"/res/gamedata.dat", "x"}}, "/res/gamedata.dat is an absolute path"},
        {{{"res\\gamedata.dat", "x"}}, "res\\gamedata.dat has a backslash"},
        {{good, {"res/GameData.dat", "b=2\r\n"}}, "res/GameData.dat and res/gamedata.dat differ only in case"},
        {{{"tiles/a.til", "x"}, {"gamedata.dat", "a=1"}}, "it has no res folder"},
    };
    for (const auto& [files, reason] : cases) {
        test::ScratchDir dir;
        const std::string problem = take(packDataFolder(files), dir.path() + "/game");
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
        EXPECT_FALSE(dir.exists("game")) << reason;
    }

    // Counts and sizes by the import's limits, refused on the listing alone:
    // a link that states gigabytes is refused before its bytes are looked at.
    test::ScratchDir dir;
    std::vector<DataFile> many(5, good);
    for (size_t i = 0; i < many.size(); ++i) many[i].path = "res/" + std::to_string(i) + ".dat";
    EXPECT_EQ(take(packDataFolder(many), dir.path() + "/game", {4, 1 << 20}),
              "it holds 5 files, more than the 4 a game's data may have");
    const std::string huge = "delve-data 1\n" "99999999999999 res/gamedata.dat\n\n" "a=1";
    EXPECT_EQ(take(huge, dir.path() + "/game"),
              "its files would take more than 64 MB unpacked, more than a game's data may");
    EXPECT_FALSE(dir.exists("game"));
}

TEST(DataLink, DamagedOrCutShortBytesAreRefusedBeforeAFileIsWritten) {
    const std::string packed = packDataFolder(kQuest);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "it holds no Delve data folder"},
        {"PK\x03\x04 not a link", "it holds no Delve data folder"},
        {"delve-data 1", "it holds no Delve data folder"},
        {"delve-data 2\n\n", "its format 2 is not supported (this page reads 1)"},
        {"delve-data 1\nres/gamedata.dat\n\n", "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        {"delve-data 1\n1 res/a.dat\n01 res/b.dat\n\nab", "it is damaged (its listing's entry 2 is not \"SIZE PATH\")"},
        {"delve-data 1\n-1 res/a.dat\n\n", "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        {"delve-data 1\n1 \n\na", "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        {"delve-data 1\n999999999999999 res/a.dat\n\n", "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        {std::string("delve-data 1\n1 res/a\0.dat\n\na", 26),
         "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        {"delve-data 1\n1 res/a.dat\n", "it is damaged or cut short (its listing has no end)"},
        {"delve-data 1\n1 res/a.dat", "it is damaged (its listing's entry 1 is not \"SIZE PATH\")"},
        // Bytes short of the listing (a link cut short), or past it (a file
        // that understates its size): the same refusal, with the sums.
        {packed.substr(0, packed.size() - 1), "it is damaged or cut short (its files hold 108 bytes where its listing "
                                              "states 109)"},
        {packed + std::string(1 << 20, 'x'), "it is damaged or cut short (its files hold 1048685 bytes where its "
                                             "listing states 109)"},
    };
    for (const auto& [bytes, reason] : cases) {
        test::ScratchDir dir;
        EXPECT_EQ(take(bytes, dir.path() + "/game"), reason) << bytes.substr(0, 40);
        EXPECT_FALSE(dir.exists("game")) << reason;
        // A listing refused lists nothing, not the entries before the damage.
        const DataLinkListing listing = readDataLinkListing(bytesOfLink(bytes), bytes.size(), 100);
        EXPECT_TRUE(listing.problem.empty() || listing.files.empty()) << reason;
    }
}

}  // namespace
}  // namespace delve
