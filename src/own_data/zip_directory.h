#pragma once
// What a player's .zip holds, read from its central directory before a single
// byte is unpacked, so the page decides what to take (and what to refuse) on
// the listing alone. Only what the page can unpack is accepted: files stored
// or deflated, not encrypted, in a zip without the 64-bit extension.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace delve {

struct ZipEntry {
    std::string name;       // as stored: "/" between folders, a folder ends in "/"
    uint16_t method = 0;    // 0 stored, 8 deflated
    uint32_t crc32 = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;      // as the listing states it; checked again once unpacked
    uint64_t dataOffset = 0;  // where the packed bytes begin in the zip; 0 until its header is read
    uint64_t headerAt = 0;    // where its local header begins
};

// Where a zip's listing is, read from the end of the file alone.
struct ZipEnd {
    uint64_t directoryAt = 0;
    uint64_t directorySize = 0;
    size_t count = 0;
    std::string problem;  // why the zip cannot be read; empty when it can
};

// The end record and its comment are at most this many bytes at the end.
constexpr size_t kZipTailMax = 22 + 0xffff;
// A file's local header, before its name and extra field.
constexpr size_t kZipLocalHeader = 30;

struct ZipListing {
    std::vector<ZipEntry> entries;
    std::string problem;  // why the zip cannot be read; empty when it can
};

// Reads the listing of the zip in `bytes`. More than `maxEntries` entries is a
// problem of its own, found before any is read.
ZipListing readZipDirectory(const uint8_t* bytes, size_t size, size_t maxEntries);

// The same in three steps, for a zip read a piece at a time (the page reads
// a player's zip so, never all of it at once): the end record from the
// file's last bytes (`tail`, at most kZipTailMax of them; `fileSize` is the
// whole file's), then the listing (`directory`, end.directorySize bytes at
// end.directoryAt), then each entry's local header (kZipLocalHeader bytes at
// its headerAt), which says where its bytes begin.
ZipEnd readZipEnd(const uint8_t* tail, size_t tailSize, uint64_t fileSize, size_t maxEntries);
ZipListing readZipEntries(const uint8_t* directory, const ZipEnd& end);
// An empty text when the header is where the listing says; else why not.
std::string placeZipEntry(ZipEntry& entry, const uint8_t* header, size_t size, const ZipEnd& end);

// The CRC-32 a zip states for each file.
uint32_t zipCrc32(const uint8_t* bytes, size_t size);

}  // namespace delve
