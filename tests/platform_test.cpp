// The platform services every other part stands on: the random generator
// (whose numbers decide what a typed seed produces), the key queue and its
// pressed flag, and the drawing primitives.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <utility>

#include "platform/headless/headless_backend.h"
#include "platform/platform.h"
#include "support/support.h"

namespace delve {
namespace {

TEST(RandomGenerator, SeedingGivesTheKnownNumbers) {
    test::HeadlessGame h;
    Platform& p = h.platform;
    seedRandom(p, 0);
    EXPECT_EQ(p.rng.state, 2531011u);                 // after the discarded first step
    EXPECT_EQ(nextRandom(p.rng), 0.235565185546875);  // r = 7719
    EXPECT_EQ(nextRandomBits(p.rng), 21238);
    EXPECT_EQ(p.rng.draws, 3u);
    seedRandom(p, 2.9);  // truncated toward zero: seeded as 2
    EXPECT_EQ(p.rng.state, 2u * 214013u + 2531011u);
    seedRandom(p, -1.5);  // state 4294967295, then the discarded step
    EXPECT_EQ(p.rng.state, uint32_t{4294967295u * 214013u + 2531011u});
    // -1: one timer reading, its bit pattern with the high half folded into the low half.
    seedRandom(p, -1);
    EXPECT_EQ(h.backend.timerReadings(), 1u);
    const uint64_t bits = std::bit_cast<uint64_t>(1000.5);
    EXPECT_EQ(p.rng.state, static_cast<uint32_t>(bits ^ (bits >> 32)) * 214013u + 2531011u);
}

TEST(RandomGenerator, RandomBelowIsExactlyFloorOfRTimesNOver32768) {
    Random rng;
    seedRandomState(rng, 12345);
    for (int i = 0; i < 3000; ++i) {
        Random copy = rng;
        const int64_t r = nextRandomBits(copy), n = (i % 7 == 0) ? 3 : (i * 7919) % 200001 - 100000;
        ASSERT_EQ(randomBelow(rng, n), r * n / 32768 - (r * n % 32768 < 0 ? 1 : 0)) << r << " " << n;
        ASSERT_EQ(rng.state, copy.state);  // exactly one draw
    }
}

TEST(KeyInput, QueueOverflowWaitAndTheFlag) {
    test::HeadlessGame h(".", " x");
    Platform& p = h.platform;
    for (char c = 'a'; c <= 'p'; ++c) pushKey(p.keys, std::string(1, c));  // 16 keys: "a" is pushed out
    EXPECT_EQ(keyCount(p.keys), 15);
    EXPECT_EQ(pollKey(p), "b");
    // The take cleared the flag: the keys still queued do not end a wait, the next event does.
    waitForKeyPress(p);
    EXPECT_EQ(h.backend.keysLeft(), 1u);
    EXPECT_FALSE(p.keys.pressed);
    std::string taken;
    while (hasKey(p.keys)) taken += readKey(p);
    EXPECT_EQ(taken, "cdefghijklmnop ");  // the space that ended the wait is still queued
    h.backend.addKey("yz");                // one event of two characters: read gives the first only
    EXPECT_EQ(readKey(p), "x");
    EXPECT_EQ(readKey(p), "y");
    EXPECT_THROW(readKey(p), RunEnded);  // the script is used up
}

// The whole image, one character a pixel ('.' for 0, '#' otherwise), rows joined by '|'.
std::string picture(const Image& image) {
    std::string s;
    for (size_t i = 0; i < image.pixels.size(); ++i)
        s += (i > 0 && i % image.width == 0 ? "|" : "") + std::string(1, image.pixels[i] ? '#' : '.');
    return s;
}

TEST(Drawing, LinePatternsBoxCornersAndClipping) {
    Image c = createImage(20, 2);
    drawLine(surfaceOf(c), 0, 0, 19, 0, 5, LineShape::Line, 0xAAAA);
    drawLine(surfaceOf(c), 19, 1, 0, 1, 5, LineShape::Line, 0xC000);  // starts at the first point
    EXPECT_EQ(picture(c), "#.#.#.#.#.#.#.#.#.#.|..##..............##");
    Image box = createImage(8, 6);
    drawLine(surfaceOf(box), 6, 4, 1, 1, 3, LineShape::Box);  // corners in any order, both included
    drawLine(surfaceOf(box), 4, 3, 3, 2, 3, LineShape::FilledBox);
    setPixel(box, -1, 1, 9);  // outside: must not wrap into a neighbouring row
    setPixel(box, 8, 0, 9);
    EXPECT_EQ(picture(box), "........|.######.|.#.##.#.|.#.##.#.|.######.|........");
    Image clipped = createImage(6, 4);
    drawLine(surfaceOf(clipped), -2, 1, 3, 9, 1, LineShape::Box);  // only two sides show
    drawLine(surfaceOf(clipped), 5, 3, -7, -9, 1, LineShape::Line);
    drawLine(surfaceOf(clipped), 2147483647, 2147483647, -2147483647 - 1, 9, 7, LineShape::FilledBox);
    EXPECT_EQ(picture(clipped), "..#...|####..|...##.|...#.#");
}

// The eight pages share one block: each must stay its own, and opening the
// window again (at any size) must leave every page clear.
TEST(Pages, StayApartCopyWholeAndClearOnEveryOpening) {
    HeadlessBackend backend("");
    Platform p(backend);
    const auto filled = [&](int page, uint8_t colour) {
        const Page& px = p.screen.pages[page];
        return !px.empty() && std::all_of(px.begin(), px.end(), [&](uint8_t b) { return b == colour; });
    };
    for (const auto& [w, h] : {std::pair{960, 720}, {320, 200}, {960, 720}, {1, 1}, {961, 721}}) {
        openWindow(p, w, h);
        ASSERT_EQ(p.screen.pages[7].size(), static_cast<size_t>(w) * h);
        for (int page = 0; page < kPageCount; ++page) EXPECT_TRUE(filled(page, 0)) << w << "x" << h << " page " << page;
        for (int page = 0; page < kPageCount; ++page) {
            const Surface s = pageSurface(p.screen, page);
            drawLine(s, 0, 0, w - 1, h - 1, static_cast<uint8_t>(page + 1), LineShape::FilledBox);
        }
        for (int page = 0; page < kPageCount; ++page) EXPECT_TRUE(filled(page, static_cast<uint8_t>(page + 1)));
        copyPage(p, 6, 2);
        EXPECT_TRUE(filled(2, 7) && filled(6, 7) && filled(1, 2) && filled(3, 4));
    }
    // A copy of the screen (a kept picture) has pixels of its own.
    const Screen kept = p.screen;
    EXPECT_TRUE(kept.pages == p.screen.pages);
    p.screen.pages[0][0] = 99;
    EXPECT_EQ(kept.pages[0][0], 1);
    EXPECT_FALSE(kept.pages == p.screen.pages);
    openWindow(p, 0, 0);  // no pixels at all: nothing to draw on, nothing to copy
    EXPECT_TRUE(p.screen.pages[0].empty());
    copyPage(p, 1, 0);
    EXPECT_TRUE(pageSurface(p.screen, 0).pixels == nullptr);
}

TEST(Drawing, ImageCombineModesXorTwiceRestoresAndEdgesClip) {
    // Target 12 (1100), image 10 (1010): pset, preset, and, or, xor.
    Image row = createImage(5, 1), ten = createImage(1, 1);
    drawLine(surfaceOf(row), 0, 0, 4, 0, 12, LineShape::Line);
    setPixel(ten, 0, 0, 10);
    for (Combine m : {Combine::Pset, Combine::Preset, Combine::And, Combine::Or, Combine::Xor})
        drawImage(surfaceOf(row), static_cast<int>(m), 0, ten, m);
    EXPECT_EQ(row.pixels, (std::vector<uint8_t>{10, 245, 8, 14, 6}));
    Image target = createImage(8, 8), pattern = createImage(5, 3);
    for (int i = 0; i < 64; ++i) target.pixels[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::vector<uint8_t> original = target.pixels;
    for (size_t i = 0; i < pattern.pixels.size(); ++i) pattern.pixels[i] = static_cast<uint8_t>(i * 13 + 1);
    drawImage(surfaceOf(target), 5, 6, pattern, Combine::Xor);  // runs off two edges
    EXPECT_NE(target.pixels, original);
    drawImage(surfaceOf(target), 5, 6, pattern, Combine::Xor);
    EXPECT_EQ(target.pixels, original);
    // A blank pset blanks what it covers, clipped at the top-left and bottom-right.
    drawImage(surfaceOf(target), -1, -1, createImage(3, 3), Combine::Pset);
    drawImage(surfaceOf(target), 6, 6, createImage(3, 3), Combine::Pset);
    EXPECT_EQ(picture(target), "..######|..######|########|########|########|########|######..|######..");
}

}  // namespace
}  // namespace delve
