#pragma once
// What the canvas already shows. A turn changes a few hundred pixels of a
// frame of 691,200; converting the whole page to RGBA and handing all of it
// to the canvas at every picture cost the page a fifth of its turn. So the
// page remembers the palette indices it last showed, and only the rectangle
// around what changed is converted and put on the canvas.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace delve {

struct FrameArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

struct ShownFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;  // palette index per pixel, as on the canvas
    std::vector<uint32_t> rgba;    // the same pixels in the canvas's RGBA bytes
    bool stale = true;             // the canvas holds nothing of it yet
};

// Starts over at a new size: everything will count as changed at the next
// update (the canvas is cleared when its size changes).
void resetShownFrame(ShownFrame& shown, int width, int height);

// Brings `shown` up to `page` (width x height palette indices, row after
// row; a shorter page counts as 0 beyond its end) and returns the smallest
// rectangle holding every pixel that changed, empty when none did. Only
// that rectangle is converted through `colours`.
FrameArea updateShownFrame(ShownFrame& shown, const uint8_t* page, size_t pageSize,
                           const std::array<uint32_t, 256>& colours);
inline FrameArea updateShownFrame(ShownFrame& shown, const std::vector<uint8_t>& page,
                                  const std::array<uint32_t, 256>& colours) {
    return updateShownFrame(shown, page.data(), page.size(), colours);
}

}  // namespace delve
