#pragma once
// The page keeps each game's recording in the browser's storage, which lives
// outside the program: the program writes its recording to a file in the
// page's in-memory file system as the window does, and hands the page the
// bytes the page does not have yet. A file cut back (a continued game drops
// what it will not play) changes bytes the page already has, so the page is
// then handed the whole file again.
#include <cstdint>
#include <string>

namespace delve {

struct KeptFile {
    int fd = -1;              // the recording, open; -1: nothing is kept
    uint64_t identity = 0;    // which file the descriptor reached last time
    uint64_t handed = 0;      // bytes the page has, from the start
};

// Starts keeping `fd`, whose first `alreadyKept` bytes the page holds.
void keepFile(KeptFile& kept, int fd, uint64_t alreadyKept);

// The bytes written since the last call: the page puts `bytes` at `offset`
// and drops whatever it held past that. False when there is nothing new.
bool takeNewBytes(KeptFile& kept, uint64_t& offset, std::string& bytes);

// The whole file at `path` (at most `maxBytes`), which is then removed so
// that the next one kept there is new: the page keeps the picture beside a
// recording so. False when there is none or it is too large (it stays).
bool takeWholeFile(const std::string& path, uint64_t maxBytes, std::string& bytes);

// Cuts the open file `fd` to `length` bytes by giving the descriptor a new
// file holding only those bytes (made at `scratchPath`, which is removed
// again): for a file system that cannot shrink a file in place. Other
// descriptors and the old name keep the old file.
bool cutOpenFile(int fd, uint64_t length, const std::string& scratchPath);

}  // namespace delve
