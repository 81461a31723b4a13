#include "level/level_grid.h"

#include <cmath>

#include "platform/numbers.h"
#include "render/tile_drawing.h"

namespace delve {

namespace {

std::string codeText(int32_t code) { return std::string(1, static_cast<char>(code & 0xFF)); }

std::string repeated(int32_t code, int times) { return std::string(static_cast<size_t>(times), static_cast<char>(code)); }

}  // namespace

void setCellClasses(Game& g) {
    g.cellClasses[0] = codeText(kRock);
    g.cellClasses[1] = codeText(kFloor) + codeText(kStairs);
    g.cellClasses[2] = repeated(kOpenDoor, 4) + repeated(kLockedDoor, 3) + repeated(kGate, 2) + codeText(kThinWall);
    g.cellClasses[3] = repeated(kGold, 6) + repeated(kSnake, 4) + repeated(kOrc, 3) + repeated(kViperess, 2) +
                       repeated(kHealthPotion, 3) + repeated(kManaPotion, 3) + repeated(kChest, 2) +
                       codeText(kMysticOrb) + codeText(kZombie) + codeText(kShadow);
}

int classOfCode(const Game& g, int32_t code) {
    // Codes are characters: only 0..255 can be found in a class string.
    if (code < 0 || code > 255) return 0;
    const char c = static_cast<char>(code);
    for (int k = 1; k <= 3; ++k)
        if (g.cellClasses[k].find(c) != std::string::npos) return k;
    return 0;
}

void classifyCell(Game& g) {
    const int32_t code = g.levelMap.get(g.cursorX, g.cursorY);
    const int k = classOfCode(g, code);
    g.cellClass = static_cast<float>(k);
    g.cellChar = k > 0 ? codeText(code) : g.cellClasses[0].substr(0, 1);
}

void drawCell(Game& g) {
    classifyCell(g);
    // The shop shows as itself so the player can find it; for every rule it
    // stays rock.
    const bool shop = g.levelMap.get(g.cursorX, g.cursorY) == kShop;
    drawCellTile(g.io, g.cursorX, g.cursorY, shop ? codeText(kShop) : g.cellChar);
}

void placeRandomCode(Game& g, int k) {
    // There are four classes; any other k draws its number and writes nothing.
    static const std::string kNoClass;
    const std::string& classString = k >= 0 && k <= 3 ? g.cellClasses[static_cast<size_t>(k)] : kNoClass;
    int64_t length = static_cast<int64_t>(classString.size());
    if (k == 1) length -= 1;  // stairs, the last code of class 1, are never picked
    const int32_t position = randomBelow(g.io.rng, length);
    if (position < 0 || position >= length) return;
    g.levelMap.set(g.cursorX, g.cursorY, static_cast<unsigned char>(classString[static_cast<size_t>(position)]));
}

void drawUnexploredTile(Game& g) { drawCellTile(g.io, g.cursorX, g.cursorY, codeText(kUnexplored)); }

void sightUpdate(Game& g) {
    const double radius = static_cast<double>(activeStat(g, kSight)) * 0.5;
    const int32_t px = partyColumn(g), py = partyRow(g);
    for (int64_t x = int64_t{px} - 1; x <= int64_t{px} + 1; ++x) {
        for (int64_t y = int64_t{py} - 1; y <= int64_t{py} + 1; ++y) {
            const double dy = static_cast<double>(y - py), dx = static_cast<double>(x - px);
            const double d = std::sqrt(dy * dy + dx * dx);
            if (d > radius && g.seenMap.get(x, y) == 0) continue;
            g.cursorX = saturateInt32(x);
            g.cursorY = saturateInt32(y);
            drawCell(g);
            if (g.cellClass > 0 && g.seenMap.get(x, y) == 0) g.seenCellCount += 1;
            g.seenMap.set(x, y, 1);
        }
    }
}

}  // namespace delve
