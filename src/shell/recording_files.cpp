#include "shell/recording_files.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/system.h"
#include "recording/kept_picture.h"

namespace delve {

namespace {

namespace fs = std::filesystem;

// "YYYY-MM-DD_HHMMSS" then anything, ending ".rec": only such files are ever
// removed, so nothing else a player keeps in the folder is touched.
bool isRecordingName(const std::string& name) {
    static const char pattern[] = "dddd-dd-dd_dddddd";
    if (name.size() < sizeof pattern - 1 + 4 || name.substr(name.size() - 4) != ".rec") return false;
    for (size_t i = 0; i + 1 < sizeof pattern; ++i) {
        const char c = name[i];
        if (pattern[i] == 'd' ? !(c >= '0' && c <= '9') : c != pattern[i]) return false;
    }
    return true;
}

std::string localStamp() {
    const std::tm t = localTimeOf(std::time(nullptr));
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d_%H%M%S", &t);
    return buf;
}

}  // namespace

bool createRecordingFile(const std::string& dataRoot, RecordingFile& out) {
    out.folder = textOf(pathOf(dataRoot) / "recordings");
    std::error_code ec;
    fs::create_directories(pathOf(out.folder), ec);
    const std::string stamp = localStamp();
    for (int n = 1; n <= 100; ++n) {
        const std::string stem = n == 1 ? stamp : stamp + "-" + std::to_string(n);
        const std::string path = out.folder + kPathSeparator + stem + ".rec";
        const int fd = createNewFile(path);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        out.file = ::fdopen(fd, "wb");
        if (!out.file) {
            ::close(fd);
            removeFile(path);
            return false;
        }
        out.stem = stem;
        out.path = path;
        lockFile(out.lock, path, LockWait::DontWait);
        return true;
    }
    return false;
}

std::string seedText(float seed) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(seed));
    std::string text;
    for (const char* c = buf; *c; ++c)
        text += (std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.' || *c == '+') ? *c : '_';
    return text;
}

void nameRecordingBySeed(RecordingFile& f, float seed) {
    if (!f.file) return;
    const std::string path = f.folder + kPathSeparator + f.stem + "_seed-" + seedText(seed) + ".rec";
    if (path != f.path && replaceFileWith(f.path, path)) f.path = path;
}

namespace {

std::vector<std::string> recordingNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(pathOf(folder), ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = textOf(it->path().filename());
        std::error_code typeError;
        if (isRecordingName(name) && it->is_regular_file(typeError)) names.push_back(name);
    }
    return names;
}

}  // namespace

std::vector<std::string> recordingsNewestFirst(const std::string& folder) {
    struct Entry {
        fs::file_time_type played;
        std::string path;
    };
    std::vector<Entry> entries;
    for (const std::string& name : recordingNames(folder)) {
        const std::string path = textOf(pathOf(folder) / name);
        std::error_code ec;
        entries.push_back({fs::last_write_time(pathOf(path), ec), path});
    }
    // Played last first; names (start times) break ties, newest first.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.played != b.played ? a.played > b.played : a.path > b.path;
    });
    std::vector<std::string> paths;
    for (Entry& e : entries) paths.push_back(std::move(e.path));
    return paths;
}

void pruneRecordings(const std::string& folder, size_t keep) {
    std::vector<std::string> names = recordingNames(folder);
    std::error_code ec;
    if (names.size() <= keep) return;
    std::sort(names.begin(), names.end());
    for (size_t i = 0; i + keep < names.size(); ++i) {
        const std::string path = textOf(pathOf(folder) / names[i]);
        fs::remove(pathOf(path), ec);
        fs::remove(pathOf(keptPicturePath(path)), ec);
    }
}

void closeRecordingFile(RecordingFile& f) {
    if (f.file) std::fclose(f.file);
    f.file = nullptr;
    f.lock.release();
}

}  // namespace delve
