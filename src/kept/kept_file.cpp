#include "kept/kept_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace delve {

void keepFile(KeptFile& kept, int fd, uint64_t alreadyKept) {
    kept = KeptFile{};
    kept.fd = fd;
    kept.handed = alreadyKept;
#ifndef _WIN32
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) kept.identity = static_cast<uint64_t>(st.st_ino);
#endif
}

#ifndef _WIN32

namespace {

bool readAt(int fd, uint64_t offset, uint64_t size, std::string& out) {
    out.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(fd, &out[done], out.size() - done, static_cast<off_t>(offset + done));
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool writeWhole(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

bool takeNewBytes(KeptFile& kept, uint64_t& offset, std::string& bytes) {
    struct stat st;
    if (kept.fd < 0 || ::fstat(kept.fd, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const uint64_t identity = static_cast<uint64_t>(st.st_ino);
    // Another file behind the descriptor, or a shorter one: it was cut, and
    // what the page holds may differ anywhere past the cut.
    if (identity != kept.identity || size < kept.handed) kept.handed = 0;
    kept.identity = identity;
    if (size == kept.handed) return false;
    if (!readAt(kept.fd, kept.handed, size - kept.handed, bytes)) return false;
    offset = kept.handed;
    kept.handed = size;
    return true;
}

bool takeWholeFile(const std::string& path, uint64_t maxBytes, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    const bool read = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      static_cast<uint64_t>(st.st_size) <= maxBytes &&
                      readAt(fd, 0, static_cast<uint64_t>(st.st_size), bytes);
    ::close(fd);
    if (read) ::unlink(path.c_str());
    return read;
}

bool cutOpenFile(int fd, uint64_t length, const std::string& scratchPath) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    std::string kept;
    if (!readAt(fd, 0, length < size ? length : size, kept)) return false;
    if (length > size) kept.append(static_cast<size_t>(length - size), '\0');
    const int fresh = ::open(scratchPath.c_str(), O_CREAT | O_EXCL | O_RDWR, 0644);
    if (fresh < 0) return false;
    ::unlink(scratchPath.c_str());
    const bool ok = writeWhole(fresh, kept) && ::dup2(fresh, fd) == fd;
    ::close(fresh);
    if (ok) ::lseek(fd, static_cast<off_t>(kept.size()), SEEK_SET);
    return ok;
}

#else

// The page is never built for Windows; these exist so the library links.
bool takeNewBytes(KeptFile&, uint64_t&, std::string&) { return false; }
bool takeWholeFile(const std::string&, uint64_t, std::string&) { return false; }
bool cutOpenFile(int, uint64_t, const std::string&) { return false; }

#endif

}  // namespace delve
