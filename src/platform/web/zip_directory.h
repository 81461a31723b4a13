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
    uint64_t dataOffset = 0;  // where the packed bytes begin in the zip
};

struct ZipListing {
    std::vector<ZipEntry> entries;
    std::string problem;  // why the zip cannot be read; empty when it can
};

// Reads the listing of the zip in `bytes`. More than `maxEntries` entries is a
// problem of its own, found before any is read.
ZipListing readZipDirectory(const uint8_t* bytes, size_t size, size_t maxEntries);

// The CRC-32 a zip states for each file.
uint32_t zipCrc32(const uint8_t* bytes, size_t size);

}  // namespace delve
