// The platform services every other part stands on: the random generator
// (whose numbers decide what a typed seed produces), the key queue and its
// pressed flag, the drawing primitives and the pages.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "platform/random.h"

namespace delve {
namespace {

struct Headless {
    explicit Headless(const std::string& keys = "", double firstTimer = 1000.5)
        : backend(keys, firstTimer), p(backend) {}
    HeadlessBackend backend;
    Platform p;
};

std::vector<int> sequence(Random rng, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(nextRandomBits(rng));
    return out;
}

// ---- random numbers ----

TEST(RandomGenerator, SeedZeroGivesTheKnownNumbers) {
    Random rng;
    seedRandomState(rng, 0);
    EXPECT_EQ(rng.state, 2531011u);  // after the discarded first step
    EXPECT_EQ(rng.draws, 1u);
    EXPECT_EQ(nextRandom(rng), 0.235565185546875);
    EXPECT_EQ(rng.state, 505908858u);
    EXPECT_EQ(nextRandomBits(rng), 21238);
    EXPECT_EQ(rng.draws, 3u);
}

TEST(RandomGenerator, SeedsAreTruncatedTowardZeroToTheirLow32Bits) {
    Headless h;
    Random two;
    seedRandomState(two, 2);
    seedRandom(h.p, 2.9);
    EXPECT_EQ(sequence(h.p.rng, 20), sequence(two, 20));

    // -1.5 truncates to -1: state 4294967295 before the discarded step.
    Random expected;
    expected.state = 4294967295u;
    nextRandomBits(expected);
    seedRandom(h.p, -1.5);
    EXPECT_EQ(h.p.rng.state, expected.state);

    Random minusFive, wrapped;
    seedRandomState(minusFive, -5);
    seedRandomState(wrapped, 4294967291.0);
    EXPECT_EQ(minusFive.state, wrapped.state);
    Random big;
    seedRandomState(big, 4294967296.0 + 7);  // only the low 32 bits count
    Random seven;
    seedRandomState(seven, 7);
    EXPECT_EQ(big.state, seven.state);
    EXPECT_EQ(h.backend.timerReadings(), 0u);  // no clock for ordinary seeds
}

TEST(RandomGenerator, MinusOneSeedsFromOneClockReading) {
    Headless h("", 1000.5);
    seedRandom(h.p, -1);
    EXPECT_EQ(h.backend.timerReadings(), 1u);
    // The timer's bit pattern, high half folded into the low half.
    const double t = 1000.5;
    uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    Random expected;
    seedRandomState(expected, static_cast<double>(static_cast<uint32_t>(bits ^ (bits >> 32))));
    EXPECT_EQ(h.p.rng.state, expected.state);
    EXPECT_EQ(h.p.rng.draws, 1u);
}

TEST(RandomGenerator, RandomBelowIsExactlyFloorOfRTimesNOver32768) {
    Random rng;
    seedRandomState(rng, 12345);
    for (int i = 0; i < 5000; ++i) {
        Random copy = rng;
        const int64_t r = nextRandomBits(copy);
        const int64_t n = (i % 7 == 0) ? 3 : (i * 7919) % 200001 - 100000;
        const int32_t v = randomBelow(rng, n);
        int64_t expected = r * n / 32768;
        if (r * n % 32768 != 0 && r * n < 0) --expected;  // floor, not truncation
        ASSERT_EQ(v, expected) << "r=" << r << " n=" << n;
        ASSERT_EQ(rng.state, copy.state);  // exactly one draw
        if (n == 3) {
            ASSERT_TRUE(v >= 0 && v <= 2);
        }
    }
}

TEST(RandomGenerator, RandomBelowWithNegativeAndHugeRanges) {
    Random rng;
    seedRandomState(rng, 0);  // next r is 7719, then 21238
    EXPECT_EQ(randomBelow(rng, -3), -1);  // floor(-0.706...)
    EXPECT_EQ(randomBelow(rng, -32768), -21238);
    const uint64_t before = rng.draws;
    const int32_t big = randomBelow(rng, int64_t{1} << 60);  // saturates, never overflows
    EXPECT_GE(big, 0);
    EXPECT_EQ(rng.draws, before + 1);
}

TEST(RandomGenerator, RandomBelowRatio) {
    Random rng, copy;
    seedRandomState(rng, 99);
    copy = rng;
    const int64_t r = nextRandomBits(copy);
    EXPECT_EQ(randomBelowRatio(rng, 7, 3), r * 7 / (3 * 32768));
    const uint64_t draws = rng.draws;
    EXPECT_EQ(randomBelowRatio(rng, 7, 0), 0);
    EXPECT_EQ(rng.draws, draws);  // nothing drawn for a zero denominator
}

// ---- key queue and the pressed flag ----

TEST(KeyQueue, HoldsFifteenAndPushesOutTheOldest) {
    KeyQueue q;
    for (char c = 'a'; c <= 'p'; ++c) pushKey(q, std::string(1, c));  // 16 keys
    EXPECT_EQ(keyCount(q), 15);
    std::string taken;
    while (hasKey(q)) taken += takeKey(q);
    EXPECT_EQ(taken, "bcdefghijklmnop");
    EXPECT_EQ(takeKey(q), "");
    // The ring keeps working after wrapping around.
    for (int round = 0; round < 40; ++round) {
        pushKey(q, std::to_string(round));
        ASSERT_EQ(takeKey(q), std::to_string(round));
    }
}

TEST(KeyQueue, EveryPushSetsTheFlagAndEveryTakeClearsIt) {
    KeyQueue q;
    EXPECT_FALSE(q.pressed);
    pushKey(q, "x");
    pushKey(q, "y");
    EXPECT_TRUE(q.pressed);
    takeKey(q);
    EXPECT_FALSE(q.pressed);
    EXPECT_TRUE(hasKey(q));
    takeKey(q);
    takeKey(q);  // a take from an empty queue clears it too
    EXPECT_FALSE(q.pressed);
}

TEST(KeyInput, WaitForKeyPressLeavesTheKeyForReadKey) {
    Headless h(" x");
    waitForKeyPress(h.p);
    EXPECT_FALSE(h.p.keys.pressed);
    EXPECT_EQ(h.backend.keysLeft(), 1u);  // only the space was delivered
    EXPECT_EQ(readKey(h.p), " ");
    EXPECT_EQ(readKey(h.p), "x");
}

TEST(KeyInput, AKeyTakenBeforeTheWaitDoesNotEndIt) {
    Headless h("ab");
    EXPECT_EQ(readKey(h.p), "a");
    waitForKeyPress(h.p);  // needs a new key: "b" is delivered
    EXPECT_EQ(h.backend.keysLeft(), 0u);
    EXPECT_EQ(pollKey(h.p), "b");
}

TEST(KeyInput, AQueuedKeyWhoseFlagWasClearedDoesNotEndTheWait) {
    Headless h("c");
    pushKey(h.p.keys, "a");
    pushKey(h.p.keys, "b");
    EXPECT_EQ(pollKey(h.p), "a");  // clears the flag, "b" still waits
    waitForKeyPress(h.p);          // so the wait takes the next event, "c"
    EXPECT_EQ(h.backend.keysLeft(), 0u);
    EXPECT_EQ(readKey(h.p), "b");
    EXPECT_EQ(readKey(h.p), "c");
}

TEST(KeyInput, PollAndReadTakeKeysAndClearTheFlag) {
    Headless h;
    h.backend.addKey("ab");  // one event of two characters
    h.backend.addKey("z");
    pushKey(h.p.keys, "q");
    EXPECT_EQ(pollKey(h.p), "q");
    EXPECT_EQ(h.backend.keysLeft(), 2u);  // nothing pumped while a key waited
    EXPECT_EQ(readKey(h.p), "a");         // read gives the first character only
    EXPECT_EQ(pollKey(h.p), "z");
    EXPECT_FALSE(h.p.keys.pressed);
    EXPECT_THROW(readKey(h.p), RunEnded);  // the script is used up
}

// ---- drawing ----

struct Canvas {
    Canvas(int w, int h) : image(createImage(w, h)) {}
    Image image;
    Surface surface() { return surfaceOf(image); }
    // One character a pixel: '.' for 0, '#' for anything else.
    std::string row(int y) const {
        std::string s;
        for (int x = 0; x < image.width; ++x) s += getPixel(image, x, y) ? '#' : '.';
        return s;
    }
    int count(int index) const {
        int n = 0;
        for (uint8_t p : image.pixels) n += p == index;
        return n;
    }
};

TEST(Images, CreatedBlankAndBoundsChecked) {
    Image image = createImage(3, 2);
    EXPECT_EQ(image.pixels, std::vector<uint8_t>(6, 0));
    setPixel(image, 2, 1, 9);
    setPixel(image, 3, 0, 9);
    setPixel(image, -1, 0, 9);
    EXPECT_EQ(getPixel(image, 2, 1), 9);
    EXPECT_EQ(getPixel(image, 3, 0), -1);
    EXPECT_EQ(getPixel(image, 0, 2), -1);
    EXPECT_EQ(getPixel(image, -1, -1), -1);
    EXPECT_TRUE(createImage(0, 5).pixels.empty());
    EXPECT_TRUE(createImage(-3, 5).pixels.empty());
}

TEST(DrawLine, PatternsStartAtTheMostSignificantBit) {
    Canvas c(20, 3);
    drawLine(c.surface(), 0, 0, 19, 0, 5, LineShape::Line, 0xAAAA);
    EXPECT_EQ(c.row(0), "#.#.#.#.#.#.#.#.#.#.");
    drawLine(c.surface(), 0, 1, 19, 1, 5, LineShape::Line, 0xF000);
    EXPECT_EQ(c.row(1), "####............####");  // repeats every 16 steps
    // Drawn right to left, the pattern starts at the first point given.
    drawLine(c.surface(), 19, 2, 0, 2, 5, LineShape::Line, 0xC000);
    EXPECT_EQ(c.row(2), "..##..............##");
}

TEST(DrawLine, LinesIncludeBothEnds) {
    Canvas c(8, 8);
    drawLine(c.surface(), 2, 3, 5, 3, 1, LineShape::Line);
    EXPECT_EQ(c.row(3), "..####..");
    drawLine(c.surface(), 7, 0, 7, 0, 1, LineShape::Line);  // a single point
    EXPECT_EQ(getPixel(c.image, 7, 0), 1);
    Canvas d(6, 6);
    drawLine(d.surface(), 5, 5, 0, 0, 2, LineShape::Line);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(getPixel(d.image, i, i), 2);
    EXPECT_EQ(d.count(2), 6);
}

TEST(DrawLine, BoxOutlineAndFilledBoxIncludeTheirCorners) {
    Canvas c(8, 6);
    drawLine(c.surface(), 6, 4, 1, 1, 3, LineShape::Box);  // corners given in any order
    EXPECT_EQ(c.row(0), "........");
    EXPECT_EQ(c.row(1), ".######.");
    EXPECT_EQ(c.row(2), ".#....#.");
    EXPECT_EQ(c.row(3), ".#....#.");
    EXPECT_EQ(c.row(4), ".######.");
    EXPECT_EQ(c.row(5), "........");
    Canvas f(8, 6);
    drawLine(f.surface(), 5, 3, 2, 1, 4, LineShape::FilledBox);
    EXPECT_EQ(f.row(0), "........");
    EXPECT_EQ(f.row(1), "..####..");
    EXPECT_EQ(f.row(3), "..####..");
    EXPECT_EQ(f.row(4), "........");
    EXPECT_EQ(f.count(4), 12);
}

TEST(DrawLine, ClippedToTheTarget) {
    Canvas c(10, 10);
    drawLine(c.surface(), -10, -10, 30, 30, 7, LineShape::Line);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(getPixel(c.image, i, i), 7);
    EXPECT_EQ(c.count(7), 10);
    Canvas b(6, 4);
    drawLine(b.surface(), -2, 1, 3, 9, 1, LineShape::Box);  // only two sides show
    EXPECT_EQ(b.row(0), "......");
    EXPECT_EQ(b.row(1), "####..");
    EXPECT_EQ(b.row(2), "...#..");
    EXPECT_EQ(b.row(3), "...#..");
    Canvas f(4, 4);
    drawLine(f.surface(), -100, -100, 100, 100, 9, LineShape::FilledBox);
    EXPECT_EQ(f.count(9), 16);
    // Far-off coordinates neither hang nor write outside.
    drawLine(f.surface(), -2000000000, -5, 2000000000, -5, 1, LineShape::Line);
    drawLine(f.surface(), 2147483647, 2147483647, -2147483647 - 1, 3, 1, LineShape::Box);
    EXPECT_EQ(f.image.pixels.size(), 16u);
}

TEST(DrawImage, TheFiveCombineModes) {
    struct Case {
        Combine mode;
        int expected;
    };
    // Target 12 (1100), image 10 (1010).
    for (const Case& k : {Case{Combine::Pset, 10}, Case{Combine::Preset, 245}, Case{Combine::And, 8},
                          Case{Combine::Or, 14}, Case{Combine::Xor, 6}}) {
        Canvas target(3, 3);
        drawLine(target.surface(), 0, 0, 2, 2, 12, LineShape::FilledBox);
        Image image = createImage(1, 1);
        setPixel(image, 0, 0, 10);
        drawImage(target.surface(), 1, 1, image, k.mode);
        EXPECT_EQ(getPixel(target.image, 1, 1), k.expected) << static_cast<int>(k.mode);
        EXPECT_EQ(getPixel(target.image, 0, 0), 12);
    }
}

TEST(DrawImage, BlankPsetBlanksAndXorTwiceRestores) {
    Canvas target(8, 8);
    for (int i = 0; i < 64; ++i) target.image.pixels[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> original = target.image.pixels;
    Image pattern = createImage(5, 3);
    for (size_t i = 0; i < pattern.pixels.size(); ++i) pattern.pixels[i] = static_cast<uint8_t>(i * 13 + 1);
    drawImage(target.surface(), 2, 3, pattern, Combine::Xor);
    EXPECT_NE(target.image.pixels, original);
    drawImage(target.surface(), 2, 3, pattern, Combine::Xor);
    EXPECT_EQ(target.image.pixels, original);

    drawImage(target.surface(), 1, 1, createImage(3, 2), Combine::Pset);
    EXPECT_EQ(target.row(1), "#...####");
    EXPECT_EQ(target.row(2), "#...####");
}

TEST(DrawImage, ClippedAtEveryEdge) {
    Image image = createImage(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) setPixel(image, x, y, 1 + x + 3 * y);
    Canvas c(4, 4);
    drawImage(c.surface(), -1, -2, image, Combine::Pset);  // only the bottom-right 2x1 shows
    EXPECT_EQ(getPixel(c.image, 0, 0), 8);
    EXPECT_EQ(getPixel(c.image, 1, 0), 9);
    EXPECT_EQ(c.count(0), 14);
    Canvas d(4, 4);
    drawImage(d.surface(), 2, 3, image, Combine::Pset);
    EXPECT_EQ(getPixel(d.image, 2, 3), 1);
    EXPECT_EQ(getPixel(d.image, 3, 3), 2);
    EXPECT_EQ(d.count(0), 14);
    drawImage(d.surface(), 2147483647, -2147483647 - 1, image, Combine::Pset);
    EXPECT_EQ(d.count(0), 14);
}

// ---- window and pages ----

TEST(Pages, OpeningTheWindowClearsEveryPage) {
    Headless h;
    openWindow(h.p, 960, 720);
    setPages(h.p, 3, 3);
    drawLine(workSurface(h.p.screen), 0, 0, 959, 719, 5, LineShape::FilledBox);
    openWindow(h.p, 320, 200);
    EXPECT_EQ(h.backend.windowWidth(), 320);
    EXPECT_EQ(h.backend.windowHeight(), 200);
    for (const auto& page : h.p.screen.pages) EXPECT_EQ(page, std::vector<uint8_t>(320 * 200, 0));
}

TEST(Pages, CopyPageResolvesNegativePagesAndShowsTheVisibleOne) {
    Headless h;
    openWindow(h.p, 320, 200);
    setPages(h.p, 2, 5);
    drawLine(workSurface(h.p.screen), 10, 10, 20, 20, 9, LineShape::FilledBox);
    const auto work = h.p.screen.pages[2];
    const uint64_t presents = h.backend.presents();
    copyPage(h.p, -1, -1);  // work page onto the visible page
    EXPECT_EQ(h.p.screen.pages[5], work);
    EXPECT_EQ(h.backend.presents(), presents + 1);
    copyPage(h.p, 0, -1);  // an empty page onto the visible one
    EXPECT_EQ(h.p.screen.pages[5], h.p.screen.pages[0]);
    copyPage(h.p, -1, 7);  // a hidden page: nothing to show
    EXPECT_EQ(h.p.screen.pages[7], work);
    EXPECT_EQ(h.backend.presents(), presents + 2);
    copyPage(h.p, 2, 2);  // onto itself: unchanged
    EXPECT_EQ(h.p.screen.pages[2], work);
    copyPage(h.p, 8, 0);  // no such page
    copyPage(h.p, 2, 8);
    EXPECT_EQ(h.p.screen.pages[0], std::vector<uint8_t>(320 * 200, 0));
}

TEST(Pages, DrawingOnTheShownPageReachesTheWindowBeforeAKeyIsRead) {
    Headless h(" ");
    openWindow(h.p, 320, 200);
    setPages(h.p, 0, 0);
    const uint64_t presents = h.backend.presents();
    drawLine(workSurface(h.p.screen), 0, 0, 3, 3, 1, LineShape::Line);
    readKey(h.p);
    EXPECT_EQ(h.backend.presents(), presents + 1);
}

TEST(TextCursor, SetAndReadBack) {
    Headless h;
    setTextCursor(h.p, 7, 12);
    EXPECT_EQ(textCursorRow(h.p), 7);
    EXPECT_EQ(textCursorColumn(h.p), 12);
}

}  // namespace
}  // namespace delve
