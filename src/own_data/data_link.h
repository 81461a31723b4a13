#pragma once
// A whole data folder (res/ and tiles/) as one run of bytes, which the page
// deflates into a link's fragment (#data=PAYLOAD, base64url as a game link's)
// so that a dungeon can be handed on as a link:
//
//   delve-data 1\n
//   SIZE PATH\n          one line a file, SIZE in decimal bytes
//   ...
//   \n                   the listing ends with an empty line
//   BYTES                every file's bytes, in the listing's order
//
// The listing comes first so that whatever is refused on the names and
// stated sizes (own_data_plan's rules, as for a zip) is refused before a
// file is written. What is taken goes through the very import a zip takes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "own_data/own_data_plan.h"

namespace delve {

// The link's fragment is at most this long (the whole "data=..." parameter);
// browsers keep far longer addresses, but a link meant to be pasted into a
// message should stay a link. The shipped data takes about a sixth of it.
constexpr size_t kDataLinkMaxChars = 65536;
// What a link's payload may unpack to. A deflate stream of kDataLinkMaxChars
// base64url characters could otherwise unpack to some 50 MB; real dungeons
// are a few hundred kilobytes.
constexpr size_t kDataLinkMaxUnpacked = 16u << 20;

struct DataFile {
    std::string path;   // "res/gamedata.dat", "tiles/map/map_001.til"
    std::string bytes;
};

// The folder's files as a link carries them, in order of path (so that the
// same folder always makes the same link).
std::string packDataFolder(std::vector<DataFile> files);

struct DataLinkListing {
    std::vector<OwnFile> files;  // by path and stated size, as written
    size_t bodyAt = 0;           // where the first file's bytes begin
    std::string problem;         // why it cannot be read; empty when it can
};

// The listing of packed bytes. More than `maxFiles` files is refused before
// any is listed.
DataLinkListing readDataLinkListing(const uint8_t* bytes, size_t size, size_t maxFiles);

}  // namespace delve
