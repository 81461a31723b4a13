#pragma once
// The pixels of the screen's pages, all in one block. A game starts by
// clearing eight pages of 960x720: taken page by page from the allocator,
// that is some 1,300 first touches of fresh memory, each a fault into the
// kernel, and they cost more than the rest of the title screen. One block
// the system may back with large pages (where it offers them) costs a
// handful, and it comes from the system already zeroed.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace delve {

constexpr int kPageCount = 8;

// A page: a view of its part of the block. Assigning one page to another
// would only make a second view of the same pixels, so it is not allowed:
// copyPage copies pixels, and the page set binds each page to its part.
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
    // Same size and the same pixels.
    bool operator==(const Page& other) const {
        return bytes == other.bytes && (bytes == 0 || std::memcmp(pixels, other.pixels, bytes) == 0);
    }
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

// The eight pages and their block. A copy is a copy of every pixel, in a
// block of its own (a kept picture of the screen).
class PageSet {
public:
    PageSet() = default;
    PageSet(const PageSet& other);
    PageSet& operator=(const PageSet& other);
    PageSet(PageSet&& other) noexcept;
    PageSet& operator=(PageSet&& other) noexcept;

    // Every page `pageBytes` long and clear. False when there is no memory
    // for them: the pages are then empty.
    bool reset(size_t pageBytes);

    Page& operator[](size_t i) { return pages_[i]; }
    const Page& operator[](size_t i) const { return pages_[i]; }
    Page* begin() { return pages_.data(); }
    Page* end() { return pages_.data() + kPageCount; }
    const Page* begin() const { return pages_.data(); }
    const Page* end() const { return pages_.data() + kPageCount; }
    bool operator==(const PageSet& other) const { return std::equal(begin(), end(), other.begin()); }

private:
    void bindAll(size_t pageBytes);

    PageMemory memory_;
    std::array<Page, kPageCount> pages_;
};

}  // namespace delve
