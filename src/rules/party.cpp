#include "rules/party.h"

#include <algorithm>

#include "platform/random.h"

namespace delve {

namespace {

// Draws for a fallen member stop here and the first fallen one is taken, so
// the join ends even if the generator keeps missing the few fallen slots.
constexpr int kMemberDrawLimit = 10000;

// The next roster slot up or down from `member`, wrapping within 1..size.
int64_t nextMember(int64_t member, int64_t size, char direction) {
    const auto mod = [size](int64_t v) { return ((v % size) + size) % size; };
    if (direction == '+') return mod(member) + 1;
    return size - mod(size + 1 - member);
}

int fallenMemberToJoin(Game& g) {
    for (int draws = 0; draws < kMemberDrawLimit; ++draws) {
        const int m = randomBelow(g.io.rng, g.partySize) + 1;
        if (!isStanding(g, m)) return m;
    }
    for (int m = 1; m <= g.partySize; ++m)
        if (!isStanding(g, m)) return m;
    return 1;  // unreachable: the join runs only with someone fallen
}

void restoreMember(Game& g, int m) {
    for (int s = 1; s <= 6; ++s) {
        g.statCurrent.set(m, s, g.statInitial.get(m, s));
        // A returning member forgets some of its practice.
        if (g.spellKnown.get(m, s) > 0 && g.spellExperience.get(m, s) > 10) g.spellExperience.set(m, s, 10);
    }
}

}  // namespace

bool isStanding(const Game& g, int member) { return g.statCurrent.get(member, kHp) > 0; }

void switchMember(Game& g, char direction) {
    if (direction != '+' && direction != '-') return;
    const int64_t size = g.partySize;
    if (size < 1) return;
    // At most one full lap: back at the active member (or, for an active
    // member outside the roster, every slot tried) means nobody else stands.
    int64_t candidate = g.activeMember;
    bool found = false;
    for (int64_t steps = 0; steps < size; ++steps) {
        candidate = nextMember(candidate, size, direction);
        if (candidate == g.activeMember) break;
        if (isStanding(g, static_cast<int>(candidate))) {
            found = true;
            break;
        }
    }
    if (!found) return;
    const int next = static_cast<int>(candidate);
    g.messageLine = "[Switched to " + g.memberName.get(next) + "]";
    if (g.statCurrent.get(g.activeMember, kHp) == 0) g.messageLine += "[Lost " + g.memberName.get(g.activeMember) + "]";
    g.activeMember = next;
}

int joinMembers(Game& g) {
    if (g.partySize < 1) return 0;
    int standing = 0;
    for (int m = 1; m <= g.partySize; ++m)
        if (isStanding(g, m)) ++standing;
    if (standing == g.partySize) return 0;
    const int fallen = g.partySize - standing;
    const int count = randomBelow(g.io.rng, std::min(fallen, 2)) + 1;

    g.messageLine = "[";
    int m = 0;
    for (int j = 1; j <= count; ++j) {
        if (j > 1) g.messageLine += "+";
        m = fallenMemberToJoin(g);
        restoreMember(g, m);
        g.messageLine += g.memberName.get(m);
    }
    g.messageLine += " joined!]";
    g.lastJoinedMember = static_cast<float>(m);
    return count;
}

}  // namespace delve
