#include "level/level_generator.h"

#include <cstdlib>

#include "level/level_grid.h"
#include "platform/numbers.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "data/play_screen.h"

// A level is made from the game's one generator, so a typed seed gives the
// same levels everywhere: every draw below happens in a fixed order, one per
// statement, and nothing draws that the order does not name.

namespace delve {

namespace {

// The playable area; nothing outside it is ever written.
constexpr int kFirstColumn = 2, kLastColumn = 39;
constexpr int kFirstRow = 2, kLastRow = 24;

bool isOpen(const Game& g, int64_t x, int64_t y) { return classOfCode(g, g.levelMap.get(x, y)) > 0; }
bool isRock(const Game& g, int64_t x, int64_t y) { return !isOpen(g, x, y); }

void setCursor(Game& g, int32_t x, int32_t y) {
    g.cursorX = x;
    g.cursorY = y;
}

void placeAt(Game& g, int32_t x, int32_t y, int k) {
    setCursor(g, x, y);
    placeRandomCode(g, k);
}

// A random cell of the room into the cursor: column first, then row.
void cursorToRandomCell(Game& g, const LevelRoom& room) {
    const int32_t cx = randomBelow(g.io.rng, room.w) + room.x0;
    const int32_t cy = randomBelow(g.io.rng, room.h) + room.y0;
    setCursor(g, cx, cy);
}

void fillWithRock(Game& g, bool shown) {
    for (int y = kFirstRow; y <= kLastRow; ++y) {
        if (shown) showProgress(g, 1, (y - 1) / 23.0);
        for (int x = kFirstColumn; x <= kLastColumn; ++x) {
            g.seenMap.set(x, y, 0);
            g.seenCellCount = 0;
            g.openCellCount = 0;
            placeAt(g, x, y, 0);
        }
    }
}

// Draws rectangles until one lies on rock only; rooms may touch.
bool chooseRoom(Game& g, LevelRoom& room) {
    for (int attempt = 0; attempt < kRoomTries; ++attempt) {
        const int32_t w = randomBelow(g.io.rng, 6) + 2;
        // floor(R x 20 / w) exactly: a single-precision quotient would round
        // 20 / 3 up and give a taller room for some draws.
        int32_t h = randomBelowRatio(g.io.rng, 20, w) + 2;
        if (h > 7) h = 7;
        const int32_t x0 = randomBelow(g.io.rng, 37 - w) + 3;
        const int32_t y0 = randomBelow(g.io.rng, 22 - h) + 3;
        bool free = true;
        for (int32_t x = x0; x < x0 + w && free; ++x)
            for (int32_t y = y0; y < y0 + h && free; ++y)
                if (isOpen(g, x, y)) free = false;
        if (free) {
            room.x0 = x0;
            room.y0 = y0;
            room.w = w;
            room.h = h;
            return true;
        }
    }
    return false;
}

// One side of the room at one cell: a door goes where open space lies behind
// a single rock cell, once per run of such positions along the side.
void sideCheck(Game& g, int32_t nearX, int32_t nearY, int32_t farX, int32_t farY, int& flag) {
    if (isRock(g, nearX, nearY) && isRock(g, farX, farY) && flag == 1) flag = 0;
    if (isOpen(g, farX, farY) && isRock(g, nearX, nearY) && flag == 0) {
        placeAt(g, nearX, nearY, 2);
        flag = 1;
    }
}

// Open space touching the room only at a corner gets a door beside it.
void cornerCheck(Game& g, int32_t openX, int32_t openY, int32_t rockAX, int32_t rockAY, int32_t rockBX,
                 int32_t rockBY, int32_t doorX, int32_t doorY) {
    if (isOpen(g, openX, openY) && isRock(g, rockAX, rockAY) && isRock(g, rockBX, rockBY))
        placeAt(g, doorX, doorY, 2);
}

void placeDoors(Game& g, const LevelRoom& room) {
    int top = 0, right = 0, bottom = 0, left = 0;
    for (int32_t x = room.x0; x < room.x0 + room.w; ++x) {
        for (int32_t y = room.y0; y < room.y0 + room.h; ++y) {
            sideCheck(g, x, y - 1, x, y - 2, top);
            sideCheck(g, x + 1, y, x + 2, y, right);
            sideCheck(g, x, y + 1, x, y + 2, bottom);
            sideCheck(g, x - 1, y, x - 2, y, left);
            cornerCheck(g, x - 1, y - 1, x, y - 1, x - 1, y, x, y - 1);
            cornerCheck(g, x + 1, y - 1, x, y - 1, x + 1, y, x + 1, y);
            cornerCheck(g, x + 1, y + 1, x, y + 1, x + 1, y, x, y + 1);
            cornerCheck(g, x - 1, y + 1, x, y + 1, x - 1, y, x - 1, y);
        }
    }
}

void furnishRoom(Game& g, const LevelRoom& room, int32_t i, int32_t stairsRoom, int32_t contentDivisor,
                 int32_t& shopsLeft) {
    for (int32_t x = room.x0; x < room.x0 + room.w; ++x)
        for (int32_t y = room.y0; y < room.y0 + room.h; ++y) placeAt(g, x, y, 1);

    placeDoors(g, room);

    // n runs while n <= w x h / contentDivisor (a real quotient): that is the
    // whole part of it, with w x h and the divisor both positive.
    const int32_t contents = (room.w * room.h) / contentDivisor;
    for (int32_t n = 1; n <= contents; ++n) {
        cursorToRandomCell(g, room);
        placeRandomCode(g, 3);
    }

    if (i == stairsRoom) {
        cursorToRandomCell(g, room);
        g.levelMap.set(g.cursorX, g.cursorY, kStairs);
    }

    // floor(1 / shopsLeft) is 0 or 1 for the first room, so r is always 1
    // there and every shop of the level lands in it.
    while (shopsLeft > 0) {
        const int32_t r = randomBelow(g.io.rng, i / shopsLeft) + 1;
        if (r != 1) break;
        cursorToRandomCell(g, room);
        if (g.levelMap.get(g.cursorX, g.cursorY) == kStairs) continue;
        g.levelMap.set(g.cursorX, g.cursorY, kShop);
        --shopsLeft;
    }
}

// A door left without a wall on two opposite sides becomes floor; then every
// cell is drawn (under the cover, never seen) and the open ones counted.
void checkDoorsAndCount(Game& g, bool shown) {
    for (int x = kFirstColumn; x <= kLastColumn; ++x) {
        for (int y = kFirstRow; y <= kLastRow; ++y) {
            if (classOfCode(g, g.levelMap.get(x, y)) == 2) {
                int rock = 0;
                int firstX = 0, firstY = 0, secondX = 0, secondY = 0;
                for (int bx = x - 1; bx <= x + 1; ++bx) {
                    for (int by = y - 1; by <= y + 1; ++by) {
                        if (!isRock(g, bx, by)) continue;
                        ++rock;
                        if (rock == 1) {
                            firstX = bx;
                            firstY = by;
                        } else if (rock == 2) {
                            secondX = bx;
                            secondY = by;
                        }
                    }
                }
                const bool adjacentPair =
                    rock == 2 && std::abs(firstX - secondX) < 2 && std::abs(firstY - secondY) < 2;
                if (rock < 2 || adjacentPair) placeAt(g, x, y, 1);
            }
            setCursor(g, x, y);
            if (shown)
                drawCell(g);
            else
                classifyCell(g);
            if (g.cellClass > 0) g.openCellCount += 1;
        }
        if (shown) showProgress(g, 2, (x - 1) / 38.0);
    }
}

void coverMap(Game& g) {
    for (int y = kFirstRow; y <= kLastRow; ++y) {
        showProgress(g, 3, (y - 1) / 23.0);
        for (int x = kFirstColumn; x <= kLastColumn; ++x) {
            setCursor(g, x, y);
            drawUnexploredTile(g);
        }
    }
}

// The start cell is drawn at random until it is floor. Every level has floor,
// so the search ends; the bound and the scan only keep a damaged grid from
// spinning forever.
bool placeParty(Game& g) {
    for (int attempt = 0; attempt < kPartyTries; ++attempt) {
        const int32_t x = randomBelow(g.io.rng, 38) + 2;
        g.partyX = static_cast<float>(x);
        const int32_t y = randomBelow(g.io.rng, 23) + 2;
        g.partyY = static_cast<float>(y);
        setCursor(g, x, y);
        classifyCell(g);
        if (g.levelMap.get(x, y) == kFloor) return true;
    }
    for (int x = kFirstColumn; x <= kLastColumn; ++x) {
        for (int y = kFirstRow; y <= kLastRow; ++y) {
            if (g.levelMap.get(x, y) != kFloor) continue;
            g.partyX = static_cast<float>(x);
            g.partyY = static_cast<float>(y);
            setCursor(g, x, y);
            classifyCell(g);
            return false;
        }
    }
    return false;
}

}  // namespace

void showProgress(Game& g, int phase, double progress) {
    int top = 0, bar = 0;
    switch (phase) {
        case 1: top = 136; bar = 152; break;
        case 2: top = 144; bar = 160; break;
        case 3: top = 152; bar = 168; break;
        default: return;
    }
    // The panel is drawn over the intro picture (page 2) while the work page
    // waits on page 3, so the level being built never shows.
    copyPage(g.io, 0, 3);
    copyPage(g.io, 2, 0);
    drawFontText(g.io, 32, top, "Please wait...");
    const int end = roundHalfEven(240.0 * progress + 39.0);
    fillBox(g.io, 32, bar, 279, bar + 7, 8);
    fillBox(g.io, 32, bar, end, bar + 7, 10);
    drawBoxOutline(g.io, 32, bar, 279, bar + 7, 15);
    copyPage(g.io, 0, 1);
    copyPage(g.io, 3, 0);
}

void makeLevel(Game& g) {
    LevelReport report;
    makeLevel(g, report);
}

void makeLevel(Game& g, LevelReport& report, LevelDrawing drawing) {
    const bool shown = drawing == LevelDrawing::Shown;
    report = LevelReport{};
    const int32_t roomCount = randomBelow(g.io.rng, 10) + 26;
    const int32_t stairsRoom = randomBelow(g.io.rng, roomCount) + 1;
    int32_t shopsLeft = randomBelow(g.io.rng, 3);
    g.shopIndex = static_cast<float>(randomBelow(g.io.rng, 18) + 1);
    const int32_t contentDivisor = randomBelow(g.io.rng, 8) + 8;
    report.roomCount = roomCount;
    report.stairsRoom = stairsRoom;
    report.shopsPlanned = shopsLeft;
    report.contentDivisor = contentDivisor;

    if (shown) redrawPlayScreen(g);
    g.levelNumber = addSaturated(g.levelNumber, 1);

    fillWithRock(g, shown);

    for (int32_t i = 1; i <= roomCount; ++i) {
        LevelRoom room;
        room.number = i;
        // A room that finds no place is left out; the numbering goes on.
        if (!chooseRoom(g, room)) continue;
        furnishRoom(g, room, i, stairsRoom, contentDivisor, shopsLeft);
        report.rooms.push_back(room);
    }

    checkDoorsAndCount(g, shown);
    if (shown) {
        coverMap(g);
        redrawPlayScreen(g);
    }
    report.partyFallback = !placeParty(g);
}

}  // namespace delve
