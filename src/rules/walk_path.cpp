#include "rules/walk_path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

#include "level/level_grid.h"
#include "rules/monster_kinds.h"

namespace delve {

namespace {

struct Step {
    const char* key;
    int dx, dy;
};
constexpr std::array<Step, 4> kSteps = {{{"8", 0, -1}, {"6", 1, 0}, {"2", 0, 1}, {"4", -1, 0}}};

// A move key refuses to leave x 2..39 and y 2..24, so a walk never plans it.
bool reachable(int64_t x, int64_t y) { return x >= 2 && x <= 39 && y >= 2 && y <= 24; }

size_t indexOf(int64_t x, int64_t y) { return static_cast<size_t>(y * kGridColumns + x); }

}  // namespace

bool freeToWalk(const Game& g, int64_t x, int64_t y) {
    if (!reachable(x, y) || g.seenMap.get(x, y) == 0) return false;
    const int32_t code = g.levelMap.get(x, y);
    if (code == kFloor || code == kStairs || code == kOpenDoor) return true;
    // Items: what class 3 holds besides the monsters.
    return classOfCode(g, code) == 3 && monsterKindOf(code) == nullptr;
}

std::vector<std::string> walkKeys(const Game& g, int32_t x, int32_t y) {
    const int64_t fromX = partyColumn(g), fromY = partyRow(g);
    if ((fromX == x && fromY == y) || !freeToWalk(g, x, y) || !CellGrid::inside(fromX, fromY)) return {};
    // Steps to the target from every free cell, breadth first from it. The
    // party's own cell need not be free (it may stand on a shop).
    constexpr int kFar = -1;
    std::array<int, kGridColumns * kGridRows> distance;
    distance.fill(kFar);
    std::deque<std::pair<int64_t, int64_t>> open{{x, y}};
    distance[indexOf(x, y)] = 0;
    while (!open.empty()) {
        const auto [cx, cy] = open.front();
        open.pop_front();
        for (const Step& s : kSteps) {
            const int64_t nx = cx + s.dx, ny = cy + s.dy;
            if (!freeToWalk(g, nx, ny) || distance[indexOf(nx, ny)] != kFar) continue;
            distance[indexOf(nx, ny)] = distance[indexOf(cx, cy)] + 1;
            open.emplace_back(nx, ny);
        }
    }
    // From the party, each step goes to a neighbour one step nearer; the
    // first key in the order above wins a tie.
    std::vector<std::string> keys;
    int64_t cx = fromX, cy = fromY;
    int want = kFar;
    for (const Step& s : kSteps) {
        const int64_t nx = cx + s.dx, ny = cy + s.dy;
        const int d = freeToWalk(g, nx, ny) ? distance[indexOf(nx, ny)] : kFar;
        if (d != kFar && (want == kFar || d < want)) want = d;
    }
    if (want == kFar) return {};
    while (true) {
        for (const Step& s : kSteps) {
            const int64_t nx = cx + s.dx, ny = cy + s.dy;
            if (!freeToWalk(g, nx, ny) || distance[indexOf(nx, ny)] != want) continue;
            keys.emplace_back(s.key);
            cx = nx;
            cy = ny;
            break;
        }
        if (want == 0) return keys;
        --want;
    }
}

bool monsterInSight(const Game& g) {
    const double reach = static_cast<double>(activeStat(g, kSight)) * 0.5;
    const int64_t px = partyColumn(g), py = partyRow(g);
    // The grid bounds the search whatever the stat says.
    const int64_t r = static_cast<int64_t>(std::ceil(std::clamp(reach, 0.0, double{kGridColumns})));
    for (int64_t y = std::max<int64_t>(0, py - r); y <= std::min<int64_t>(kGridRows - 1, py + r); ++y) {
        for (int64_t x = std::max<int64_t>(0, px - r); x <= std::min<int64_t>(kGridColumns - 1, px + r); ++x) {
            const double dx = static_cast<double>(x - px), dy = static_cast<double>(y - py);
            if (std::sqrt(dx * dx + dy * dy) > reach) continue;
            if (monsterKindOf(g.levelMap.get(x, y))) return true;
        }
    }
    return false;
}

bool cellAtFramePixel(int px, int py, int32_t& x, int32_t& y) {
    // Cell (x, y) covers frame pixels 16 (x - 1) .. 16 x - 1, likewise down.
    if (px < 0 || py < 0) return false;
    x = px / 16 + 1;
    y = py / 16 + 1;
    return x <= kGridColumns - 1 && y <= kGridRows - 1;
}

}  // namespace delve
