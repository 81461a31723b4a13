#include "rules/pickups.h"

#include <string>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/party.h"

namespace delve {

namespace {

// Rolls of 16 and 17 mean "someone joins"; with nobody fallen the chest rolls
// again. Other rolls end it, so in practice it stops after a roll or two; the
// cap only guarantees an end, after which the chest gives a key.
constexpr int kChestRollLimit = 10000;
// The orb redraws a spell already at its ceiling; k = 0 always stands, so this
// too ends by itself, and the cap merely makes sure (no spell event then).
constexpr int kSpellDrawLimit = 10000;

void raiseActiveStatForGood(Game& g, int stat, int64_t amount) {
    addActiveStat(g, stat, amount);
    g.statInitial.set(g.activeMember, stat, addSaturated(g.statInitial.get(g.activeMember, stat), amount));
}

// Every pickup leaves floor behind and looks around again.
void clearItemCell(Game& g) {
    g.levelMap.set(partyColumn(g), partyRow(g), kFloor);
    sightUpdate(g);
}

std::string report(const std::string& what, int64_t amount) { return "[" + what + " +" + decimalText(amount) + "]"; }

// A shift of the orb: a gain raises the initial value too, a loss only the
// current one.
void shiftStat(Game& g, int stat) {
    const int64_t d = int64_t{randomBelow(g.io.rng, 5)} - 2;
    addActiveStat(g, stat, d);
    if (d > 0) g.statInitial.set(g.activeMember, stat, addSaturated(g.statInitial.get(g.activeMember, stat), d));
}

int32_t experience(const Game& g, int k) { return g.spellExperience.get(g.activeMember, k); }

}  // namespace

namespace {

// A potion adds its amount in full; the end-of-turn limits cut it back.
void pickUpPotion(Game& g, int stat, int64_t spread, int64_t least, const char* word) {
    const int64_t amount = int64_t{randomBelow(g.io.rng, spread)} + least;
    addActiveStat(g, stat, amount);
    clearItemCell(g);
    g.messageLine = report(word, amount);
}

}  // namespace

void pickUpManaPotion(Game& g) { pickUpPotion(g, kMp, 3, 5, "Mp"); }

void pickUpGold(Game& g) {
    const int64_t amount = int64_t{randomBelow(g.io.rng, 15)} + 1;
    g.gold += static_cast<float>(amount);
    clearItemCell(g);
    g.messageLine = report("Gold", amount);
}

void pickUpHealthPotion(Game& g) { pickUpPotion(g, kHp, 5, 8, "Hp"); }

void pickUpChest(Game& g) {
    int roll = 0;
    for (int tries = 0;; ++tries) {
        roll = randomBelow(g.io.rng, 17) + 1;
        if (roll <= 15) break;
        if (joinMembers(g) > 0) break;
        if (tries + 1 >= kChestRollLimit) {
            roll = 10;
            break;
        }
    }

    if (roll >= 1 && roll <= 3) {
        const int64_t a = randomBelow(g.io.rng, 4);
        raiseActiveStatForGood(g, kAp, a);
        raiseActiveStatForGood(g, kDp, 3 - a);
        g.messageLine = report("Ap", a) + report("Dp", 3 - a);
    } else if (roll >= 4 && roll <= 6) {
        const int64_t a = int64_t{randomBelow(g.io.rng, 3)} + 1;
        raiseActiveStatForGood(g, kAp, a);
        g.messageLine = report("Ap", a);
    } else if (roll >= 7 && roll <= 9) {
        const int64_t a = int64_t{randomBelow(g.io.rng, 3)} + 1;
        raiseActiveStatForGood(g, kDp, a);
        g.messageLine = report("Dp", a);
    } else if (roll >= 10 && roll <= 12) {
        g.keys += 1;
        g.messageLine = report("Key", 1);
    } else if (roll >= 13 && roll <= 15) {
        g.bombs += 1;
        g.messageLine = report("Bomb", 1);
    }
    // Rolls 16 and 17 have already joined someone, with the join's message.
    clearItemCell(g);
}

void pickUpMysticOrb(Game& g) {
    shiftStat(g, kMp);
    const int64_t goldShift = int64_t{randomBelow(g.io.rng, 5)} - 2;
    g.gold += static_cast<float>(goldShift);
    if (g.gold < 0) g.gold = 0;
    shiftStat(g, kHp);
    shiftStat(g, kAp);
    shiftStat(g, kDp);
    clearItemCell(g);

    // A spell already at its ceiling is drawn again; 0 means no spell event.
    int k = 0;
    for (int draws = 0; draws < kSpellDrawLimit; ++draws) {
        g.messageLine = "[Mystic Orb]";
        k = randomBelow(g.io.rng, 7);
        if (k < 1 || experience(g, k) != g.spellDifficulty.get(k)) break;
        k = 0;
    }
    if (k < 1) return;

    const int32_t difficulty = g.spellDifficulty.get(k);
    const int32_t known = g.spellKnown.get(g.activeMember, k);
    const int32_t before = experience(g, k);
    if (known == 1 && before < difficulty) {
        // Both rolls must straddle the experience: a spell never practised
        // cannot improve this way, one half-way to its ceiling most often.
        const int64_t t1 = randomBelow(g.io.rng, difficulty);
        const int64_t t2 = int64_t{randomBelow(g.io.rng, difficulty)} + 1;
        if (t1 < before && t2 > before) {
            const int64_t gain = int64_t{randomBelow(g.io.rng, 5)} + 1;
            g.spellExperience.set(g.activeMember, k, addSaturated(before, gain));
            g.messageLine = "[Mystic Orb: '" + g.spellName.get(k) + "' Increased]";
        }
    }
    if (known == 0) {
        g.spellKnown.set(g.activeMember, k, 1);
        g.messageLine = "[Mystic Orb: Learned '" + g.spellName.get(k) + "']";
    }
    if (experience(g, k) > difficulty) g.spellExperience.set(g.activeMember, k, difficulty);
}

}  // namespace delve
