#include <gtest/gtest.h>

#include "platform/sdl/frame_fit.h"
#include "platform/sdl/local_clock.h"

namespace delve {
namespace {

void expectRect(const FrameRect& r, int x, int y, int w, int h, bool whole) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
    EXPECT_EQ(r.wholeScale, whole);
}

TEST(FrameFit, LargestWholeFactorCentredOnBlack) {
    expectRect(fitFrame(960, 720, 960, 720), 0, 0, 960, 720, true);
    // The seed prompt's small frame inside the unchanged window.
    expectRect(fitFrame(960, 720, 320, 200), 0, 60, 960, 600, true);
    // A high-density display doubles the pixels of the same window.
    expectRect(fitFrame(1920, 1440, 960, 720), 0, 0, 1920, 1440, true);
    // Not quite enough room for 3x: 2x, centred.
    expectRect(fitFrame(2000, 1500, 960, 720), 40, 30, 1920, 1440, true);
    expectRect(fitFrame(1919, 1440, 960, 720), 479, 360, 960, 720, true);
}

TEST(FrameFit, SmallerThanOneFrameKeepsTheShape) {
    expectRect(fitFrame(480, 360, 960, 720), 0, 0, 480, 360, false);
    expectRect(fitFrame(400, 600, 960, 720), 0, 150, 400, 300, false);
    expectRect(fitFrame(900, 300, 960, 720), 250, 0, 400, 300, false);
    expectRect(fitFrame(300, 150, 320, 200), 30, 0, 240, 150, false);
}

TEST(FrameFit, NothingToShow) {
    EXPECT_EQ(fitFrame(0, 720, 960, 720).width, 0);
    EXPECT_EQ(fitFrame(960, 720, 0, 0).width, 0);
}

TEST(LocalClock, Formats) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 9;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(formatClockDate(t), "03-09-2026");
    EXPECT_EQ(formatClockTime(t), "07:05:09");
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    EXPECT_EQ(formatClockTime(t), "23:59:58");
}

}  // namespace
}  // namespace delve
