#include "kept/recording_files.h"

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
#include "recording/recording_format.h"

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

// A name counts as another game's while its recording or its kept picture
// is there: a picture left behind must not become a new game's either.
bool nameInUse(const std::string& path) {
    FileStatus status;
    return statusOf(path, status) || statusOf(keptPicturePath(path), status);
}

std::string numberedStem(const std::string& stamp, int n) {
    return n == 1 ? stamp : stamp + "-" + std::to_string(n);
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
    // Room for many starts in one second: starts closed at once are pruned
    // only after the next one has its file.
    for (int n = 1; n <= 1000; ++n) {
        const std::string stem = numberedStem(stamp, n);
        const std::string path = out.folder + kPathSeparator + stem + ".rec";
        if (nameInUse(path)) continue;
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
        // Until it is locked, another program's pruning may take the new
        // file for an empty start held by none and remove it; the game
        // would then be written to a file no name reaches. The lock makes
        // the name again, empty: that one goes, and the game takes the
        // next name.
        lockFile(out.lock, path, LockWait::DontWait);
        if (!pathNamesDescriptor(path, fd)) {
            std::fclose(out.file);
            out.file = nullptr;
            if (out.lock.held()) removeFile(path);
            out.lock.release();
            continue;
        }
        out.stamp = stamp;
        out.stem = stem;
        out.path = path;
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
    const std::string stamp = f.stamp.empty() ? f.stem : f.stamp;
    const std::string seedPart = "_seed-" + seedText(seed) + ".rec";
    // Its own stem first, then the other run numbers of its second.
    for (int n = 0; n <= 1000; ++n) {
        const std::string stem = n == 0 ? f.stem : numberedStem(stamp, n);
        if (n > 0 && stem == f.stem) continue;
        const std::string path = f.folder + kPathSeparator + stem + seedPart;
        if (path == f.path) return;
        if (nameInUse(path)) continue;
        const RenameResult renamed = renameWithoutReplacing(f.path, path);
        if (renamed == RenameResult::NameTaken) continue;
        if (renamed == RenameResult::Failed) return;  // its first name is its own still
        const std::string picture = keptPicturePath(f.path);
        FileStatus status;
        if (statusOf(picture, status) && renameWithoutReplacing(picture, keptPicturePath(path)) != RenameResult::Renamed)
            removeFile(picture);  // left under the old name it would be no game's, or the next start's
        f.stem = stem;
        f.path = path;
        return;
    }
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

KeptKind keptKindOf(const std::string& path) {
    static const std::string magic = "delve-recording ";
    static const std::string seedLine = "\n# seed ";
    std::FILE* f = openFile(path, "rb");
    if (!f) return KeptKind::Unreadable;
    // A game writes its seed line as it leaves the title screen, early in
    // the file; an empty start is short. Past playback's limit, no game.
    KeptKind kind = KeptKind::EmptyStart;
    std::string text;  // the first bytes, then what may start a seed line
    uint64_t read = 0;
    char buf[16384];
    for (;;) {
        const size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n == 0) {
            if (std::ferror(f)) kind = KeptKind::Unreadable;
            break;
        }
        const bool first = read < magic.size();
        read += n;
        text.append(buf, n);
        if (first && text.compare(0, std::min(text.size(), magic.size()), magic, 0,
                                  std::min(text.size(), magic.size())) != 0) {
            kind = KeptKind::Unreadable;
            break;
        }
        if (text.find(seedLine) != std::string::npos) {
            kind = KeptKind::Game;
            break;
        }
        if (read > kRecordingMaxBytes) {
            kind = KeptKind::Unreadable;
            break;
        }
        if (read >= magic.size()) text.erase(0, text.size() - std::min(text.size(), seedLine.size() - 1));
    }
    std::fclose(f);
    return kind;
}

std::vector<KeptRecording> keptRecordings(const std::string& folder) {
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
    std::vector<KeptRecording> kept;
    for (Entry& e : entries) {
        const KeptKind kind = keptKindOf(e.path);
        kept.push_back({std::move(e.path), kind});
    }
    return kept;
}

void pruneRecordings(const std::string& folder, size_t keep) {
    if (recordingNames(folder).size() <= keep) return;
    // Held open, it is being played: never removed, and not counted.
    std::vector<KeptRecording> free;
    for (KeptRecording& r : keptRecordings(folder))
        if (!lockHeldOn(r.path)) free.push_back(std::move(r));
    if (free.size() <= keep) return;
    // From the back: the rest played longest ago, after the empty starts.
    std::stable_partition(free.begin(), free.end(),
                          [](const KeptRecording& r) { return r.kind != KeptKind::EmptyStart; });
    size_t over = free.size() - keep;
    for (auto it = free.rbegin(); it != free.rend() && over > 0; ++it, --over) {
        // Held while it goes, so that no program starts to continue it then.
        FileLock lock;
        if (lockFile(lock, it->path, LockWait::DontWait) != LockResult::Taken) continue;
        std::error_code ec;
        fs::remove(pathOf(it->path), ec);
        fs::remove(pathOf(keptPicturePath(it->path)), ec);
    }
}

void closeRecordingFile(RecordingFile& f) {
    if (f.file) std::fclose(f.file);
    f.file = nullptr;
    f.lock.release();
}

}  // namespace delve
