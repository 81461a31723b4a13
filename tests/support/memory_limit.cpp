#include "support/memory_limit.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/system.h"

namespace delve::test {

#ifndef _WIN32
int exitStatusUnderMemoryCap(uint64_t bytes, const std::function<int()>& body) {
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t child = ::fork();
    if (child < 0) return -2;
    if (child == 0) {
        const rlimit cap{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
        if (::setrlimit(RLIMIT_AS, &cap) != 0) ::_exit(125);
        // Nothing may leave the child but its status: an exception caught
        // by the test framework would run the rest of the tests in it too.
        int status = 70;
        try {
            status = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

void makeSparseFile(const std::string& path, uint64_t size) {
    std::ofstream(pathOf(path), std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(pathOf(path), size);
}

}  // namespace delve::test
