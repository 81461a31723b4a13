#pragma once
// One data file as the game reads it (the same store, the same lookups), plus
// what the game itself never keeps: where each pair stands in the file and
// which pairs the game will ever look up.
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "game/key_value_store.h"
#include "data/check/report.h"

namespace delve::check {

struct DataFile {
    std::string shownName;  // "res/gamedata.dat"
    bool present = false;
    std::string bytes;
    KeyValueStore store;             // parsed by the game's own parser
    std::vector<int> pairLines;      // the editor line on which each pair starts
    std::vector<bool> pairRead;      // the pair some lookup of the game finds
    // No CR LF anywhere but other line ends: the game sees one single line,
    // so checking its keys one by one would only repeat that finding.
    bool oneLine = false;
    std::unordered_map<std::string, size_t> firstPair;  // lower-case key -> pair
    std::set<std::string> reportedMissing;
};

// Reads `gameName` ("res\\gamedata.dat") below `root` without creating
// anything, parses it as the game does and reports line-end, blank and
// duplicate-key problems. A missing file is reported too.
DataFile readDataFile(const std::string& root, const std::string& gameName, const std::string& shownName,
                      Report& report);

// The game's lookup of `key`; marks the pair it finds as read. Returns the
// pair's index, or -1 when the key is missing.
int64_t findKey(DataFile& file, const std::string& key);
int lineOfKey(const DataFile& file, const std::string& key);  // 0 when missing

// A key the game looks up as text: reports it when missing (the game then
// shows "%%") and returns the looked-up value ("%%" when missing).
std::string requireText(DataFile& file, const std::string& key, Report& report);
// A key the game reads as a number: reports it when missing or when its value
// does not begin with a number (both read as 0). Returns the value as read.
double requireNumber(DataFile& file, const std::string& key, Report& report);

// Numbers the game reads, of which many may be missing at once (a whole
// member, a direction table with wide bounds): collected, then told together.
struct MissingKeys {
    std::vector<std::string> keys;
};
// Like requireNumber, but a missing key is only collected.
double collectNumber(DataFile& file, const std::string& key, MissingKeys& missing, Report& report);
// A few missing keys are told one by one; more as one finding about `whose`.
void tellMissing(DataFile& file, const MissingKeys& missing, const std::string& whose, Report& report);

// The pairs no lookup of the game reaches, duplicates of an earlier key aside.
std::vector<size_t> unreadPairs(const DataFile& file);

// Reports unread pairs with why the game never reads them. One mistake (a
// misspelt name, a short count) strands many keys at once: pairs with the
// same reason are told once, at the first of them, with how many share it.
void reportUnread(const DataFile& file, const std::vector<std::pair<size_t, std::string>>& unread, Report& report);

// Whether the text begins with a number the game can read.
bool beginsWithNumber(const std::string& text);

}  // namespace delve::check
