#pragma once
// A player's own data files (a zip, or a folder opened in the page) taken in
// place of the shipped res/ and tiles/: which files to take, and where they
// go, or why none are. Decided on the names and stated sizes alone, before a
// byte is unpacked or written; files that cannot be trusted (paths that climb
// out of the folder, too many files, more bytes than any game's data) refuse
// the whole lot, so nothing of it is half taken.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace delve {

struct OwnFile {
    std::string path;   // "/" between folders; a folder ends in "/"
    uint64_t size = 0;  // as stated; what is unpacked must match it
};

struct OwnDataLimits {
    size_t maxFiles = 20000;
    uint64_t maxBytes = 64ull << 20;  // unpacked, all files taken together
};

struct OwnDataPlan {
    std::string problem;  // why nothing is taken; empty when the files can be played
    std::string top;      // the folder the data is in within the files ("" or "mydata/")
    // Each file taken: its index among the files given, and its path in the
    // game's folder ("res/gamedata.dat", "tiles/map/map_219.til").
    std::vector<std::pair<size_t, std::string>> take;
    uint64_t bytes = 0;
};

OwnDataPlan planOwnData(const std::vector<OwnFile>& files, const OwnDataLimits& limits = {});

// Why `path` cannot be a file's name inside a data folder ("" when it can).
std::string unsafePathProblem(const std::string& path);

// Writes a file taken by a plan below `root`, making its folders. The path
// must be one the plan gave. False when it cannot be written.
bool writeOwnFile(const std::string& root, const std::string& path, const uint8_t* bytes, size_t size);

// Removes `root` and everything below it (a try of a player's files, once it
// is checked: the page's file system would keep them for as long as the page
// is open). False when something of it is left.
bool removeOwnFiles(const std::string& root);

}  // namespace delve
