#include "rules/spells.h"

#include "level/level_grid.h"
#include "rules/area_effects.h"

namespace delve {

namespace {

struct SpellRow {
    char key;
    int slot;
    int a, b;  // cost = floor(R x a) + b
    const char* report;
};

constexpr SpellRow kSpells[] = {
    {'w', kWarp, 3, 6, "[Cast 'Warp'][Mp -"},       {'v', kVision, 3, 4, "[Cast 'Vision'][Mp -"},
    {'t', kTinker, 6, 4, "[Cast 'Tinker'][Mp -"},   {'p', kPassage, 3, 5, "[Cast 'Passage'][Mp -"},
    {'h', kHeal, 2, 4, "[Cast 'Heal'][Mp -"},       {'f', kFlare, 5, 4, "[Cast 'Flare'][Mp -"},
};

bool conditionHolds(const Game& g, int slot) {
    if (slot == kWarp) return g.seenCellCount < g.openCellCount;
    if (slot == kVision) return g.mappedCellCount < g.openCellCount;
    return true;
}

void runEffect(Game& g, int slot) {
    switch (slot) {
        case kVision: areaReveal(g); break;
        case kTinker: tinkerEffect(g); break;
        case kPassage: passageEffect(g); break;
        case kHeal: healEffect(g); break;
        case kFlare: areaReveal(g); break;
        default: break;
    }
}

// A landing cell exists: floor, stairs, item or monster not merely seen.
bool warpCanLand(Game& g) {
    for (int x = 2; x <= 39; ++x)
        for (int y = 2; y <= 24; ++y) {
            const int k = classOfCode(g, g.levelMap.get(x, y));
            if ((k == 1 || k == 3) && g.seenMap.get(x, y) != 1) return true;
        }
    return false;
}

}  // namespace

void warp(Game& g, int32_t cost) {
    // Without a landing cell the search below could never end.
    if (!warpCanLand(g)) return;
    while (true) {
        const int32_t x = randomBelow(g.io.rng, 38) + 2;
        const int32_t y = randomBelow(g.io.rng, 23) + 2;
        g.cursorX = x;
        g.cursorY = y;
        classifyCell(g);
        if (g.seenMap.get(x, y) == 1 || g.cellClass == 0 || g.cellClass == 2) continue;
        g.partyX = static_cast<float>(x);
        g.partyY = static_cast<float>(y);
        break;
    }
    addActiveStat(g, kMp, -int64_t{cost});
    g.messageLine = "[Cast 'Warp'][Mp -" + decimalText(cost) + "]";
}

void castSpellForKey(Game& g) {
    for (const SpellRow& row : kSpells) {
        if (g.lastKey.size() != 1 || g.lastKey[0] != row.key) continue;
        if (g.spellKnown.get(g.activeMember, row.slot) <= 0 || !conditionHolds(g, row.slot)) continue;
        const int32_t cost = randomBelow(g.io.rng, row.a) + row.b;
        if (activeStat(g, kMp) < cost) continue;
        if (row.slot == kWarp) {
            warp(g, cost);
            continue;
        }
        runEffect(g, row.slot);
        addActiveStat(g, kMp, -int64_t{cost});
        g.messageLine = row.report + decimalText(cost) + "]";
    }
}

void useBomb(Game& g) {
    if (g.lastKey != "b" || !(g.bombs > 0) || !(g.bombs >= 1)) return;
    bombBlast(g);
    g.bombs -= 1;
    g.messageLine = "[Used Bomb][Bomb -1]";
}

}  // namespace delve
