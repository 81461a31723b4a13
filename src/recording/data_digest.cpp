#include "recording/data_digest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/system.h"
#include "recording/recording_format.h"

namespace delve {

namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool leftOut(const std::string& relative) {
    const std::string name = relative.substr(relative.rfind('/') + 1);
    return lower(relative) == "res/encounter.txt" || name.rfind(".~", 0) == 0;
}

void collect(const fs::path& root, const std::string& folder, std::vector<std::string>& out) {
    std::error_code ec;
    fs::recursive_directory_iterator it(root / folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string relative = genericTextOf(it->path().lexically_relative(root));
        if (!leftOut(relative)) out.push_back(relative);
    }
}

}  // namespace

uint64_t dataFolderDigest(const std::string& root) { return dataFolderDigest(root, nullptr); }

uint64_t dataFolderDigest(const std::string& root, const std::function<void()>& betweenFiles) {
    std::vector<std::string> files;
    collect(pathOf(root), "res", files);
    collect(pathOf(root), "tiles", files);
    std::sort(files.begin(), files.end());
    uint64_t hash = fnv1a64("delve data\n");
    for (const auto& relative : files) {
        std::ifstream in(pathOf(root) / pathOf(relative), std::ios::binary);
        std::ostringstream bytes;
        if (in) bytes << in.rdbuf();
        const std::string contents = in ? bytes.str() : std::string("\xff unreadable");
        hash = fnv1a64(relative + '\0' + std::to_string(contents.size()) + '\0', hash);
        hash = fnv1a64(contents, hash);
        if (betweenFiles) betweenFiles();
    }
    return hash;
}

}  // namespace delve
