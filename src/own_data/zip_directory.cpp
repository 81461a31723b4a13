#include "own_data/zip_directory.h"

#include <array>

namespace delve {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22, kCentralSize = 46, kLocalSize = 30;
constexpr size_t kMaxComment = 0xffff;
static_assert(kZipTailMax == kEndSize + kMaxComment && kZipLocalHeader == kLocalSize);

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t read32(const uint8_t* p) { return read16(p) | static_cast<uint32_t>(read16(p + 2)) << 16; }

// The end record is the last thing in the file, followed only by its comment.
bool findEnd(const uint8_t* bytes, size_t size, size_t& at) {
    if (size < kEndSize) return false;
    const size_t lowest = size - kEndSize > kMaxComment ? size - kEndSize - kMaxComment : 0;
    for (size_t i = size - kEndSize + 1; i-- > lowest;) {
        if (read32(bytes + i) == kEndSignature && i + kEndSize + read16(bytes + i + 20) == size) {
            at = i;
            return true;
        }
    }
    return false;
}

constexpr std::array<uint32_t, 256> crcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// The listing's entries; with `file` (the whole zip) each entry's local
// header is read as it is listed, else placeZipEntry reads it later.
ZipListing readEntries(const uint8_t* directory, const ZipEnd& end, const uint8_t* file) {
    ZipListing listing;
    size_t at = 0;
    const size_t directoryEnd = static_cast<size_t>(end.directorySize);
    for (size_t i = 0; i < end.count; i++) {
        if (at + kCentralSize > directoryEnd || read32(directory + at) != kCentralSignature) {
            listing.problem = "it is damaged (its listing ends early)";
            return listing;
        }
        const uint8_t* e = directory + at;
        const uint16_t flags = read16(e + 8), nameLength = read16(e + 28);
        const uint16_t extraLength = read16(e + 30), commentLength = read16(e + 32);
        if (at + kCentralSize + nameLength + extraLength + commentLength > directoryEnd) {
            listing.problem = "it is damaged (its listing ends early)";
            return listing;
        }
        ZipEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(e + kCentralSize), nameLength);
        entry.method = read16(e + 10);
        entry.crc32 = read32(e + 16);
        entry.packedSize = read32(e + 20);
        entry.size = read32(e + 24);
        const uint32_t local = read32(e + 42);
        entry.headerAt = local;
        at += kCentralSize + nameLength + extraLength + commentLength;
        if (entry.packedSize == 0xffffffffu || entry.size == 0xffffffffu || local == 0xffffffffu) {
            listing.problem = "it is a 64-bit zip, which is more than a game's data needs";
            return listing;
        }
        // A link made on a Unix system says so in the file type of its mode;
        // unpacked, it would be a file holding the name of its target.
        constexpr uint16_t kUnix = 3;
        constexpr uint32_t kFileType = 0170000, kSymbolicLink = 0120000;
        if (read16(e + 4) >> 8 == kUnix && (read32(e + 38) >> 16 & kFileType) == kSymbolicLink) {
            listing.problem = entry.name + " in it is a symbolic link, which a game's data cannot hold";
            return listing;
        }
        if (flags & 1) {
            listing.problem = entry.name + " in it is encrypted";
            return listing;
        }
        if (entry.method != 0 && entry.method != 8) {
            listing.problem = entry.name + " in it is packed in a way the page cannot unpack (method " +
                              std::to_string(entry.method) + "; stored and deflated are)";
            return listing;
        }
        if (static_cast<uint64_t>(local) + kLocalSize > end.directoryAt) {
            listing.problem = "it is damaged (" + entry.name + " is not where its listing says)";
            return listing;
        }
        if (file) {
            listing.problem = placeZipEntry(entry, file + local, kLocalSize, end);
            if (!listing.problem.empty()) return listing;
        }
        listing.entries.push_back(std::move(entry));
    }
    return listing;
}

}  // namespace

uint32_t zipCrc32(const uint8_t* bytes, size_t size) {
    static constexpr std::array<uint32_t, 256> kTable = crcTable();
    uint32_t c = 0xffffffffu;
    for (size_t i = 0; i < size; i++) c = kTable[(c ^ bytes[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

ZipEnd readZipEnd(const uint8_t* tail, size_t tailSize, uint64_t fileSize, size_t maxEntries) {
    ZipEnd found;
    if (fileSize == 0) {
        found.problem = "the zip file is empty (0 bytes)";
        return found;
    }
    size_t end = 0;
    if (tailSize > fileSize || !findEnd(tail, tailSize, end)) {
        found.problem = "it is not a zip file (no zip listing at its end)";
        return found;
    }
    const uint8_t* e = tail + end;
    const uint16_t disk = read16(e + 4), directoryDisk = read16(e + 6);
    const uint16_t onDisk = read16(e + 8), count = read16(e + 10);
    const uint32_t directorySize = read32(e + 12), directoryAt = read32(e + 16);
    if (count == 0xffff || directorySize == 0xffffffffu || directoryAt == 0xffffffffu) {
        found.problem = "it is a 64-bit zip, which is more than a game's data needs";
        return found;
    }
    if (disk != 0 || directoryDisk != 0 || onDisk != count) {
        found.problem = "it is one part of a zip split over several files";
        return found;
    }
    if (count > maxEntries) {
        found.problem = "it holds " + std::to_string(count) + " files, more than the " + std::to_string(maxEntries) +
                        " a game's data may have";
        return found;
    }
    if (static_cast<uint64_t>(directoryAt) + directorySize > fileSize - tailSize + end) {
        found.problem = "it is damaged (its listing points past the end of the file)";
        return found;
    }
    found.directoryAt = directoryAt;
    found.directorySize = directorySize;
    found.count = count;
    return found;
}

ZipListing readZipEntries(const uint8_t* directory, const ZipEnd& end) {
    ZipListing listing = readEntries(directory, end, nullptr);
    if (!listing.problem.empty()) listing.entries.clear();
    return listing;
}

std::string placeZipEntry(ZipEntry& entry, const uint8_t* header, size_t size, const ZipEnd& end) {
    if (size < kLocalSize || entry.headerAt + kLocalSize > end.directoryAt || read32(header) != kLocalSignature) {
        return "it is damaged (" + entry.name + " is not where its listing says)";
    }
    entry.dataOffset = entry.headerAt + kLocalSize + read16(header + 26) + read16(header + 28);
    if (entry.dataOffset + entry.packedSize > end.directoryAt) {
        return "it is damaged (" + entry.name + " runs past the files' end)";
    }
    return "";
}

ZipListing readZipDirectory(const uint8_t* bytes, size_t size, size_t maxEntries) {
    const size_t tailSize = size < kZipTailMax ? size : kZipTailMax;
    const ZipEnd end = readZipEnd(bytes + (size - tailSize), tailSize, size, maxEntries);
    ZipListing listing;
    if (!end.problem.empty()) {
        listing.problem = end.problem;
        return listing;
    }
    listing = readEntries(bytes + end.directoryAt, end, bytes);
    if (!listing.problem.empty()) listing.entries.clear();  // nothing of a zip that cannot be read
    return listing;
}

}  // namespace delve
