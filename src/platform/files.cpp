#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace delve {

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

bool exists(const std::string& path) {
#ifdef _WIN32
    FileStatus st;
    return statusOf(path, st);
#else
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
#endif
}

// Open flags for a game file: bytes as they are, never through a link, and
// never waiting: a pipe or a device opens at once and is refused by
// readOpenFile.
constexpr int kGameOpen = kOpenBinary | kOpenCloseOnExec | kOpenNoFollow | kOpenNonBlocking;

// The entry of `dir` whose name matches `part` ignoring case, or `part`.
std::string matchEntry(const std::string& dir, const std::string& part) {
    if (exists(dir + kPathSeparator + part)) return part;
    std::vector<std::string> names;
    if (!folderEntries(dir, names)) return part;
    for (const std::string& name : names)
        if (equalsIgnoringCase(part, name.c_str())) return name;
    return part;
}

int openForGame(const std::string& path) {
    int fd = openDescriptor(path, O_RDWR | kGameOpen);
    if (fd >= 0) return fd;
    if (errno == ENOENT) {
        fd = openDescriptor(path, O_RDWR | O_CREAT | O_EXCL | kOpenBinary | kOpenCloseOnExec, 0644);
        if (fd >= 0) return fd;
    }
    return openDescriptor(path, O_RDONLY | kGameOpen);
}

// What the descriptor is, asked only when a read did not already tell: a
// plain file of at most kMaxGameFileBytes.
bool plainFileWithinLimit(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= kMaxGameFileBytes;
}

// Reads the open file whole into `buffer`; its size goes to `size`. A read
// that comes back with less than the room it had has reached the end of a
// plain file, so the common small file costs one read and nothing else.
// Only a read that fills its room or finds nothing asks what the descriptor
// is: a device, a pipe, a folder or a huge file is refused without being
// read whole. (A folder fails its read; a pipe with nothing in it, too.)
bool readOpenFile(int fd, std::vector<char>& buffer, size_t& size) {
    constexpr size_t kFirstRoom = size_t{64} << 10;
    // A huge read earlier leaves no huge buffer behind.
    if (buffer.size() != kFirstRoom) {
        buffer.resize(kFirstRoom);
        buffer.shrink_to_fit();
    }
    size_t done = 0;
    bool asked = false;
    for (;;) {
        if (done == buffer.size()) {
            if (!asked && !plainFileWithinLimit(fd)) return false;
            asked = true;
            if (buffer.size() > kMaxGameFileBytes) return false;  // grew past the limit while read
            buffer.resize(std::min(buffer.size() * 2, kMaxGameFileBytes + 1));
        }
        const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
        if (done < buffer.size()) break;
    }
    if (done == 0 && !asked && !plainFileWithinLimit(fd)) return false;
    size = done;
    return true;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Calls `take` with each folder and file part of a game name, in order;
// false when the name is empty, absolute, or climbs out of the root with "..".
template <class Take>
bool walkGameName(const std::string& name, Take take) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return false;
    bool any = false;
    size_t begin = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '\\' && name[i] != '/') continue;
        const std::string_view part(name.data() + begin, i - begin);
        begin = i + 1;
        if (part == "..") return false;
        if (part.empty() || part == ".") continue;
        take(part);
        any = true;
    }
    return any;
}

// The path with every part spelled as given, or "" for a refused name.
std::string exactGamePath(const Files& files, const std::string& name);

// A memo entry's name: names are matched ignoring case, so "RES\\A" and
// "res\\a" are one file.
std::string lowered(std::string path) {
    for (char& c : path)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return path;
}

std::string exactGamePath(const Files& files, const std::string& name) {
    std::string path = files.root.empty() ? "." : files.root;
    path.reserve(path.size() + name.size() + 1);
    const bool ok = walkGameName(name, [&](std::string_view part) {
        path += kPathSeparator;
        path += part;
    });
    return ok ? path : "";
}

}  // namespace

std::string gameFileKey(const Files& files, const std::string& name) { return lowered(exactGamePath(files, name)); }

bool writtenSince(const Files& files, const std::string& key, uint64_t since) {
    if (since > files.filesWritten) return true;  // not a number these files gave
    if (files.filesWritten - since > files.latestWrites.size()) return true;
    for (uint64_t n = since + 1; n <= files.filesWritten; ++n)
        if (files.latestWrites[n % files.latestWrites.size()] == key) return true;
    return false;
}

std::string resolveGameFile(const Files& files, const std::string& name) {
    std::vector<std::string> parts;
    if (!walkGameName(name, [&](std::string_view part) { parts.emplace_back(part); })) return "";
    std::string path = files.root.empty() ? "." : files.root;
    for (const auto& p : parts) path += kPathSeparator + matchEntry(path, p);
    return path;
}

std::optional<std::string_view> readGameFileView(Files& files, const std::string& name) {
    // Names are mostly spelled as their files are: one open of the exact path
    // then stands in for a look-up of every folder on the way. Only when it
    // fails are the parts matched ignoring case (and a missing file created).
    std::string path = exactGamePath(files, name);
    if (path.empty()) return std::nullopt;
    if (files.memo) {
        const auto kept = files.memo->files.find(lowered(path));
        if (kept != files.memo->files.end()) {
            ++files.filesRead;
            files.bytesRead += kept->second->size();
            return std::string_view(*kept->second);
        }
    }
    int fd = openDescriptor(path, O_RDWR | kGameOpen);
    if (fd < 0) {
        const auto known = files.caseMatches.find(path);
        if (known != files.caseMatches.end()) {
            fd = openDescriptor(known->second, O_RDWR | kGameOpen);
            if (fd >= 0) path = known->second;
        }
    }
    if (fd < 0) {
        std::string found = resolveGameFile(files, name);
        fd = openForGame(found);
        if (fd >= 0 && found != path) files.caseMatches[path] = found;
        path = std::move(found);
    }
    if (fd < 0) return std::nullopt;
    size_t size = 0;
    const bool read = readOpenFile(fd, files.readBuffer, size);
    ::close(fd);
    if (!read) return std::nullopt;
    ++files.filesRead;
    files.bytesRead += size;
    if (files.log) files.log->push_back("r " + path);
    if (files.memo) {
        auto& kept = files.memo->files[gameFileKey(files, name)];
        kept = std::make_shared<const std::string>(files.readBuffer.data(), size);
        return std::string_view(*kept);
    }
    return std::string_view(files.readBuffer.data(), size);
}

std::optional<std::string> readGameFile(Files& files, const std::string& name) {
    const auto bytes = readGameFileView(files, name);
    if (!bytes) return std::nullopt;
    return std::string(*bytes);
}

bool replaceGameFile(Files& files, const std::string& name, const std::string& bytes) {
    if (files.memo) {
        const std::string key = gameFileKey(files, name);
        if (key.empty()) return false;
        files.memo->files[key] = std::make_shared<const std::string>(bytes);
        ++files.filesWritten;
        files.latestWrites[files.filesWritten % files.latestWrites.size()] = key;
        files.bytesWritten += bytes.size();
        return true;
    }
    const std::string path = resolveGameFile(files, name);
    if (path.empty()) return false;
    const size_t slash = path.rfind(kPathSeparator);
    const std::string temp = path.substr(0, slash + 1) + ".~" + path.substr(slash + 1) + ".tmp";
    int fd = openDescriptor(temp, O_WRONLY | O_CREAT | O_TRUNC | kGameOpen, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    if (ok && !replaceFileWith(temp, path)) ok = false;
    if (!ok) {
        removeFile(temp);
        return false;
    }
    ++files.filesWritten;
    files.bytesWritten += bytes.size();
    if (files.log) files.log->push_back("w " + path);
    return true;
}

}  // namespace delve
