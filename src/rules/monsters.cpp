#include "rules/monsters.h"

#include <algorithm>
#include <cstdlib>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/monster_kinds.h"

namespace delve {

namespace {

// Direction cards the chase rules use.
constexpr int kCardUp = 1, kCardRight = 2, kCardDown = 3, kCardLeft = 4;

void redrawIfSeen(Game& g, int64_t x, int64_t y) {
    if (g.seenMap.get(x, y) == 0) return;
    g.cursorX = saturateInt32(x);
    g.cursorY = saturateInt32(y);
    drawCell(g);
}

}  // namespace

void monsterTurn(Game& g) {
    const int64_t r = activeStat(g, kRange);
    const int64_t px = partyColumn(g), py = partyRow(g);
    // The square of half-size r around the party, clipped to the playable
    // area; a negative range leaves it empty.
    const int64_t rowFirst = std::max(2 - py, -r), rowLast = std::min(24 - py, r);
    const int64_t columnFirst = std::max(2 - px, -r), columnLast = std::min(39 - px, r);
    // Column by column from the left, each from the top: a monster that steps
    // down or right lands on a cell still to come and moves again.
    for (int64_t co = columnFirst; co <= columnLast; ++co) {
        for (int64_t ro = rowFirst; ro <= rowLast; ++ro) {
            const int64_t x = px + co, y = py + ro;
            g.cursorX = saturateInt32(x);
            g.cursorY = saturateInt32(y);
            classifyCell(g);
            const int32_t code = g.cellChar.empty() ? 0 : static_cast<unsigned char>(g.cellChar[0]);
            const MonsterKind* kind = monsterKindOf(code);
            if (!kind) continue;
            const int direction = randomBelow(g.io.rng, kind->directionRange) + kind->directionBase;
            const int mode = randomBelow(g.io.rng, kind->modeRange) + kind->modeBase;
            monsterStep(g, static_cast<int>(x), static_cast<int>(y), direction, mode);
        }
    }
}

void monsterStep(Game& g, int mx, int my, int direction, int mode) {
    const int64_t px = partyColumn(g), py = partyRow(g);
    const int64_t rowsAway = std::llabs(int64_t{my} - py), columnsAway = std::llabs(int64_t{mx} - px);
    int d = direction;
    int m = mode;
    for (;;) {
        if (m == 1) {
            if (py < my) d = kCardUp;
            else if (py > my) d = kCardDown;
        }
        if (m == 2) {
            if (px < mx) d = kCardLeft;
            else if (px > mx) d = kCardRight;
        }
        // On the diagonal neither axis is longer: pick one at random and chase
        // along it. The new mode is 1 or 2, so this redraws at most once.
        if (m == 3 && rowsAway == columnsAway) {
            m = randomBelow(g.io.rng, 2) + 1;
            continue;
        }
        if (m == 3 && rowsAway > columnsAway) {
            if (py < my) d = kCardUp;
            else if (py > my) d = kCardDown;
        }
        if (m == 3 && rowsAway < columnsAway) {
            if (px < mx) d = kCardLeft;
            else if (px > mx) d = kCardRight;
        }
        break;
    }

    // A card the direction table lacks reads as no step, so the monster's
    // target is its own cell and it stays.
    const int64_t ty = int64_t{my} + g.rose.get(d, 1);
    const int64_t tx = int64_t{mx} + g.rose.get(d, 2);
    g.cursorX = saturateInt32(tx);
    g.cursorY = saturateInt32(ty);
    classifyCell(g);
    if (g.cellClass == 1 && g.cellChar == std::string(1, static_cast<char>(kFloor))) {
        g.levelMap.set(tx, ty, g.levelMap.get(mx, my));
        g.levelMap.set(mx, my, kFloor);
    }
    redrawIfSeen(g, tx, ty);
    g.cursorX = mx;
    g.cursorY = my;
    if (g.seenMap.get(mx, my) != 0) drawCell(g);
}

}  // namespace delve
