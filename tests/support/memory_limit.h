#pragma once
// A child process with a cap on its address space, for showing that a huge
// input costs no memory in proportion to it. POSIX only: there is no fork
// on Windows.
#include <cstdint>
#include <functional>
#include <string>

namespace delve::test {

#if defined(__SANITIZE_ADDRESS__)
#define DELVE_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DELVE_TEST_ADDRESS_SANITIZER 1
#endif
#endif

// The address sanitizer reserves terabytes of address space up front, so
// no cap leaves it room to run.
#if defined(_WIN32) || defined(DELVE_TEST_ADDRESS_SANITIZER)
constexpr bool kMemoryCanBeCapped = false;
#else
constexpr bool kMemoryCanBeCapped = true;
#endif

#ifndef _WIN32
// Runs `body` in a forked child whose address space is capped at `bytes`
// (it may exec another program, which keeps the cap) and returns the exit
// status it returned: 70 when it threw (a bad_alloc), -1 when the child died
// on a signal (an exec'd program's uncaught bad_alloc aborts).
int exitStatusUnderMemoryCap(uint64_t bytes, const std::function<int()>& body);
#endif

// A file of `size` zero bytes that takes no room on the disk.
void makeSparseFile(const std::string& path, uint64_t size);

}  // namespace delve::test
