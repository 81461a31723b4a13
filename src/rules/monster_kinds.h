#pragma once
// The five monsters: the cell code each one is, what its attack rolls and
// reports, and how it draws its direction card and chase mode. Attacks and
// the monster turn both walk this table in this order.
#include <array>
#include <cstdint>
#include <string_view>

#include "level/level_grid.h"

namespace delve {

struct MonsterKind {
    int32_t code;
    std::string_view name;
    int damageRoll;  // the attack rolls floor(R x damageRoll) before defence
    int directionRange, directionBase;  // card = floor(R x range) + base
    int modeRange, modeBase;            // mode = floor(R x range) + base
};

inline constexpr std::array<MonsterKind, 5> kMonsterKinds = {{
    {kSnake, "Snake", 10, 4, 1, 3, 0},
    {kOrc, "Orc", 20, 5, 0, 3, 0},  // the Orc can draw card 0
    {kViperess, "Viperess", 15, 4, 1, 2, 1},
    {kZombie, "Zombie", 17, 4, 1, 3, 1},
    {kShadow, "Shadow", 22, 4, 1, 1, 4},  // always mode 4, but the draw is made
}};

// The kind whose code this is, or nullptr.
inline const MonsterKind* monsterKindOf(int32_t code) {
    for (const MonsterKind& kind : kMonsterKinds)
        if (kind.code == code) return &kind;
    return nullptr;
}

}  // namespace delve
