#include "platform/page_memory.h"

#include <cstdlib>
#include <cstring>
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

namespace delve {

void PageSet::bindAll(size_t pageBytes) {
    const bool any = pageBytes > 0 && memory_.data() != nullptr;
    for (int i = 0; i < kPageCount; ++i)
        pages_[i].bind(any ? memory_.data() + i * pageBytes : nullptr, any ? pageBytes : 0);
}

bool PageSet::reset(size_t pageBytes) {
    const size_t bytes = pageBytes * kPageCount;
    bool ok = true;
    // A new block comes zeroed; one already in use is cleared.
    if (bytes > memory_.capacity()) {
        ok = memory_.reserveZeroed(bytes);
    } else if (bytes > 0) {
        std::memset(memory_.data(), 0, bytes);
    }
    bindAll(ok ? pageBytes : 0);
    return ok;
}

PageSet::PageSet(const PageSet& other) {
    const size_t pageBytes = other.pages_[0].size();
    if (pageBytes > 0 && memory_.reserveZeroed(pageBytes * kPageCount)) {
        std::memcpy(memory_.data(), other.memory_.data(), pageBytes * kPageCount);
        bindAll(pageBytes);
    }
}

PageSet& PageSet::operator=(const PageSet& other) {
    if (this != &other) *this = PageSet(other);
    return *this;
}

PageSet::PageSet(PageSet&& other) noexcept : memory_(std::move(other.memory_)) {
    for (int i = 0; i < kPageCount; ++i) {
        pages_[i].bind(other.pages_[i].pixels, other.pages_[i].bytes);
        other.pages_[i].bind(nullptr, 0);
    }
}

PageSet& PageSet::operator=(PageSet&& other) noexcept {
    if (this != &other) {
        memory_ = std::move(other.memory_);
        for (int i = 0; i < kPageCount; ++i) {
            pages_[i].bind(other.pages_[i].pixels, other.pages_[i].bytes);
            other.pages_[i].bind(nullptr, 0);
        }
    }
    return *this;
}

}  // namespace delve
