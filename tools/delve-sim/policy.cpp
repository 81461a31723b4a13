#include "policy.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <queue>
#include <vector>

#include "level/level_grid.h"
#include "rules/monster_kinds.h"

namespace delve::sim {

namespace {

constexpr int kLeft = 2, kRight = 39, kTop = 2, kBottom = 24;
constexpr int kCells = kGridColumns * kGridRows;
constexpr int kBlocked = -1;
// Costs are in tenths of a turn, so that every sum is exact.
constexpr int kTurn = 10;
// Turns the cautious player waits for monsters to clear its way before it
// walks through them.
constexpr int kPatience = 8;
// Hp below this share of the initial value (in percent) counts as low.
constexpr int kLowHpPercent = 40;
// The most a spell can cost (the turn loop's cost tables): casting only with
// this much Mp never spends a turn on a cast that fails for want of Mp.
constexpr int kWarpMaxCost = 8, kTinkerMaxCost = 9, kHealMaxCost = 5, kFlareMaxCost = 8;
constexpr int kThinWallMaxCost = 5;

struct Step {
    int dx, dy;
    const char* key;
};
constexpr std::array<Step, 4> kSteps = {{{0, -1, "8"}, {1, 0, "6"}, {0, 1, "2"}, {-1, 0, "4"}}};

int cellIndex(int x, int y) { return y * kGridColumns + x; }
bool inPlay(int x, int y) { return x >= kLeft && x <= kRight && y >= kTop && y <= kBottom; }

bool isMonster(int32_t code) { return monsterKindOf(code) != nullptr; }
bool isItem(int32_t code) {
    return code == kGold || code == kManaPotion || code == kHealthPotion || code == kChest || code == kMysticOrb;
}

bool seen(const Game& g, int x, int y) { return g.seenMap.get(x, y) != 0; }

int32_t hp(const Game& g, int member) { return g.statCurrent.get(member, kHp); }
bool lowHp(const Game& g, int member) {
    return int64_t{hp(g, member)} * 100 < int64_t{g.statInitial.get(member, kHp)} * kLowHpPercent;
}
bool belowHalfHp(const Game& g, int member) {
    return int64_t{hp(g, member)} * 2 < int64_t{g.statInitial.get(member, kHp)};
}
// Hp as a share of the initial value, in percent (0 for a member without Hp).
int64_t hpPercent(const Game& g, int member) {
    const int64_t initial = g.statInitial.get(member, kHp);
    return initial > 0 ? int64_t{hp(g, member)} * 100 / initial : 0;
}
bool knows(const Game& g, int member, int spell) { return g.spellKnown.get(member, spell) > 0; }
int32_t mp(const Game& g, int member) { return g.statCurrent.get(member, kMp); }

// The chance, in parts per ten thousand, that one push forces a gate: the
// force roll a > b + c + 2 with a in 1..Ap, b in 0..2Ap-1, c in 0..9.
int gateChance(int64_t ap) {
    ap = std::clamp<int64_t>(ap, 0, 5000);
    if (ap <= 0) return 0;
    int64_t hits = 0;
    for (int64_t a = 1; a <= ap; ++a)
        for (int64_t c = 0; c <= 9; ++c) {
            const int64_t bMax = std::min(2 * ap - 1, a - 3 - c);
            if (bMax >= 0) hits += bMax + 1;
        }
    return static_cast<int>(hits * 10000 / (ap * 2 * ap * 10));
}

struct Resources {
    bool avoidMonsters = false;  // monster cells closed, their neighbours dearer
    bool desperate = false;      // gates open whatever they may cost
    bool gatesOpen = false;
    int gateCost = 0;
    bool thinWallsOpen = false;
    bool lockedDoorsOpen = false;
    int lockedDoorCost = 0;
};

Resources resourcesOf(const Game& g, PolicyKind kind, bool avoidMonsters, bool desperate = false) {
    Resources r;
    r.avoidMonsters = avoidMonsters;
    r.desperate = desperate;
    const int member = g.activeMember;
    const int chance = gateChance(g.statCurrent.get(member, kAp));
    // Each push costs 0 to 3 Hp: the cautious player pushes only while it
    // has at least half its Hp, unless no other way is left. A gate costs as
    // many turns as it takes pushes on average, so other ways come first.
    r.gatesOpen = chance > 0 && (kind == PolicyKind::Explorer || desperate || !belowHalfHp(g, member));
    r.gateCost = chance > 0 ? kTurn + kTurn * 10000 / chance : 0;
    r.thinWallsOpen = mp(g, member) >= kThinWallMaxCost;
    if (g.keys > 0) {
        r.lockedDoorsOpen = true;
        r.lockedDoorCost = 2 * kTurn;
    } else if (knows(g, member, kTinker) && mp(g, member) >= kTinkerMaxCost) {
        r.lockedDoorsOpen = true;
        r.lockedDoorCost = 6 * kTurn;
    }
    return r;
}

// The cost of stepping onto a seen cell, or kBlocked.
int enterCost(const Game& g, int x, int y, const Resources& r) {
    if (!inPlay(x, y) || !seen(g, x, y)) return kBlocked;
    const int32_t code = g.levelMap.get(x, y);
    int cost = kBlocked;
    if (code == kFloor || code == kStairs || code == kOpenDoor || code == kShop || isItem(code)) cost = kTurn;
    else if (isMonster(code)) cost = r.avoidMonsters ? kBlocked : kTurn;
    else if (code == kLockedDoor && r.lockedDoorsOpen) cost = r.lockedDoorCost;
    else if (code == kGate && r.gatesOpen) cost = r.gateCost;
    else if (code == kThinWall && r.thinWallsOpen) cost = 3 * kTurn;
    if (cost == kBlocked || !r.avoidMonsters) return cost;
    for (const Step& s : kSteps)
        if (isMonster(g.levelMap.get(x + s.dx, y + s.dy))) cost += 3 * kTurn;
    return cost;
}

struct Paths {
    std::array<int, kCells> cost;
    std::array<int, kCells> firstStep;  // index into kSteps of the first step on the way
};

// Cheapest ways from the party to every seen cell it can enter.
Paths findPaths(const Game& g, const Resources& r) {
    Paths p;
    p.cost.fill(kBlocked);
    p.firstStep.fill(-1);
    using Entry = std::pair<int, int>;  // cost, cell
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    const int start = cellIndex(partyColumn(g), partyRow(g));
    p.cost[start] = 0;
    open.push({0, start});
    while (!open.empty()) {
        const auto [cost, cell] = open.top();
        open.pop();
        if (cost != p.cost[cell]) continue;
        const int x = cell % kGridColumns, y = cell / kGridColumns;
        for (int i = 0; i < 4; ++i) {
            const int nx = x + kSteps[i].dx, ny = y + kSteps[i].dy;
            const int step = enterCost(g, nx, ny, r);
            if (step == kBlocked) continue;
            const int next = cellIndex(nx, ny);
            if (p.cost[next] != kBlocked && p.cost[next] <= cost + step) continue;
            p.cost[next] = cost + step;
            p.firstStep[next] = cell == start ? i : p.firstStep[cell];
            open.push({p.cost[next], next});
        }
    }
    return p;
}

bool frontier(const Game& g, int x, int y) {
    for (const Step& s : kSteps)
        if (inPlay(x + s.dx, y + s.dy) && !seen(g, x + s.dx, y + s.dy)) return true;
    return false;
}

// The first step towards the stairs if a way there is known, else towards a
// health potion when `wantPotion`, else towards the nearest unexplored space.
std::optional<int> stepOn(const Game& g, const Paths& p, bool wantPotion) {
    int best = -1, bestCost = 0;
    auto consider = [&](auto wanted) {
        for (int cell = 0; cell < kCells; ++cell) {
            if (p.cost[cell] <= 0 || !wanted(cell)) continue;
            if (best < 0 || p.cost[cell] < bestCost) {
                best = cell;
                bestCost = p.cost[cell];
            }
        }
        return best >= 0;
    };
    auto code = [&](int cell) { return g.levelMap.get(cell % kGridColumns, cell / kGridColumns); };
    if (consider([&](int cell) { return code(cell) == kStairs; })) return p.firstStep[best];
    if (wantPotion && consider([&](int cell) { return code(cell) == kHealthPotion; })) return p.firstStep[best];
    if (consider([&](int cell) { return frontier(g, cell % kGridColumns, cell / kGridColumns); }))
        return p.firstStep[best];
    return std::nullopt;
}

// The key that takes the step: a locked door without a key is opened by Tinker.
std::string keyForStep(const Game& g, int step) {
    const int x = partyColumn(g) + kSteps[step].dx, y = partyRow(g) + kSteps[step].dy;
    if (g.levelMap.get(x, y) == kLockedDoor && !(g.keys > 0)) return "t";
    return kSteps[step].key;
}

std::optional<int> standingMember(const Game& g, auto wanted) {
    for (int m = 1; m <= g.partySize; ++m)
        if (m != g.activeMember && hp(g, m) > 0 && wanted(m)) return m;
    return std::nullopt;
}

bool monsterWithin(const Game& g, int distance) {
    const int px = partyColumn(g), py = partyRow(g);
    for (int x = px - distance; x <= px + distance; ++x)
        for (int y = py - distance; y <= py + distance; ++y)
            if ((x - px) * (x - px) + (y - py) * (y - py) <= distance * distance && seen(g, x, y) &&
                isMonster(g.levelMap.get(x, y)))
                return true;
    return false;
}

// With no way on at all: Warp somewhere unseen, or hand over to a member who
// can. (Warp works only while some open cell is unseen; a player would learn
// that from one key that does nothing, the policy asks the count directly.)
std::optional<std::string> outOfDeadEnd(const Game& g) {
    auto canWarp = [&](int m) { return knows(g, m, kWarp) && mp(g, m) >= kWarpMaxCost; };
    if (!(g.seenCellCount < g.openCellCount)) return std::nullopt;
    if (canWarp(g.activeMember)) return "w";
    if (standingMember(g, canWarp)) return "+";
    return std::nullopt;
}

// A key that passes a turn and does nothing else.
const std::string kWait = ".";

// A plain step onto a free neighbouring cell, if there is one.
std::optional<std::string> stepAside(const Game& g) {
    for (const Step& s : kSteps) {
        const int x = partyColumn(g) + s.dx, y = partyRow(g) + s.dy;
        const int32_t code = g.levelMap.get(x, y);
        if (inPlay(x, y) && seen(g, x, y) && (code == kFloor || code == kOpenDoor || code == kStairs || isItem(code)))
            return std::string(s.key);
    }
    return std::nullopt;
}

}  // namespace

std::optional<PolicyKind> policyByName(const std::string& name) {
    if (name == "explorer") return PolicyKind::Explorer;
    if (name == "cautious") return PolicyKind::Cautious;
    return std::nullopt;
}

std::string policyName(PolicyKind kind) { return kind == PolicyKind::Explorer ? "explorer" : "cautious"; }

std::optional<std::string> chooseKey(const Game& g, PolicyKind kind, PolicyMemory& memory) {
    if (memory.level != g.levelNumber) memory = PolicyMemory{g.levelNumber};
    const bool cautious = kind == PolicyKind::Cautious;
    const int member = g.activeMember;
    if (hp(g, member) <= 0) {
        if (standingMember(g, [](int) { return true; })) return "+";
        return std::nullopt;
    }
    const int32_t here = g.levelMap.get(partyColumn(g), partyRow(g));
    if (here == kStairs) return " ";

    bool wantPotion = false;
    if (cautious && lowHp(g, member)) {
        if (knows(g, member, kHeal) && mp(g, member) >= kHealMaxCost) return "h";
        const int64_t mine = hpPercent(g, member);
        if (standingMember(g, [&](int m) { return hpPercent(g, m) >= 50 && hpPercent(g, m) > mine; })) return "+";
        wantPotion = true;
    }
    if (isItem(here)) return " ";

    if (!cautious) {
        const Paths paths = findPaths(g, resourcesOf(g, kind, false));
        if (auto step = stepOn(g, paths, false)) return keyForStep(g, *step);
        return outOfDeadEnd(g);
    }

    const Paths safe = findPaths(g, resourcesOf(g, kind, true));
    if (auto step = stepOn(g, safe, wantPotion)) {
        memory.blockedTurns = 0;
        memory.flaredHere = false;
        // Pushing a gate or unlocking a door leaves the party where it is, so
        // with a monster on its cell it first steps aside.
        const int32_t next = g.levelMap.get(partyColumn(g) + kSteps[*step].dx, partyRow(g) + kSteps[*step].dy);
        if (isMonster(here) && (next == kGate || (next == kLockedDoor && g.keys > 0)))
            return stepAside(g).value_or(kWait);
        return keyForStep(g, *step);
    }
    const Paths any = findPaths(g, resourcesOf(g, kind, false));
    const auto through = stepOn(g, any, wantPotion);
    if (!through) {
        if (auto key = outOfDeadEnd(g)) return key;
        // The last way on: push whatever gate stands in it, Hp or not.
        const Paths gates = findPaths(g, resourcesOf(g, kind, true, true));
        if (auto step = stepOn(g, gates, false)) {
            const int32_t next = g.levelMap.get(partyColumn(g) + kSteps[*step].dx, partyRow(g) + kSteps[*step].dy);
            if (isMonster(here) && next == kGate) return stepAside(g).value_or(kWait);
            return keyForStep(g, *step);
        }
        return std::nullopt;
    }

    // Monsters stand in every way on (or on the party's own cell).
    if (g.bombs >= 1 && monsterWithin(g, 2)) return "b";
    if (!memory.flaredHere && knows(g, member, kFlare) && mp(g, member) >= kFlareMaxCost) {
        memory.flaredHere = true;
        return "f";
    }
    if (memory.blockedTurns < kPatience) {
        ++memory.blockedTurns;
        // Sharing a cell with a monster, only a step off it is safe; any
        // other move key would bring its attack.
        if (isMonster(here)) return stepAside(g).value_or(kWait);
        return kWait;
    }
    return keyForStep(g, *through);
}

}  // namespace delve::sim
