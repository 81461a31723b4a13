// Any bytes as a player's zip: its listing read, and the files it names
// planned, as the page does before it unpacks anything. Whatever is accepted
// lies inside the zip and inside the data folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/web/own_data_plan.h"
#include "platform/web/zip_directory.h"

namespace {

bool inside(const std::string& path) {
    if (!delve::unsafePathProblem(path).empty()) return false;
    std::string lower;
    for (const char c : path) lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return lower.rfind("res/", 0) == 0 || lower.rfind("tiles/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    const ZipListing listing = readZipDirectory(data, size, 64);
    if (!listing.problem.empty() && !listing.entries.empty()) std::abort();
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
