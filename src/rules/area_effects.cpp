#include "rules/area_effects.h"

#include <algorithm>
#include <cmath>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/monster_kinds.h"
#include "rules/party.h"

namespace delve {

namespace {

// Bounds of the playable area.
constexpr int64_t kAreaFirstColumn = 2, kAreaLastColumn = 39, kAreaFirstRow = 2, kAreaLastRow = 24;
// The reveal's centre is drawn until it lands on an open cell; with even one
// open cell that happens within a few thousand draws. Past this many the first
// open cell is taken, so the search has a certain end.
constexpr int kCentreDrawLimit = 1000000;

// A box of cells around a centre, clipped to the playable area; only cells
// within `reach` of the centre take part.
struct Patch {
    int64_t cx, cy;
    int64_t halfWidth;
    double reach;
};

// Visits the patch column by column from the left, each column from the top,
// with the cursor on each cell in turn. The order matters where cells draw
// random numbers.
template <class Visit>
void forEachCell(Game& g, const Patch& p, Visit visit) {
    const int64_t x1 = std::max(kAreaFirstColumn, p.cx - p.halfWidth);
    const int64_t x2 = std::min(kAreaLastColumn, p.cx + p.halfWidth);
    const int64_t y1 = std::max(kAreaFirstRow, p.cy - p.halfWidth);
    const int64_t y2 = std::min(kAreaLastRow, p.cy + p.halfWidth);
    for (int64_t x = x1; x <= x2; ++x) {
        for (int64_t y = y1; y <= y2; ++y) {
            const double dx = static_cast<double>(x - p.cx), dy = static_cast<double>(y - p.cy);
            if (std::sqrt(dx * dx + dy * dy) > p.reach) continue;
            g.cursorX = static_cast<int32_t>(x);
            g.cursorY = static_cast<int32_t>(y);
            visit(x, y);
        }
    }
}

// Draws the cell under the cursor and marks it seen, counting it if open.
void revealCell(Game& g, int64_t x, int64_t y) {
    drawCell(g);
    if (g.seenMap.get(x, y) != 0) return;
    g.seenMap.set(x, y, 1);
    if (g.cellClass >= 1) g.seenCellCount += 1;
}

// t1 = floor(R x e) + 1 against t2 = floor(R x D) + 1, both always drawn.
bool skillRoll(Game& g, int spell) {
    const int64_t e = g.spellExperience.get(g.activeMember, spell);
    const int64_t difficulty = g.spellDifficulty.get(spell);
    const int64_t t1 = int64_t{randomBelow(g.io.rng, e)} + 1;
    const int64_t t2 = int64_t{randomBelow(g.io.rng, difficulty)} + 1;
    return t1 >= t2;
}

Patch aroundParty(const Game& g, int64_t halfWidth, double reach) {
    return {partyColumn(g), partyRow(g), halfWidth, reach};
}

// Tinker and Passage: the party's cell and its four neighbours each take a
// skill roll; a cell holding `from` that passes becomes `to`.
void changeByRoll(Game& g, int spell, int32_t from, int32_t to) {
    forEachCell(g, aroundParty(g, 1, 1.0), [&](int64_t x, int64_t y) {
        revealCell(g, x, y);
        const bool success = skillRoll(g, spell);
        if (g.levelMap.get(x, y) == from && success) {
            g.levelMap.set(x, y, to);
            drawCell(g);
        }
    });
}

bool anyOpenCell(const Game& g) {
    for (int64_t x = kAreaFirstColumn; x <= kAreaLastColumn; ++x)
        for (int64_t y = kAreaFirstRow; y <= kAreaLastRow; ++y)
            if (classOfCode(g, g.levelMap.get(x, y)) >= 1) return true;
    return false;
}

void firstOpenCell(const Game& g, int64_t& cx, int64_t& cy) {
    for (int64_t x = kAreaFirstColumn; x <= kAreaLastColumn; ++x)
        for (int64_t y = kAreaFirstRow; y <= kAreaLastRow; ++y)
            if (classOfCode(g, g.levelMap.get(x, y)) >= 1) {
                cx = x;
                cy = y;
                return;
            }
}

}  // namespace

void viewDraw(Game& g) {
    const int64_t s = activeStat(g, kSight);
    forEachCell(g, aroundParty(g, s, static_cast<double>(s) * 0.5),
                [&](int64_t x, int64_t y) { revealCell(g, x, y); });
}

void areaReveal(Game& g) {
    // A level with no open cell has nowhere to centre the patch.
    if (!anyOpenCell(g)) return;
    int64_t cx = 0, cy = 0;
    bool found = false;
    for (int tries = 0; tries < kCentreDrawLimit && !found; ++tries) {
        cy = int64_t{randomBelow(g.io.rng, 23)} + 2;
        cx = int64_t{randomBelow(g.io.rng, 38)} + 2;
        g.cursorX = static_cast<int32_t>(cx);
        g.cursorY = static_cast<int32_t>(cy);
        classifyCell(g);
        found = g.cellClass != 0;
    }
    if (!found) firstOpenCell(g, cx, cy);

    forEachCell(g, Patch{cx, cy, 5, 2.5}, [&](int64_t x, int64_t y) {
        drawCell(g);
        if (g.cellClass < 1) return;  // rock is drawn but stays unseen
        if (g.seenMap.get(x, y) == 0) {
            g.seenMap.set(x, y, 1);
            g.seenCellCount += 1;
        }
        if (g.seenMap.get(x, y) == 1) {
            g.seenMap.set(x, y, 2);
            g.mappedCellCount += 1;
        }
    });
}

void tinkerEffect(Game& g) { changeByRoll(g, kTinker, kLockedDoor, kOpenDoor); }

void passageEffect(Game& g) { changeByRoll(g, kPassage, kThinWall, kFloor); }

void healEffect(Game& g) {
    const int64_t e = g.spellExperience.get(g.activeMember, kHeal);
    const int64_t difficulty = g.spellDifficulty.get(kHeal);
    for (int i = 1; i <= g.partySize; ++i) {
        const bool success = skillRoll(g, kHeal);
        // The amount divides by the difficulty; a spell without one heals
        // nothing rather than dividing by zero or flipping the sign.
        if (!success || !isStanding(g, i) || difficulty <= 0) continue;
        const int64_t numerator = int64_t{g.statInitial.get(i, kHp)} * e;
        int64_t amount = numerator / difficulty;
        if (numerator % difficulty != 0 && numerator < 0) --amount;  // floor, not toward zero
        g.statCurrent.set(i, kHp, addSaturated(g.statCurrent.get(i, kHp), amount));
    }
}

void bombBlast(Game& g) {
    forEachCell(g, aroundParty(g, 2, 2.0), [&](int64_t x, int64_t y) {
        drawCell(g);
        // Unlike the reveal, the blast marks rock as seen (without counting it).
        if (g.seenMap.get(x, y) == 0) {
            g.seenMap.set(x, y, 1);
            if (g.cellClass >= 1) g.seenCellCount += 1;
        }
        if (g.seenMap.get(x, y) == 1) {
            g.seenMap.set(x, y, 2);
            if (g.cellClass >= 1) g.mappedCellCount += 1;
        }
        const int32_t code = g.levelMap.get(x, y);
        int32_t after = code;
        if (code == kOpenDoor || monsterKindOf(code)) after = kFloor;
        else if (code == kLockedDoor) after = kOpenDoor;
        else if (code == kThinWall) after = kRock;
        if (after == code) return;
        g.levelMap.set(x, y, after);
        drawCell(g);
    });
}

}  // namespace delve
