// Any bytes as a player's zip: its listing read, whole and a piece at a time,
// and the files it names planned, as the page does before it unpacks anything. Whatever is accepted
// lies inside the zip and inside the data folder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "own_data/own_data_plan.h"
#include "own_data/zip_directory.h"

namespace {

bool inside(const std::string& path) {
    if (!delve::unsafePathProblem(path).empty()) return false;
    std::string lower;
    for (const char c : path) lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return lower.rfind("res/", 0) == 0 || lower.rfind("tiles/", 0) == 0;
}

// The page's way: each piece of the zip in memory of its own, so that a read
// past a piece is caught; it must list what the whole zip lists.
delve::ZipListing listInPieces(const uint8_t* data, size_t size) {
    using namespace delve;
    const size_t tailSize = size < kZipTailMax ? size : kZipTailMax;
    const std::vector<uint8_t> tail(data + size - tailSize, data + size);
    const ZipEnd end = readZipEnd(tail.data(), tail.size(), size, 64);
    if (!end.problem.empty()) return {{}, end.problem};
    const std::vector<uint8_t> directory(data + end.directoryAt, data + end.directoryAt + end.directorySize);
    ZipListing listing = readZipEntries(directory.data(), end);
    for (ZipEntry& entry : listing.entries) {
        const size_t from = static_cast<size_t>(entry.headerAt);
        const std::vector<uint8_t> header(data + from, data + std::min(size, from + kZipLocalHeader));
        const std::string problem = placeZipEntry(entry, header.data(), header.size(), end);
        if (!problem.empty()) return {{}, problem};
    }
    return listing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    const ZipListing listing = readZipDirectory(data, size, 64);
    if (!listing.problem.empty() && !listing.entries.empty()) std::abort();
    const ZipListing pieces = listInPieces(data, size);
    if (pieces.entries.size() != listing.entries.size() || pieces.problem.empty() != listing.problem.empty()) {
        std::abort();
    }
    for (size_t i = 0; i < listing.entries.size(); i++) {
        if (pieces.entries[i].dataOffset != listing.entries[i].dataOffset) std::abort();
    }
    std::vector<OwnFile> files;
    for (const ZipEntry& entry : listing.entries) {
        if (entry.dataOffset > size || entry.packedSize > size - entry.dataOffset) std::abort();
        if (entry.method != 0 && entry.method != 8) std::abort();
        files.push_back({entry.name, entry.size});
    }
    const OwnDataPlan plan = planOwnData(files, {64, 1 << 20});
    if (!plan.problem.empty() && !plan.take.empty()) std::abort();
    uint64_t bytes = 0;
    for (const auto& [index, path] : plan.take) {
        if (index >= files.size() || !inside(path)) std::abort();
        bytes += files[index].size;
    }
    if (bytes > (1 << 20) || bytes != plan.bytes) std::abort();
    return 0;
}
