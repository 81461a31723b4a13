#pragma once
// Game files: names use "\" between folders, may start with ".\", and are
// found ignoring ASCII case; they are resolved below one root folder (the
// working directory of the game) and can never reach outside it.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace delve {

struct Files {
    std::string root = ".";
    // Counters for benchmarks and tests.
    uint64_t filesRead = 0;
    uint64_t bytesRead = 0;
    uint64_t filesWritten = 0;
    uint64_t bytesWritten = 0;
    // When set, every file read is appended as "r " + its path and every
    // file replaced as "w " + its path, so a benchmark can replay exactly the
    // file operations of one turn.
    std::vector<std::string>* log = nullptr;
    // Where a name spelled unlike its file was found, by the exact path asked
    // for: a name such as a portrait's "_001.TIL" staged as "_001.til" then
    // costs one folder scan, not one at every drawing. The file itself is
    // still opened and read every time; a remembered path that no longer
    // opens is looked up afresh.
    std::unordered_map<std::string, std::string> caseMatches;
    // The bytes of the latest read. Kept between reads only so that a turn's
    // thousand reads reuse one buffer: every read fills it afresh from the
    // file, so an edited file shows at its next reading.
    std::vector<char> readBuffer;
    // Watching a recording reads the same files again and again as turns
    // are replayed back and forth. With a memo, each file is read from the
    // folder once and then from memory, and what the game writes goes to
    // memory only: the watched game neither waits on the disk nor changes
    // the data folder. The memo is part of the game's state (a file written
    // at turn 90 is not there yet at turn 40), so it is copied with it;
    // its entries are shared, so a copy costs a pointer each.
    struct Memo {
        std::map<std::string, std::shared_ptr<const std::string>> files;  // by resolved path
    };
    std::shared_ptr<Memo> memo;
    // With a memo, the memo keys of the latest writes, each at its number
    // (filesWritten just after it) modulo their count: a reader that kept a
    // file's bytes can tell it was not written since without reading it
    // again (writtenSince). A game writes a file or two a turn.
    std::array<std::string, 8> latestWrites;
};

// Files larger than this are refused as unreadable: no data or tile file
// comes near it, and a huge file dropped into the data folder must not
// become a huge allocation at every drawing.
constexpr size_t kMaxGameFileBytes = size_t{16} << 20;

// The path a game file name stands for, each missing component matched
// ignoring case (as given when nothing matches). Empty when the name is
// empty, absolute, or climbs out of the root with "..".
std::string resolveGameFile(const Files& files, const std::string& name);

// The name of a game file in the memo: its path, ignoring case ("" for a
// refused name).
std::string gameFileKey(const Files& files, const std::string& name);
// Whether the memo's file `key` may have been written after write number
// `since` (files.filesWritten at the time): true when it was, or when more
// writes came since than are remembered.
bool writtenSince(const Files& files, const std::string& key, uint64_t since);

// Opens the way the data files are opened: for reading and writing, created
// empty when missing, read-only as a last resort; then reads it whole.
// No value means the file could not be opened at all, or is no plain file
// (a folder, a device, a pipe) or is larger than kMaxGameFileBytes.
std::optional<std::string> readGameFile(Files& files, const std::string& name);
// The same read, its bytes left in files.readBuffer: valid until the next
// read through `files`, and with no copy made (tiles are decoded from it).
std::optional<std::string_view> readGameFileView(Files& files, const std::string& name);

// Replaces the file's contents with `bytes` through a temporary file and a
// rename in the same folder, so a failed write leaves the old file whole.
bool replaceGameFile(Files& files, const std::string& name, const std::string& bytes);

}  // namespace delve
