#pragma once
// A level-sized grid of cell values, 41 columns (x 0..40) by 26 rows
// (y 0..25). Cells outside it read as 0 and ignore writes; each axis is
// tested on its own, so an x past the edge never wraps into the next row.
#include <array>
#include <cstdint>

namespace delve {

constexpr int kGridColumns = 41;
constexpr int kGridRows = 26;

struct CellGrid {
    std::array<int32_t, kGridColumns * kGridRows> cells{};

    int32_t get(int64_t x, int64_t y) const {
        return inside(x, y) ? cells[static_cast<size_t>(y * kGridColumns + x)] : 0;
    }
    void set(int64_t x, int64_t y, int32_t v) {
        if (inside(x, y)) cells[static_cast<size_t>(y * kGridColumns + x)] = v;
    }
    static bool inside(int64_t x, int64_t y) { return x >= 0 && x < kGridColumns && y >= 0 && y < kGridRows; }
};

}  // namespace delve
