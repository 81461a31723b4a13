#pragma once
// The simulated players. A policy looks at what the player could see (the
// cells of the level seen so far, the party's panels) before each key and
// chooses that key; it never reads unseen cells or the random generator.
#include <optional>
#include <string>

#include "game/game_state.h"

namespace delve::sim {

enum class PolicyKind {
    // Takes the cheapest known way to the stairs once it knows one, else to
    // the nearest unexplored space, straight through monsters, locked doors
    // (a key or Tinker), gates and thin walls; picks up what it stands on;
    // takes the stairs. Switches member only when the active one has fallen;
    // with no way on left, casts Warp or switches to a member who can.
    Explorer,
    // The explorer, but keeps off and away from the monsters it can see,
    // pushes gates only while it has half its Hp (or when nothing else is
    // left), heals when low (Heal, a fitter member, a known health potion),
    // and when monsters block every way on throws a bomb or casts Flare,
    // waits a little, and only then walks through.
    Cautious
};

std::optional<PolicyKind> policyByName(const std::string& name);
std::string policyName(PolicyKind kind);

// What a policy remembers from one key to the next.
struct PolicyMemory {
    int level = 0;
    int blockedTurns = 0;   // turns spent waiting for monsters to move aside
    bool flaredHere = false;  // a Flare was cast in the current blockade
};

// The next key, or nothing when the policy has nothing left to try (no way
// on, no spell or key that could open one).
std::optional<std::string> chooseKey(const Game& g, PolicyKind kind, PolicyMemory& memory);

}  // namespace delve::sim
