#include "own_data/data_link.h"

#include <algorithm>
#include <cstring>

namespace delve {

namespace {

constexpr char kDataLinkMagic[] = "delve-data ";
constexpr char kDataLinkVersion[] = "1";
// Far more than a path in a data folder needs; a longer line is damage.
constexpr size_t kDataLinkMaxLine = 4096;
// 10^14 bytes is far past kDataLinkMaxUnpacked, and no sum of 20,000 of
// them can overflow 64 bits.
constexpr size_t kDataLinkMaxDigits = 14;

DataLinkListing damagedLinkEntry(size_t entry) {
    DataLinkListing listing;
    listing.problem = "it is damaged (its listing's entry " + std::to_string(entry) + " is not \"SIZE PATH\")";
    return listing;
}

}  // namespace

std::string packDataFolder(std::vector<DataFile> files) {
    std::sort(files.begin(), files.end(), [](const DataFile& a, const DataFile& b) { return a.path < b.path; });
    std::string out = std::string(kDataLinkMagic) + kDataLinkVersion + "\n";
    for (const DataFile& file : files) out += std::to_string(file.bytes.size()) + " " + file.path + "\n";
    out += "\n";
    for (const DataFile& file : files) out += file.bytes;
    return out;
}

DataLinkListing readDataLinkListing(const uint8_t* bytes, size_t size, size_t maxFiles) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const char* end = text + size;
    const auto lineEnd = [end](const char* from) {
        return static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(end - from)));
    };
    DataLinkListing listing;
    const size_t magic = sizeof kDataLinkMagic - 1;
    const char* first = size ? lineEnd(text) : nullptr;
    if (size < magic || std::memcmp(text, kDataLinkMagic, magic) != 0 || !first) {
        listing.problem = "it holds no Delve data folder";
        return listing;
    }
    const std::string version(text + magic, first);
    if (version != kDataLinkVersion) {
        listing.problem = "its format " + version.substr(0, 20) + " is not supported (this page reads " +
                          kDataLinkVersion + ")";
        return listing;
    }
    // Counted before anything is listed: a listing of millions of tiny
    // entries fits in the unpacked bytes, but not in the program's memory.
    size_t count = 0;
    const char* at = first + 1;
    for (const char* line = at; line < end && *line != '\n'; ++count) {
        const char* stop = lineEnd(line);
        if (!stop) return damagedLinkEntry(count + 1);
        line = stop + 1;
    }
    if (count > maxFiles) {
        listing.problem = "it holds " + std::to_string(count) + " files, more than the " + std::to_string(maxFiles) +
                          " a game's data may have";
        return listing;
    }
    for (size_t entry = 1; entry <= count; ++entry) {
        const char* stop = lineEnd(at);
        const char* blank = static_cast<const char*>(std::memchr(at, ' ', static_cast<size_t>(stop - at)));
        const size_t digits = blank ? static_cast<size_t>(blank - at) : 0;
        if (!blank || digits == 0 || digits > kDataLinkMaxDigits || (digits > 1 && at[0] == '0') ||
            blank + 1 == stop || static_cast<size_t>(stop - at) > kDataLinkMaxLine)
            return damagedLinkEntry(entry);
        uint64_t stated = 0;
        for (const char* d = at; d < blank; ++d) {
            if (*d < '0' || *d > '9') return damagedLinkEntry(entry);
            stated = stated * 10 + static_cast<uint64_t>(*d - '0');
        }
        const std::string path(blank + 1, stop);
        if (path.find('\0') != std::string::npos) return damagedLinkEntry(entry);
        listing.files.push_back({path, stated});
        at = stop + 1;
    }
    if (at >= end) {
        DataLinkListing cut;
        cut.problem = "it is damaged or cut short (its listing has no end)";
        return cut;
    }
    listing.bodyAt = static_cast<size_t>(at + 1 - text);
    return listing;
}

}  // namespace delve
