#include "own_data/own_data_plan.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/system.h"

namespace delve {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `path` begins with the folder `name` ("res") in any case.
bool startsWithFolder(std::string_view path, std::string_view name) {
    if (path.size() <= name.size() || path[name.size()] != '/') return false;
    for (size_t i = 0; i < name.size(); i++) {
        if (lowerAscii(path[i]) != name[i]) return false;
    }
    return true;
}

// The path without "." and empty components ("./res//a" is "res/a").
std::string tidied(const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        const std::string_view part(path.data() + start, slash - start);
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out += part;
        }
        start = slash + 1;
    }
    if (!out.empty() && !path.empty() && path.back() == '/') out += '/';
    return out;
}

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

}  // namespace

std::string unsafePathProblem(const std::string& path) {
    if (path.empty()) return "a file without a name";
    if (path[0] == '/') return path + " is an absolute path";
    if (path.size() >= 2 && path[1] == ':') return path + " names a drive";
    for (const char c : path) {
        if (c == '\\') return path + " has a backslash, which some systems read as a folder";
        if (c == ':') return path + " has a colon, which some systems read as a drive or a stream";
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "a file name has control characters";
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (path.compare(start, slash - start, "..") == 0) return path + " climbs out of its folder";
        start = slash + 1;
    }
    return "";
}

OwnDataPlan planOwnData(const std::vector<OwnFile>& files, const OwnDataLimits& limits) {
    OwnDataPlan plan;
    if (files.size() > limits.maxFiles) {
        plan.problem = "it holds " + std::to_string(files.size()) + " files, more than the " +
                       std::to_string(limits.maxFiles) + " a game's data may have";
        return plan;
    }
    std::vector<std::string> paths;
    for (const OwnFile& file : files) {
        const std::string problem = unsafePathProblem(file.path);
        if (!problem.empty()) {
            plan.problem = problem;
            return plan;
        }
        paths.push_back(tidied(file.path));
    }
    // The data is res/ and tiles/ at the top, or inside one folder that holds
    // them (a zip of the folder, rather than of its contents).
    bool found = false;
    for (const std::string& path : paths) found = found || startsWithFolder(path, "res");
    if (!found) {
        for (const std::string& path : paths) {
            const size_t slash = path.find('/');
            if (slash != std::string::npos && startsWithFolder(std::string_view(path).substr(slash + 1), "res")) {
                plan.top = path.substr(0, slash + 1);
                found = true;
                break;
            }
        }
    }
    if (!found) {
        plan.problem = "it has no res folder (the data files go in res/, the tiles in tiles/)";
        return plan;
    }
    // The game finds a file in any case, so two names that differ only in
    // case (or one name twice) would leave it to chance which one it reads.
    std::map<std::string, std::string> seen;  // each taken path in lower case, to the path
    const auto refuse = [&plan](std::string problem) {
        plan.problem = std::move(problem);
        plan.take.clear();
        plan.bytes = 0;
        return plan;
    };
    for (size_t i = 0; i < paths.size(); i++) {
        const std::string& path = paths[i];
        // Folders ("res/", and "./", which is nothing at all) are made as their files need them.
        if (path.empty() || path.back() == '/' || path.compare(0, plan.top.size(), plan.top) != 0) continue;
        const std::string inGame = path.substr(plan.top.size());
        if (!startsWithFolder(inGame, "res") && !startsWithFolder(inGame, "tiles")) continue;
        std::string folded = inGame;
        for (char& c : folded) c = lowerAscii(c);
        const auto [earlier, isNew] = seen.emplace(folded, inGame);
        if (!isNew) {
            return refuse(earlier->second == inGame
                              ? inGame + " is in it twice"
                              : earlier->second + " and " + inGame +
                                    " differ only in case, and the game reads either for both");
        }
        plan.bytes += files[i].size;
        if (plan.bytes > limits.maxBytes || files[i].size > limits.maxBytes) {
            return refuse("its files would take more than " + megabytes(limits.maxBytes) +
                          " unpacked, more than a game's data may");
        }
        plan.take.emplace_back(i, inGame);
    }
    return plan;
}

bool writeOwnFile(const std::string& root, const std::string& path, const uint8_t* bytes, size_t size) {
    if (!unsafePathProblem(path).empty()) return false;
    // The root and each folder on the way, made where missing.
    for (size_t slash = 0; slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = root + (slash == 0 ? "" : "/" + path.substr(0, slash));
        std::error_code ec;
        std::filesystem::create_directory(pathOf(folder), ec);
        if (ec || !std::filesystem::is_directory(pathOf(folder), ec)) return false;
    }
    std::FILE* out = openFile(root + "/" + path, "wb");
    if (!out) return false;
    const bool written = std::fwrite(bytes, 1, size, out) == size;
    return std::fclose(out) == 0 && written;
}

bool removeOwnFiles(const std::string& root) {
    // Every folder is listed whole before anything goes: the page's file
    // system skips entries of a folder listed while they are removed (which
    // std::filesystem::remove_all does), and leaves the rest behind. A list,
    // not recursion, as a zip's folders may nest thousands deep.
    namespace fs = std::filesystem;
    std::vector<std::string> found{root};
    for (size_t i = 0; i < found.size(); i++) {
        std::error_code ec;
        if (fs::symlink_status(pathOf(found[i]), ec).type() != fs::file_type::directory) continue;
        std::vector<std::string> names;
        folderEntries(found[i], names);
        for (const std::string& name : names) found.push_back(found[i] + "/" + name);
    }
    bool removed = true;
    for (auto path = found.rbegin(); path != found.rend(); ++path) {
        std::error_code ec;
        fs::remove(pathOf(*path), ec);
        removed = removed && !ec;
    }
    std::error_code ec;
    return removed && fs::symlink_status(pathOf(root), ec).type() == fs::file_type::not_found;
}

}  // namespace delve
