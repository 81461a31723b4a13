// Any bytes as a dungeon link's unpacked payload: its listing read and its
// files planned and stored as the page does, into a scratch folder. What is
// listed lies inside the bytes, and what is written inside the data folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "own_data/data_link.h"
#include "own_data/own_data_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    const OwnDataLimits limits{64, 1 << 16};
    const DataLinkListing listing = readDataLinkListing(data, size, limits.maxFiles);
    if (!listing.problem.empty() && !listing.files.empty()) std::abort();
    if (listing.problem.empty()) {
        if (listing.bodyAt > size || listing.files.size() > limits.maxFiles) std::abort();
        // What was listed packs back to the same listing.
        std::vector<DataFile> files;
        for (const OwnFile& file : listing.files) {
            if (file.path.empty() || file.path.find('\n') != std::string::npos) std::abort();
            files.push_back({file.path, std::string(static_cast<size_t>(file.size % 64), 'x')});
        }
        const std::string again = packDataFolder(files);
        const DataLinkListing reread =
            readDataLinkListing(reinterpret_cast<const uint8_t*>(again.data()), again.size(), limits.maxFiles);
        if (!reread.problem.empty() || reread.files.size() != files.size()) std::abort();
    }

    static const std::string root =
        (std::filesystem::temp_directory_path() / ("fuzz-data-link-" + std::to_string(::getpid()))).string();
    OwnDataImport import;
    import.root = root + "/game";
    if (listDataLink(import, data, size, limits) && planImport(import, limits) && storeDataLink(import)) {
        uint64_t held = 0;
        for (const OwnFile& file : import.files) held += file.size;
        if (held != size - import.linkedBodyAt) std::abort();
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
