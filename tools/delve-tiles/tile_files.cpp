#include "tile_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "platform/system.h"

namespace delve::tiles {

namespace fs = std::filesystem;

namespace {

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

std::optional<std::string> readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool writeFileAtomically(const fs::path& path, const std::string& bytes) {
    fs::path temp = path;
    temp += ".part" + std::to_string(::getpid());
    bool ok;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        ok = static_cast<bool>(out);
    }
    std::error_code ec;
    if (ok) {
        fs::rename(temp, path, ec);
        ok = !ec;
    }
    if (!ok) fs::remove(temp, ec);
    return ok;
}

std::vector<fs::path> filesWithExtension(const fs::path& folder, const std::string& extension, bool recursive) {
    std::vector<fs::path> found;
    std::error_code ec;
    const std::string wanted = lowerAscii(extension);
    auto consider = [&](const fs::directory_entry& entry) {
        if (entry.is_regular_file(ec) && lowerAscii(textOf(entry.path().extension())) == wanted)
            found.push_back(entry.path());
    };
    if (recursive) {
        for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) consider(entry);
    } else {
        for (const auto& entry : fs::directory_iterator(folder, ec)) consider(entry);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace delve::tiles
