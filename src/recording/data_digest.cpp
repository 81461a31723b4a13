#include "recording/data_digest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/files.h"
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

uint64_t digestUnreadable(const std::string& relative, uint64_t hash) {
    static const std::string unreadable = "\xff unreadable";
    hash = fnv1a64(relative + '\0' + std::to_string(unreadable.size()) + '\0', hash);
    return fnv1a64(unreadable, hash);
}

// The game refuses a file over its limit as unreadable, so its bytes are
// no part of the game and are never read here; its size still tells one
// such file from another.
uint64_t digestTooLarge(const std::string& relative, uint64_t size, uint64_t hash) {
    const std::string tooLarge = "\xff too large " + std::to_string(size);
    hash = fnv1a64(relative + '\0' + std::to_string(tooLarge.size()) + '\0', hash);
    return fnv1a64(tooLarge, hash);
}

// A file's name and size, then its bytes as they come, a piece at a time:
// the same hash as of the whole file read at once, in bounded memory.
uint64_t digestFile(const std::string& path, const std::string& relative, std::vector<uint8_t>& piece,
                    uint64_t hash) {
    // Never waiting on a pipe or device put where a file was listed.
    const int fd = openDescriptor(path, O_RDONLY | kOpenBinary | kOpenCloseOnExec | kOpenNonBlocking);
    if (fd < 0) return digestUnreadable(relative, hash);
    FileStatus status;
    if (!descriptorStatus(fd, status) || !S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(fd);
        return digestUnreadable(relative, hash);
    }
    const uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size > kMaxGameFileBytes) {
        ::close(fd);
        return digestTooLarge(relative, size, hash);
    }
    const uint64_t before = hash;
    hash = fnv1a64(relative + '\0' + std::to_string(size) + '\0', hash);
    uint64_t done = 0;
    bool failed = false;
    // One byte past the size, to see a file that grew while it was read.
    while (done <= size) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = n < 0;
            break;
        }
        done += static_cast<uint64_t>(n);
        if (done > size) break;
        hash = fnv1a64(piece.data(), static_cast<size_t>(n), hash);
    }
    ::close(fd);
    // A file that changed size while read, or could not be read through,
    // is no one set of bytes.
    if (failed || done != size) return digestUnreadable(relative, before);
    return hash;
}

}  // namespace

uint64_t dataFolderDigest(const std::string& root) { return dataFolderDigest(root, nullptr); }

uint64_t dataFolderDigest(const std::string& root, const std::function<void()>& betweenFiles) {
    std::vector<std::string> files;
    collect(pathOf(root), "res", files);
    collect(pathOf(root), "tiles", files);
    std::sort(files.begin(), files.end());
    uint64_t hash = fnv1a64("delve data\n");
    std::vector<uint8_t> piece(size_t{64} << 10);
    for (const auto& relative : files) {
        hash = digestFile(textOf(pathOf(root) / pathOf(relative)), relative, piece, hash);
        if (betweenFiles) betweenFiles();
    }
    return hash;
}

}  // namespace delve
