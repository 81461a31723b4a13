#pragma once
// A lock on a file that the system itself drops when the program holding it
// ends, however it ends (a crash, a kill, a power cut): so a lock can never
// be left behind and wrongly keep a player out. It keeps two programs from
// playing on one recording, and two first starts from filling one data
// folder at the same time. On Windows it locks a byte far beyond the end of
// the file, so that reading the file itself is never blocked.
#include <cstdint>
#include <string>

namespace delve {

enum class LockWait { Wait, DontWait };
enum class LockResult { Taken, HeldElsewhere, Failed };

// Held from a successful lockFile until it goes or is released.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return handle_ != -1; }
    void release();

private:
    friend LockResult lockFile(FileLock& lock, const std::string& path, LockWait wait);
    intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
};

// Locks `path` (made empty when missing) for this program alone. With
// DontWait a lock another program holds gives HeldElsewhere at once.
LockResult lockFile(FileLock& lock, const std::string& path, LockWait wait);

// Whether a program, this one included, holds the lock on `path` now. A
// missing file is held by none and is not made. Finding out takes the lock
// for a moment when it is free.
bool lockHeldOn(const std::string& path);

}  // namespace delve
