#include <gtest/gtest.h>

#include <map>

#include "level/level_grid.h"
#include "render/tile_drawing.h"
#include "support/support.h"

using namespace delve;
using delve::test::HeadlessGame;
using delve::test::ScratchDir;

namespace {

// An 8 by 8 tile file of one colour.
std::string solidTile(int colour) {
    std::string bytes(11, '\0');
    bytes[0] = static_cast<char>(253);
    bytes[7] = 8;
    bytes[9] = 8;
    for (int row = 0; row < 8; ++row)
        for (int plane = 0; plane < 4; ++plane) bytes += (colour >> plane & 1) ? '\xFF' : '\0';
    return bytes;
}

std::string mapTilePath(int code) { return "tiles/map/map_" + threeDigits(code) + ".til"; }

// The colour at the middle of cell (x, y) on the work page.
int cellColour(const HeadlessGame& h, int x, int y) {
    const Screen& s = h.platform.screen;
    return s.pages[0][static_cast<size_t>((16 * y - 8) * s.width + 16 * x - 8)];
}

struct GridFixture : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        // Each code its own colour, so a drawn cell tells what was drawn.
        dir.write(mapTilePath(kRock), solidTile(1));
        dir.write(mapTilePath(kFloor), solidTile(2));
        dir.write(mapTilePath(kShop), solidTile(3));
        dir.write(mapTilePath(kGold), solidTile(4));
        dir.write(mapTilePath(kOpenDoor), solidTile(5));
        dir.write(mapTilePath(kUnexplored), solidTile(6));
    }
};

}  // namespace

TEST(CellClasses, EveryCodeFallsInItsClassAndEverythingElseIsRock) {
    HeadlessGame h;
    Game& g = h.game;
    setCellClasses(g);
    EXPECT_EQ(g.cellClasses[0].size(), 1u);
    EXPECT_EQ(g.cellClasses[1].size(), 2u);
    EXPECT_EQ(g.cellClasses[2].size(), 10u);
    EXPECT_EQ(g.cellClasses[3].size(), 26u);
    for (int32_t code : {kFloor, kStairs}) EXPECT_EQ(classOfCode(g, code), 1) << code;
    for (int32_t code : {kOpenDoor, kLockedDoor, kGate, kThinWall}) EXPECT_EQ(classOfCode(g, code), 2) << code;
    for (int32_t code : {kGold, kManaPotion, kHealthPotion, kChest, kMysticOrb, kSnake, kOrc, kViperess, kZombie,
                         kShadow})
        EXPECT_EQ(classOfCode(g, code), 3) << code;
    // Codes beyond a byte must not alias a class character (219 + 256).
    for (int32_t code : std::initializer_list<int32_t>{kOutside, kRock, kShop, kUnexplored, 65, 219 + 256, -37, 1 << 30})
        EXPECT_EQ(classOfCode(g, code), 0) << code;
}

TEST(CellClasses, ClassifyReportsTheCodeOrRock) {
    HeadlessGame h;
    Game& g = h.game;
    setCellClasses(g);
    g.levelMap.set(5, 6, kSnake);
    g.levelMap.set(7, 6, kShop);
    g.cursorX = 5;
    g.cursorY = 6;
    classifyCell(g);
    EXPECT_EQ(g.cellClass, 3.0f);
    EXPECT_EQ(g.cellChar, std::string(1, static_cast<char>(kSnake)));
    for (auto [x, y] : {std::pair{7, 6}, std::pair{0, 0}, std::pair{41, 3}, std::pair{-1, 3}, std::pair{3, 26}}) {
        g.cursorX = x;
        g.cursorY = y;
        classifyCell(g);
        EXPECT_EQ(g.cellClass, 0.0f) << x << "," << y;
        EXPECT_EQ(g.cellChar, std::string(1, static_cast<char>(kRock))) << x << "," << y;
    }
    EXPECT_EQ(h.platform.rng.draws, 0u);
}

TEST(CellGrid, OutsideReadsZeroIgnoresWritesAndNeverWraps) {
    CellGrid grid;
    grid.set(41, 0, 7);   // would be (0, 1) if rows wrapped
    grid.set(-1, 1, 7);   // would be (40, 0)
    grid.set(0, 26, 7);
    grid.set(40, 25, 9);  // the last real cell
    EXPECT_EQ(grid.get(0, 1), 0);
    EXPECT_EQ(grid.get(40, 0), 0);
    EXPECT_EQ(grid.get(41, 0), 0);
    EXPECT_EQ(grid.get(40, 25), 9);
    int nonZero = 0;
    for (int32_t v : grid.cells) nonZero += v != 0;
    EXPECT_EQ(nonZero, 1);
}

TEST_F(GridFixture, DrawCellShowsClassifiedTileButShopAsItself) {
    HeadlessGame h(dir.path());
    Game& g = h.game;
    setCellClasses(g);
    g.levelMap.set(3, 3, kFloor);
    g.levelMap.set(4, 3, kShop);
    g.levelMap.set(5, 3, 99);  // unknown code: rock
    g.levelMap.set(6, 3, kGold);
    for (int x = 3; x <= 6; ++x) {
        g.cursorX = x;
        g.cursorY = 3;
        drawCell(g);
    }
    EXPECT_EQ(cellColour(h, 3, 3), 2);
    EXPECT_EQ(cellColour(h, 4, 3), 3);
    EXPECT_EQ(g.cellClass, 3.0f);
    EXPECT_EQ(cellColour(h, 5, 3), 1);
    EXPECT_EQ(cellColour(h, 6, 3), 4);
    // The shop stays rock for every rule.
    g.cursorX = 4;
    classifyCell(g);
    EXPECT_EQ(g.cellClass, 0.0f);

    g.cursorX = 8;
    drawUnexploredTile(g);
    EXPECT_EQ(cellColour(h, 8, 3), 6);
    EXPECT_EQ(g.levelMap.get(8, 3), 0);
}

TEST(PlaceRandomCode, WeightsFollowTheClassStringsOneDrawEach) {
    HeadlessGame h;
    Game& g = h.game;
    setCellClasses(g);
    seedRandomState(h.platform.rng, 12345);
    g.cursorX = 10;
    g.cursorY = 10;

    auto tally = [&](int k, int n) {
        std::map<int32_t, int> counts;
        for (int i = 0; i < n; ++i) {
            const uint64_t before = h.platform.rng.draws;
            placeRandomCode(g, k);
            EXPECT_EQ(h.platform.rng.draws, before + 1);
            ++counts[g.levelMap.get(10, 10)];
        }
        return counts;
    };

    const int n = 260000;
    auto third = tally(3, n);
    const std::map<int32_t, int> weights3 = {{kGold, 6},         {kSnake, 4},    {kOrc, 3},       {kHealthPotion, 3},
                                             {kManaPotion, 3},   {kViperess, 2}, {kChest, 2},     {kMysticOrb, 1},
                                             {kZombie, 1},       {kShadow, 1}};
    EXPECT_EQ(third.size(), weights3.size());
    for (auto [code, weight] : weights3) EXPECT_NEAR(third[code], n / 26.0 * weight, n * 0.005) << code;

    auto second = tally(2, n);
    const std::map<int32_t, int> weights2 = {{kOpenDoor, 4}, {kLockedDoor, 3}, {kGate, 2}, {kThinWall, 1}};
    EXPECT_EQ(second.size(), weights2.size());
    for (auto [code, weight] : weights2) EXPECT_NEAR(second[code], n / 10.0 * weight, n * 0.005) << code;

    auto first = tally(1, 20000);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_EQ(first[kFloor], 20000);

    auto zeroth = tally(0, 1000);
    EXPECT_EQ(zeroth.size(), 1u);
    EXPECT_EQ(zeroth[kRock], 1000);

    // No such class: the draw is still spent, the cell is left alone.
    tally(7, 10);
    EXPECT_EQ(g.levelMap.get(10, 10), kRock);
}

TEST(PlaceRandomCode, WritesAtTheCursorOnlyInsideTheGrid) {
    HeadlessGame h;
    Game& g = h.game;
    setCellClasses(g);
    g.cursorX = 41;
    g.cursorY = 0;
    placeRandomCode(g, 1);
    for (int32_t v : g.levelMap.cells) EXPECT_EQ(v, 0);
    EXPECT_EQ(h.platform.rng.draws, 1u);
}

namespace {

// Party at (10, 10) with the given sight; around it floor, a rock column on
// the left and a door below.
void setUpSight(Game& g, int sight) {
    setCellClasses(g);
    g.partyCount = 1;
    g.statCount = 6;
    g.activeMember = 1;
    g.statCurrent.resize(1, 1, 1, 6);
    g.statCurrent.set(1, kSight, sight);
    for (int x = 9; x <= 11; ++x)
        for (int y = 9; y <= 11; ++y) g.levelMap.set(x, y, x == 9 ? kRock : kFloor);
    g.levelMap.set(10, 11, kOpenDoor);
    g.partyX = 10;
    g.partyY = 10;
}

std::vector<std::pair<int, int>> seenCells(const Game& g) {
    std::vector<std::pair<int, int>> seen;
    for (int x = 0; x < kGridColumns; ++x)
        for (int y = 0; y < kGridRows; ++y)
            if (g.seenMap.get(x, y) != 0) seen.emplace_back(x, y);
    return seen;
}

}  // namespace

TEST_F(GridFixture, SightRevealsByDistanceAndCountsOpenCellsOnce) {
    using Cells = std::vector<std::pair<int, int>>;
    const Cells own = {{10, 10}};
    const Cells cross = {{9, 10}, {10, 9}, {10, 10}, {10, 11}, {11, 10}};
    const Cells all = {{9, 9}, {9, 10}, {9, 11}, {10, 9}, {10, 10}, {10, 11}, {11, 9}, {11, 10}, {11, 11}};
    struct Case {
        int sight;
        Cells seen;
        float counted;  // open cells among them (the left column is rock)
    };
    for (const Case& c : {Case{0, own, 1}, Case{1, own, 1}, Case{2, cross, 4}, Case{3, all, 6}, Case{4, all, 6}}) {
        HeadlessGame h(dir.path());
        Game& g = h.game;
        setUpSight(g, c.sight);
        sightUpdate(g);
        EXPECT_EQ(seenCells(g), c.seen) << "sight " << c.sight;
        EXPECT_EQ(g.seenCellCount, c.counted) << "sight " << c.sight;
        for (auto [x, y] : c.seen) EXPECT_NE(cellColour(h, x, y), 0) << x << "," << y;
        // Cursor left at the last cell handled.
        EXPECT_EQ(std::pair(g.cursorX, g.cursorY), c.seen.back());
        // A second look counts nothing more.
        sightUpdate(g);
        EXPECT_EQ(g.seenCellCount, c.counted) << "sight " << c.sight;
        EXPECT_EQ(h.platform.rng.draws, 0u);
    }
}

TEST_F(GridFixture, CellsSeenEarlierAreRedrawnButNotCountedAgain) {
    HeadlessGame h(dir.path());
    Game& g = h.game;
    setUpSight(g, 2);
    g.seenMap.set(11, 11, 1);  // a diagonal seen before, out of sight now
    g.seenMap.set(11, 9, 2);   // one counted by an area effect
    sightUpdate(g);
    EXPECT_EQ(cellColour(h, 11, 11), 2);
    EXPECT_EQ(cellColour(h, 11, 9), 2);
    EXPECT_EQ(cellColour(h, 9, 9), 0);  // unseen diagonal: not drawn
    EXPECT_EQ(g.seenMap.get(11, 9), 1);
    EXPECT_EQ(g.seenMap.get(9, 9), 0);
    EXPECT_EQ(g.seenCellCount, 4.0f);  // own cell, up, right, door below
}
