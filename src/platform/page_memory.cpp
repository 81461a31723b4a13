#include "platform/page_memory.h"

#include <cstdlib>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace delve {

PageMemory::~PageMemory() { release(); }

PageMemory::PageMemory(PageMemory&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

PageMemory& PageMemory::operator=(PageMemory&& other) noexcept {
    if (this != &other) {
        release();
        block_ = std::exchange(other.block_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void PageMemory::release() {
#ifdef __linux__
    if (mapped_) {
        ::munmap(block_, capacity_);
        block_ = nullptr;
    }
#endif
    std::free(block_);
    block_ = nullptr;
    capacity_ = 0;
    mapped_ = false;
}

bool PageMemory::reserveZeroed(size_t bytes) {
    release();
    if (bytes == 0) return true;
#ifdef __linux__
    // Rounded up to whole large pages (2 MiB on the machines that have
    // them) and mapped with room to start the block on such a boundary.
    constexpr size_t kLarge = size_t{2} << 20;
    const size_t size = (bytes + kLarge - 1) / kLarge * kLarge;
    void* mapped = ::mmap(nullptr, size + kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped != MAP_FAILED) {
        auto* start = static_cast<uint8_t*>(mapped);
        const size_t skip = (kLarge - reinterpret_cast<uintptr_t>(start) % kLarge) % kLarge;
        if (skip > 0) ::munmap(start, skip);
        ::munmap(start + skip + size, kLarge - skip);
        block_ = start + skip;
        capacity_ = size;
        mapped_ = true;
        // Only advice: without large pages the block works as any other.
        ::madvise(block_, capacity_, MADV_HUGEPAGE);
        return true;
    }
#endif
    block_ = static_cast<uint8_t*>(std::calloc(bytes, 1));
    capacity_ = block_ ? bytes : 0;
    return block_ != nullptr;
}

}  // namespace delve
