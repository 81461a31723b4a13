#include "platform/file_lock.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/system.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace delve {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

#ifdef _WIN32

namespace {

// Locks may lie beyond the end of a file; one there never covers its bytes.
constexpr DWORD kLockedByteHigh = 0x7fffffff;

OVERLAPPED lockedByte() {
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = kLockedByteHigh;
    return at;
}

}  // namespace

void FileLock::release() {
    if (handle_ == -1) return;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED at = lockedByte();
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
    handle_ = -1;
}

LockResult lockFile(FileLock& lock, const std::string& path, LockWait wait) {
    lock.release();
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LockResult::Failed;
    OVERLAPPED at = lockedByte();
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait == LockWait::DontWait ? LOCKFILE_FAIL_IMMEDIATELY : 0);
    if (!LockFileEx(h, flags, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::HeldElsewhere
                                                                          : LockResult::Failed;
    }
    lock.handle_ = reinterpret_cast<intptr_t>(h);
    return LockResult::Taken;
}

bool lockHeldOn(const std::string& path) {
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED at = lockedByte();
    bool held = false;
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        UnlockFileEx(h, 0, 1, 0, &at);
    } else {
        const DWORD error = GetLastError();
        held = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
    }
    CloseHandle(h);
    return held;
}

#else

void FileLock::release() {
    if (handle_ == -1) return;
    ::close(static_cast<int>(handle_));  // closing drops the lock
    handle_ = -1;
}

LockResult lockFile(FileLock& lock, const std::string& path, LockWait wait) {
    lock.release();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return LockResult::Failed;
    const int how = LOCK_EX | (wait == LockWait::DontWait ? LOCK_NB : 0);
    int status;
    while ((status = ::flock(fd, how)) != 0 && errno == EINTR) {
    }
    if (status != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? LockResult::HeldElsewhere : LockResult::Failed;
    }
    lock.handle_ = fd;
    return LockResult::Taken;
}

bool lockHeldOn(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int status;
    while ((status = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    const bool held = status != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // and with it a lock taken here
    return held;
}

#endif

}  // namespace delve
