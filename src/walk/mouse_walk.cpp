#include "walk/mouse_walk.h"

#include <vector>

#include "rules/walk_path.h"

namespace delve {

namespace {

std::string stepToward(MouseWalk& walk, const Game& g) {
    const std::vector<std::string> keys = walkKeys(g, walk.targetX, walk.targetY);
    if (keys.empty()) {
        walk.active = false;
        return "";
    }
    walk.member = g.activeMember;
    walk.hp = activeStat(g, kHp);
    walk.fromX = partyColumn(g);
    walk.fromY = partyRow(g);
    return keys.front();
}

}  // namespace

std::string startWalk(MouseWalk& walk, const Game& g, int32_t x, int32_t y) {
    walk = MouseWalk{};
    // A fallen member cannot move; the walk would pass turns for nothing.
    if (activeStat(g, kHp) <= 0) return "";
    walk.active = true;
    walk.targetX = x;
    walk.targetY = y;
    return stepToward(walk, g);
}

std::string nextWalkKey(MouseWalk& walk, const Game& g, const std::string& shownMessage) {
    if (!walk.active) return "";
    const bool arrived = partyColumn(g) == walk.targetX && partyRow(g) == walk.targetY;
    const bool hurt = g.activeMember != walk.member || activeStat(g, kHp) != walk.hp;
    // A key that moved nobody would be given again and again.
    const bool stuck = partyColumn(g) == walk.fromX && partyRow(g) == walk.fromY;
    if (arrived || stuck || !shownMessage.empty() || hurt || monsterInSight(g)) {
        walk.active = false;
        return "";
    }
    return stepToward(walk, g);
}

}  // namespace delve
