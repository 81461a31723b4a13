#include "watch/timeline.h"

#include <algorithm>

namespace delve {

void noteFrame(Timeline& t, TimelineNotes& notes, const Game& g, int32_t turn, bool newLevel) {
    t.lastTurn = turn;
    if (newLevel) t.marks.push_back({TimelineMark::LevelStart, turn, g.levelNumber});
    const int32_t members = std::max(g.partySize, 0);
    // A member first seen (the first frame, or one who just joined) is taken
    // as found: one who has not joined yet has no health, and never fell.
    const auto seen = static_cast<int32_t>(notes.health.size());
    notes.health.resize(static_cast<size_t>(members));
    for (int32_t m = seen + 1; m <= members; ++m) notes.health[m - 1] = g.statCurrent.get(m, kHp);
    bool anyAlive = false;
    bool fell = false;
    for (int32_t m = 1; m <= members; ++m) {
        const int32_t health = g.statCurrent.get(m, kHp);
        int32_t& before = notes.health[m - 1];
        if (before > 0 && health <= 0) fell = true;
        before = health;
        anyAlive = anyAlive || health > 0;
    }
    const bool partyDown = members > 0 && !anyAlive;
    if (partyDown && !notes.partyDown) t.marks.push_back({TimelineMark::PartyFell, turn, g.levelNumber});
    else if (fell) t.marks.push_back({TimelineMark::MemberFell, turn, g.levelNumber});
    notes.partyDown = partyDown;
}

int32_t levelAtTurn(const Timeline& t, int32_t turn) {
    int32_t level = 0;
    for (const TimelineMark& m : t.marks) {
        if (m.turn > turn) break;
        if (m.kind == TimelineMark::LevelStart) level = m.level;
    }
    return level;
}

int32_t nextLevelStart(const Timeline& t, int32_t turn) {
    for (const TimelineMark& m : t.marks)
        if (m.kind == TimelineMark::LevelStart && m.turn > turn) return m.turn;
    return std::max(t.lastTurn, 1);
}

int32_t previousLevelStart(const Timeline& t, int32_t turn) {
    int32_t found = 1;
    for (const TimelineMark& m : t.marks) {
        if (m.turn >= turn) break;
        if (m.kind == TimelineMark::LevelStart) found = m.turn;
    }
    return found;
}

void cutTimeline(Timeline& t, int32_t lastTurn, const std::string& mismatch) {
    if (mismatch.empty() || lastTurn >= t.lastTurn) return;
    t.lastTurn = lastTurn;
    t.mismatch = mismatch;
    while (!t.marks.empty() && t.marks.back().turn > t.lastTurn) t.marks.pop_back();
}

}  // namespace delve
