#pragma once
// The pixels of the screen's pages, all in one block. A game starts by
// clearing eight pages of 960x720: taken page by page from the allocator,
// that is some 1,300 first touches of fresh memory, each a fault into the
// kernel, and they cost more than the rest of the title screen. One block
// the system may back with large pages (where it offers them) costs a
// handful, and it comes from the system already zeroed.
#include <cstddef>
#include <cstdint>

namespace delve {

// A page: a view of its part of the block. Assigning one page to another
// would only make a second view of the same pixels, so it is not allowed:
// copyPage copies pixels, and the screen binds each page to its part.
struct Page {
    uint8_t* pixels = nullptr;
    size_t bytes = 0;

    Page() = default;
    Page(const Page&) = default;
    Page& operator=(const Page&) = delete;
    void bind(uint8_t* at, size_t size) { pixels = at, bytes = size; }

    uint8_t* data() const { return pixels; }
    size_t size() const { return bytes; }
    bool empty() const { return bytes == 0; }
    uint8_t& operator[](size_t i) const { return pixels[i]; }
    uint8_t* begin() const { return pixels; }
    uint8_t* end() const { return pixels + bytes; }
};

// Owns the block; moves, never copies.
class PageMemory {
public:
    PageMemory() = default;
    ~PageMemory();
    PageMemory(PageMemory&& other) noexcept;
    PageMemory& operator=(PageMemory&& other) noexcept;
    PageMemory(const PageMemory&) = delete;
    PageMemory& operator=(const PageMemory&) = delete;

    // At least `bytes`, all zero. False when the system has no memory left
    // (the block is then empty).
    bool reserveZeroed(size_t bytes);
    uint8_t* data() const { return block_; }
    size_t capacity() const { return capacity_; }

private:
    void release();

    uint8_t* block_ = nullptr;
    size_t capacity_ = 0;
    bool mapped_ = false;
};

}  // namespace delve
