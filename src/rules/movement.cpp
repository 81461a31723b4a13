#include "rules/movement.h"

#include <string>

#include "level/level_grid.h"
#include "platform/random.h"
#include "rules/monster_kinds.h"

namespace delve {

namespace {

struct MoveKey {
    int dx, dy;
};

// The step of a movement key, and whether the key is one at all.
bool moveKeyOf(const std::string& key, MoveKey& step) {
    if (key == "8") step = {0, -1};
    else if (key == "6") step = {1, 0};
    else if (key == "2") step = {0, 1};
    else if (key == "4") step = {-1, 0};
    else return false;
    return true;
}

// Each key tests only the edge it walks toward; that keeps the party in the
// playable area.
bool targetInside(const MoveKey& step, int64_t tx, int64_t ty) {
    if (step.dy < 0) return ty >= 2;
    if (step.dx > 0) return tx <= 39;
    if (step.dy > 0) return ty <= 24;
    return tx >= 2;
}

void stepParty(Game& g, const MoveKey& step) {
    g.partyX += static_cast<float>(step.dx);
    g.partyY += static_cast<float>(step.dy);
}

// A monster sharing the party's cell attacks, whether or not the party moved.
void monsterAttack(Game& g) {
    const MonsterKind* kind = monsterKindOf(g.levelMap.get(partyColumn(g), partyRow(g)));
    if (!kind) return;
    const int64_t attack = randomBelow(g.io.rng, kind->damageRoll);
    const int64_t defence = randomBelow(g.io.rng, activeStat(g, kDp));
    int64_t damage = attack - defence;
    if (damage < 0) damage = 0;
    addActiveStat(g, kHp, -damage);
    g.messageLine = "[Attacked by " + std::string(kind->name) + "][Hp -" + decimalText(damage) + "]";
}

}  // namespace

void moveParty(Game& g) {
    MoveKey step{};
    if (!moveKeyOf(g.lastKey, step)) return;
    const int64_t tx = int64_t{partyColumn(g)} + step.dx;
    const int64_t ty = int64_t{partyRow(g)} + step.dy;
    const bool inside = targetInside(step, tx, ty);

    // One classification of the target serves every rule below, even after a
    // rule has rewritten the cell or moved the cursor.
    g.cursorX = saturateInt32(tx);
    g.cursorY = saturateInt32(ty);
    classifyCell(g);
    const int cls = static_cast<int>(g.cellClass);
    const int32_t code = g.cellChar.empty() ? 0 : static_cast<unsigned char>(g.cellChar[0]);
    const bool door = cls == 2;

    if (cls == 1 && code == kFloor && inside) stepParty(g, step);
    if (cls == 1 && code == kStairs && inside) stepParty(g, step);
    if (door && code == kOpenDoor && inside) stepParty(g, step);
    // The shop classifies as rock; this is the one way onto it.
    if (g.levelMap.get(tx, ty) == kShop && inside) stepParty(g, step);

    if (door && code == kLockedDoor && g.keys == 0) g.messageLine = "[Door is locked]";
    if (door && code == kLockedDoor && g.keys > 0 && inside) {
        g.keys -= 1;
        g.messageLine = "[Unlocked door][Used 1 Key]";
        g.levelMap.set(tx, ty, kOpenDoor);
        sightUpdate(g);
    }

    // A gate always hurts; whether it also gives way is the force roll's.
    int64_t gateDamage = 0;
    if (door && code == kGate) {
        gateDamage = randomBelow(g.io.rng, 4);
        addActiveStat(g, kHp, -gateDamage);
        g.messageLine = "[Couldn't force gate][Hp -" + decimalText(gateDamage) + "]";
    }
    // The force roll is drawn on every move, so a seed replays the same
    // whatever the party bumps into.
    const int64_t ap = activeStat(g, kAp);
    const int64_t a = int64_t{randomBelow(g.io.rng, ap)} + 1;
    const int64_t b = randomBelow(g.io.rng, 2 * ap);
    const int64_t c = randomBelow(g.io.rng, 10);
    if (door && code == kGate && a > b + c + 2 && inside)
        g.messageLine = "[Forced gate][Hp -" + decimalText(gateDamage) + "]";
    if (door && code == kGate && g.messageLine.compare(0, 13, "[Forced gate]") == 0) {
        g.levelMap.set(tx, ty, kFloor);
        sightUpdate(g);
    }

    // Likewise the thin wall's cost is drawn on every move.
    const int64_t cost = int64_t{randomBelow(g.io.rng, 3)} + 3;
    if (door && code == kThinWall && activeStat(g, kMp) >= cost && inside) {
        stepParty(g, step);
        addActiveStat(g, kMp, -cost);
        g.messageLine = "[Passed through wall][Mp -" + decimalText(cost) + "]";
    }

    if (cls == 3 && inside) stepParty(g, step);

    monsterAttack(g);
}

}  // namespace delve
