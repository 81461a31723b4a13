// The page's memory of what its canvas shows: after any sequence of pages
// the RGBA frame equals the whole page converted, and each update names the
// smallest rectangle holding every pixel that changed.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/web/shown_frame.h"

namespace delve {
namespace {

constexpr int kW = 37, kH = 23;

std::array<uint32_t, 256> testColours() {
    std::array<uint32_t, 256> colours{};
    for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | (i * 0x010305u);
    return colours;
}

// The rectangle around every differing pixel, worked out pixel by pixel.
FrameArea expectedArea(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int left = kW, top = kH, right = -1, bottom = -1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (a[y * kW + x] != b[y * kW + x]) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

void expectArea(const FrameArea& got, const FrameArea& want) {
    EXPECT_EQ(got.empty(), want.empty());
    if (want.empty()) return;
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
}

TEST(ShownFrame, OnlyTheChangedRectangleIsConvertedAndTheFrameStaysWhole) {
    const auto colours = testColours();
    ShownFrame shown;
    resetShownFrame(shown, kW, kH);
    std::vector<uint8_t> page(kW * kH, 0);
    // A fresh frame is all new, even where the page holds index 0.
    expectArea(updateShownFrame(shown, page, colours), {0, 0, kW, kH});
    expectArea(updateShownFrame(shown, page, colours), {});

    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> next = page;
        // Now one pixel, now a few scattered ones, now a block; sometimes none.
        const int changes = static_cast<int>(rng() % 5);
        for (int c = 0; c < changes; ++c) {
            const int x = static_cast<int>(rng() % kW), y = static_cast<int>(rng() % kH);
            const int w = round % 3 == 0 ? 1 + static_cast<int>(rng() % 6) : 1;
            for (int i = x; i < std::min(kW, x + w); ++i) next[y * kW + i] = static_cast<uint8_t>(rng());
        }
        expectArea(updateShownFrame(shown, next, colours), expectedArea(page, next));
        page = next;
        for (size_t i = 0; i < page.size(); ++i) ASSERT_EQ(shown.rgba[i], colours[page[i]]) << round << " " << i;
    }
    // The corners, alone: the rectangle reaches the frame's edges.
    std::vector<uint8_t> corners = page;
    corners.front() ^= 1;
    corners.back() ^= 1;
    expectArea(updateShownFrame(shown, corners, colours), {0, 0, kW, kH});
}

TEST(ShownFrame, ANewSizeStartsOverAndAShortPageReadsAsZero) {
    const auto colours = testColours();
    ShownFrame shown;
    resetShownFrame(shown, 4, 2);
    std::vector<uint8_t> page{1, 2, 3, 4, 5, 6, 7, 8};
    expectArea(updateShownFrame(shown, page, colours), {0, 0, 4, 2});
    resetShownFrame(shown, 4, 2);
    expectArea(updateShownFrame(shown, page, colours), {0, 0, 4, 2});
    expectArea(updateShownFrame(shown, {1, 2, 3, 4, 5, 6}, colours), {2, 1, 2, 1});
    EXPECT_EQ(shown.rgba[7], colours[0]);
    resetShownFrame(shown, -3, 5);
    expectArea(updateShownFrame(shown, page, colours), {});
}

}  // namespace
}  // namespace delve
