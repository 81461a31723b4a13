// Two calls this emscripten's WebAssembly file system leaves to a JavaScript
// file system the page does not have (calling them stops the program), or
// answers without doing anything. Both serve the recordings the page keeps.
//
// ftruncate: the file system can neither shrink a file nor honours O_TRUNC.
// A continued game cuts its recording back to the last key it will play
// before it writes on; with the cut silently not done, the recording would
// keep the old tail in the middle of the game. So ftruncate is given its
// POSIX meaning for the descriptor it is called on (see cutOpenFile).
//
// fdatasync: the file system lives in memory; there is no disk to wait for
// (the page keeps what matters in the browser's storage).
#include <cerrno>
#include <cstdint>
#include <string>

#include "kept/kept_file.h"

extern "C" long __syscall_ftruncate64(long fd, long low, long high) {
    const uint64_t length = uint64_t{static_cast<uint32_t>(low)} | uint64_t{static_cast<uint32_t>(high)} << 32;
    const std::string scratch = "/.delve-cut-" + std::to_string(fd);
    return delve::cutOpenFile(static_cast<int>(fd), length, scratch) ? 0 : -EIO;
}

extern "C" long __syscall_fdatasync(long fd) { return fd >= 0 ? 0 : -EBADF; }
