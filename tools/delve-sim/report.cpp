#include "report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "game/trace.h"

namespace delve::sim {

namespace {

// Causes in the order the tables show them.
const std::vector<std::string> kCauses = {"Snake", "Orc", "Viperess", "Zombie", "Shadow", "Gate", "Mystic Orb", "Other"};
const std::vector<std::string> kCasts = {"Warp", "Vision", "Tinker", "Passage", "Heal", "Flare", "Bomb"};
constexpr int kSurvivalStep = 10;

struct LevelSummary {
    int level = 0;
    int reached = 0;
    std::vector<int> turns;
    std::map<std::string, int64_t> hpLost;
    int64_t mpThinWalls = 0, gold = 0, keys = 0, bombs = 0;
    std::map<std::string, int64_t> casts;
    std::vector<int> startingPartyFellAt;  // turns
    int stuck = 0;
};

std::vector<LevelSummary> summarise(const std::vector<SeedRun>& runs) {
    std::map<int, LevelSummary> byLevel;
    for (const SeedRun& run : runs) {
        for (const LevelRecord& r : run.levels) {
            LevelSummary& s = byLevel[r.level];
            s.level = r.level;
            s.reached += 1;
            s.turns.push_back(r.turns);
            for (const auto& [cause, amount] : r.hpLost) s.hpLost[cause] += amount;
            s.mpThinWalls += r.mpThinWalls;
            s.gold += r.gold;
            s.keys += r.keys;
            s.bombs += r.bombs;
            for (const auto& [spell, count] : r.casts) s.casts[spell] += count;
        }
        if (run.startingPartyFallen) byLevel[run.startingPartyFallen->level].startingPartyFellAt.push_back(run.startingPartyFallen->turn);
        if (run.end == RunEnd::Stuck) byLevel[run.ended.level].stuck += 1;
    }
    std::vector<LevelSummary> out;
    for (auto& [level, s] : byLevel) {
        s.level = level;
        std::sort(s.turns.begin(), s.turns.end());
        std::sort(s.startingPartyFellAt.begin(), s.startingPartyFellAt.end());
        out.push_back(std::move(s));
    }
    return out;
}

// The lower median of sorted values (0 for none).
int median(const std::vector<int>& sorted) { return sorted.empty() ? 0 : sorted[(sorted.size() - 1) / 2]; }

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string perRun(int64_t total, int runs) { return runs > 0 ? fixed(static_cast<double>(total) / runs, 1) : "0.0"; }

std::string percent(int part, int whole) {
    return whole > 0 ? fixed(100.0 * part / whole, 1) + "%" : "-";
}

std::string padLeft(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string row(const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += "  ";
        line += i == 0 ? padRight(cells[i], widths[i]) : padLeft(cells[i], widths[i]);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line + "\n";
}

std::string table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& r : rows) {
        widths.resize(std::max(widths.size(), r.size()), 0);
        for (size_t i = 0; i < r.size(); ++i) widths[i] = std::max(widths[i], r[i].size());
    }
    std::string out;
    for (const auto& r : rows) out += row(r, widths);
    return out;
}

// Seeds whose starting party still stands after each turn, every
// kSurvivalStep turns up to the cap. A run that ended otherwise (stuck, or at
// the cap) counts as standing: its party had not fallen.
std::vector<std::pair<int, int>> survival(const std::vector<SeedRun>& runs, int turnCap) {
    std::vector<std::pair<int, int>> points;
    for (int t = 0; t <= turnCap; t += kSurvivalStep) {
        int standing = 0;
        for (const SeedRun& run : runs)
            if (!run.startingPartyFallen || run.startingPartyFallen->turn > t) ++standing;
        points.push_back({t, standing});
    }
    return points;
}

std::string jsonMap(const std::map<std::string, int64_t>& values, const std::vector<std::string>& order) {
    std::string out = "{";
    bool first = true;
    std::set<std::string> done;
    auto add = [&](const std::string& key, int64_t v) {
        out += (first ? "\"" : ",\"") + jsonText(key) + "\":" + std::to_string(v);
        first = false;
        done.insert(key);
    };
    for (const std::string& key : order) add(key, values.count(key) ? values.at(key) : 0);
    for (const auto& [key, v] : values)
        if (!done.count(key)) add(key, v);
    return out + "}";
}

std::string jsonMoment(const std::optional<Moment>& m) {
    if (!m) return "null";
    return "{\"level\":" + std::to_string(m->level) + ",\"turn\":" + std::to_string(m->turn) + "}";
}

}  // namespace

TargetCounts countTargets(const std::vector<SeedRun>& runs) {
    TargetCounts t;
    for (const SeedRun& run : runs) {
        ++t.runs;
        if (run.deepestLevelOfStartingParty >= 3) ++t.reachedLevel3;
        if (!run.firstFall || run.firstFall->turn >= 50) ++t.noFallBeforeTurn50;
        if (run.startingPartyFallen && run.startingPartyFallen->level <= 6) ++t.startingPartyFallenByLevel6;
        if (run.deepestLevel >= 2) ++t.leftLevel1;
    }
    return t;
}

std::string textReport(const ReportHeader& header, const std::vector<SeedRun>& runs) {
    const int n = static_cast<int>(runs.size());
    const std::vector<LevelSummary> levels = summarise(runs);
    std::string out = "delve-sim: policy " + header.policy + ", seeds " + std::to_string(header.firstSeed) + "-" +
                      std::to_string(header.lastSeed) + " (" + std::to_string(n) + " runs), turn cap " +
                      std::to_string(header.turnCap) + "\n\n";

    std::vector<std::vector<std::string>> rows = {{"Level", "Reached", "Turns", "Hp lost", "Gold", "Keys", "Bombs",
                                                   "Spells", "Party fell", "at turn", "Stuck"}};
    for (const LevelSummary& s : levels) {
        int64_t hpTotal = 0, casts = 0;
        for (const auto& [cause, amount] : s.hpLost) hpTotal += amount;
        for (const auto& [spell, count] : s.casts)
            if (spell != "Bomb") casts += count;
        rows.push_back({std::to_string(s.level), percent(s.reached, n), std::to_string(median(s.turns)),
                        perRun(hpTotal, s.reached), perRun(s.gold, s.reached), perRun(s.keys, s.reached),
                        perRun(s.bombs, s.reached), perRun(casts, s.reached),
                        std::to_string(s.startingPartyFellAt.size()),
                        s.startingPartyFellAt.empty() ? "-" : std::to_string(median(s.startingPartyFellAt)),
                        std::to_string(s.stuck)});
    }
    out += table(rows);
    out += "\nReached: share of runs that came to the level. Turns: median turns spent there.\n"
           "Hp lost, Gold, Keys, Bombs (gained), Spells (cast): per run that came to the level.\n"
           "Party fell: runs whose whole starting party fell there, and the median turn.\n"
           "Stuck: runs that ended there with no way on left to try (or nothing new seen in 400 turns).\n\n";

    rows = {{"Level"}};
    for (const std::string& c : kCauses) rows[0].push_back(c);
    rows[0].push_back("Mp walls");
    for (const std::string& c : kCasts) rows[0].push_back(c);
    for (const LevelSummary& s : levels) {
        std::vector<std::string> r = {std::to_string(s.level)};
        for (const std::string& c : kCauses) r.push_back(perRun(s.hpLost.count(c) ? s.hpLost.at(c) : 0, s.reached));
        r.push_back(perRun(s.mpThinWalls, s.reached));
        for (const std::string& c : kCasts) r.push_back(perRun(s.casts.count(c) ? s.casts.at(c) : 0, s.reached));
        rows.push_back(r);
    }
    out += "Hp lost by cause, Mp paid for thin walls (they never cost Hp), spells cast and bombs thrown,\n"
           "per run that came to the level:\n";
    out += table(rows);

    const TargetCounts t = countTargets(runs);
    out += "\nStarting party reached level 3:        " + padLeft(std::to_string(t.reachedLevel3), 4) + " of " +
           std::to_string(n) + " (" + percent(t.reachedLevel3, n) + ")\n";
    out += "No member fell before turn 50:         " + padLeft(std::to_string(t.noFallBeforeTurn50), 4) + " of " +
           std::to_string(n) + " (" + percent(t.noFallBeforeTurn50, n) + ")\n";
    out += "Starting party fallen by level 6:      " + padLeft(std::to_string(t.startingPartyFallenByLevel6), 4) +
           " of " + std::to_string(n) + " (" + percent(t.startingPartyFallenByLevel6, n) + ")\n";
    out += "Left level 1:                          " + padLeft(std::to_string(t.leftLevel1), 4) + " of " +
           std::to_string(n) + " (" + percent(t.leftLevel1, n) + ")\n";
    return out;
}

std::string jsonReport(const ReportHeader& header, const std::vector<SeedRun>& runs) {
    const int n = static_cast<int>(runs.size());
    const TargetCounts t = countTargets(runs);
    std::string out = "{\"policy\":\"" + jsonText(header.policy) + "\",\"firstSeed\":" + std::to_string(header.firstSeed) +
                      ",\"lastSeed\":" + std::to_string(header.lastSeed) + ",\"turnCap\":" + std::to_string(header.turnCap) +
                      ",\"runs\":" + std::to_string(n);
    out += ",\n\"targets\":{\"reachedLevel3\":" + std::to_string(t.reachedLevel3) +
           ",\"noFallBeforeTurn50\":" + std::to_string(t.noFallBeforeTurn50) +
           ",\"startingPartyFallenByLevel6\":" + std::to_string(t.startingPartyFallenByLevel6) +
           ",\"leftLevel1\":" + std::to_string(t.leftLevel1) + "}";
    out += ",\n\"levels\":[";
    bool first = true;
    for (const LevelSummary& s : summarise(runs)) {
        out += first ? "\n" : ",\n";
        first = false;
        int64_t turnsTotal = 0;
        for (int v : s.turns) turnsTotal += v;
        out += "{\"level\":" + std::to_string(s.level) + ",\"reached\":" + std::to_string(s.reached) +
               ",\"turnsMedian\":" + std::to_string(median(s.turns)) + ",\"turnsTotal\":" + std::to_string(turnsTotal) +
               ",\"hpLost\":" + jsonMap(s.hpLost, kCauses) + ",\"mpThinWalls\":" + std::to_string(s.mpThinWalls) +
               ",\"gold\":" + std::to_string(s.gold) + ",\"keys\":" + std::to_string(s.keys) +
               ",\"bombs\":" + std::to_string(s.bombs) + ",\"casts\":" + jsonMap(s.casts, kCasts) +
               ",\"startingPartyFell\":" + std::to_string(s.startingPartyFellAt.size()) +
               ",\"startingPartyFellTurnMedian\":" + std::to_string(median(s.startingPartyFellAt)) +
               ",\"stuck\":" + std::to_string(s.stuck) + "}";
    }
    out += "],\n\"survival\":[";
    first = true;
    for (const auto& [turn, standing] : survival(runs, header.turnCap)) {
        out += (first ? "[" : ",[") + std::to_string(turn) + "," + std::to_string(standing) + "]";
        first = false;
    }
    out += "],\n\"seeds\":[";
    first = true;
    for (const SeedRun& run : runs) {
        out += first ? "\n" : ",\n";
        first = false;
        std::string party = "[";
        for (size_t i = 0; i < run.startingParty.size(); ++i)
            party += (i ? ",\"" : "\"") + jsonText(run.startingParty[i]) + "\"";
        party += "]";
        std::string levels = "[";
        for (size_t i = 0; i < run.levels.size(); ++i) {
            const LevelRecord& r = run.levels[i];
            levels += (i ? ",{" : "{");
            levels += "\"level\":" + std::to_string(r.level) + ",\"turns\":" + std::to_string(r.turns) +
                      ",\"hpLost\":" + jsonMap(r.hpLost, {}) + ",\"mpThinWalls\":" + std::to_string(r.mpThinWalls) +
                      ",\"gold\":" + std::to_string(r.gold) + ",\"keys\":" + std::to_string(r.keys) +
                      ",\"bombs\":" + std::to_string(r.bombs) + ",\"casts\":" + jsonMap(r.casts, {}) + "}";
        }
        levels += "]";
        out += "{\"seed\":" + std::to_string(run.seed) + ",\"startingParty\":" + party +
               ",\"end\":\"" + runEndName(run.end) + "\",\"ended\":" + jsonMoment(run.ended) +
               ",\"deepestLevel\":" + std::to_string(run.deepestLevel) +
               ",\"deepestLevelOfStartingParty\":" + std::to_string(run.deepestLevelOfStartingParty) +
               ",\"firstFall\":" + jsonMoment(run.firstFall) +
               ",\"startingPartyFallen\":" + jsonMoment(run.startingPartyFallen) + ",\"levels\":" + levels + "}";
    }
    out += "]}\n";
    return out;
}

}  // namespace delve::sim
