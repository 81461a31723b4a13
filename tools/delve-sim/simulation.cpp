#include "simulation.h"

#include <algorithm>
#include <memory>

#include "platform/headless/headless_backend.h"
#include "platform/key_queue.h"
#include "flow/program.h"

namespace delve::sim {

namespace {

// Turns without a newly seen cell or a new level after which a run counts as
// stuck: the policy is walking in circles.
constexpr int kNoProgressTurns = 400;

// The whole number after `prefix` in `text`, or nothing.
std::optional<int64_t> amountAfter(const std::string& text, const std::string& prefix) {
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return std::nullopt;
    int64_t value = 0;
    size_t i = at + prefix.size();
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Text between `open` and the next `close` after it.
std::optional<std::string> textBetween(const std::string& text, const std::string& open, char close) {
    const size_t at = text.find(open);
    if (at == std::string::npos) return std::nullopt;
    const size_t from = at + open.size(), to = text.find(close, from);
    if (to == std::string::npos) return std::nullopt;
    return text.substr(from, to - from);
}

struct Before {
    int member;
    int32_t hp;
    int64_t gold, keys, bombs;
};

int64_t positive(int64_t v) { return v > 0 ? v : 0; }

// Puts the key's effects on the level's account. Only the active member is
// ever hurt, and a turn brings at most one attack and one gate push.
void account(const Game& g, const Before& before, LevelRecord& level) {
    const std::string& message = g.messageLine;
    const int64_t hpAfter = g.statCurrent.get(before.member, kHp);
    int64_t lost = positive(positive(before.hp) - positive(hpAfter));
    if (lost > 0) {
        if (auto monster = textBetween(message, "[Attacked by ", ']')) {
            const int64_t attack = std::min(lost, amountAfter(message, "[Hp -").value_or(0));
            level.hpLost[*monster] += attack;
            lost -= attack;
            // What the attack does not explain came from a gate pushed in the same move.
            if (lost > 0) level.hpLost["Gate"] += lost;
        } else if (message.starts_with("[Couldn't force gate]") || message.starts_with("[Forced gate]")) {
            level.hpLost["Gate"] += lost;
        } else if (message.starts_with("[Mystic Orb")) {
            level.hpLost["Mystic Orb"] += lost;
        } else {
            level.hpLost["Other"] += lost;
        }
    }
    if (auto cost = amountAfter(message, "[Passed through wall][Mp -")) level.mpThinWalls += *cost;
    if (auto spell = textBetween(message, "[Cast '", '\'')) level.casts[*spell] += 1;
    if (message.starts_with("[Used Bomb]")) level.casts["Bomb"] += 1;
    level.gold += positive(wholeNumber(g.gold) - before.gold);
    level.keys += positive(wholeNumber(g.keys) - before.keys);
    level.bombs += positive(wholeNumber(g.bombs) - before.bombs);
}

bool standing(const Game& g, int member) { return g.statCurrent.get(member, kHp) > 0; }

}  // namespace

std::string runEndName(RunEnd end) {
    switch (end) {
        case RunEnd::Fallen: return "fallen";
        case RunEnd::Stuck: return "stuck";
        case RunEnd::TurnCap: return "turn cap";
    }
    return "";
}

SeedRun simulateSeed(const SimSettings& settings, int seed, const FrameObserver& observer) {
    SeedRun run;
    run.seed = seed;
    // The seed is typed at the title screen, as a player would with "@".
    HeadlessBackend backend("@" + std::to_string(seed) + "\r");
    Platform platform(backend);
    platform.files.root = settings.dir;
    platform.screen.skipDrawing = !settings.draw;
    auto game = std::make_unique<Game>(platform);
    Game& g = *game;
    Program program;
    PolicyMemory memory;
    std::vector<int> starters;
    int progressTurn = 0;
    float progressSeen = -1;
    auto finish = [&](RunEnd end) {
        run.end = end;
        run.ended = {g.levelNumber, g.turnCount};
    };
    try {
        while (program.stage != Stage::Ended) {
            const bool pending = backend.keysLeft() > 0 || hasKey(platform.keys);
            if (program.stage == Stage::StartGame && !pending) {
                if (!starters.empty()) break;  // the policies never start a second game
                backend.addKey(" ");           // ends the intro; read again as the first key of play
            }
            if (program.stage == Stage::Frame) {
                advanceProgram(g, program);
                if (observer) observer(g, program.shownMessage);
                if (run.levels.empty() || run.levels.back().level != g.levelNumber) {
                    LevelRecord record;
                    record.level = g.levelNumber;
                    run.levels.push_back(record);
                    run.deepestLevel = g.levelNumber;
                    for (int m : starters)
                        if (standing(g, m)) run.deepestLevelOfStartingParty = g.levelNumber;
                    progressTurn = g.turnCount;
                }
                continue;
            }
            if (program.stage != Stage::Key) {
                advanceProgram(g, program);
                continue;
            }

            if (starters.empty()) {
                for (int m = 1; m <= g.partySize; ++m)
                    if (standing(g, m)) {
                        starters.push_back(m);
                        run.startingParty.push_back(g.memberName.get(m));
                    }
                run.deepestLevelOfStartingParty = g.levelNumber;
            }
            bool anyStanding = false;
            for (int m = 1; m <= g.partySize; ++m) anyStanding = anyStanding || standing(g, m);
            if (!anyStanding) {
                finish(RunEnd::Fallen);
                return run;
            }
            if (g.turnCount >= settings.turnCap) {
                finish(RunEnd::TurnCap);
                return run;
            }
            if (g.seenCellCount != progressSeen) {
                progressSeen = g.seenCellCount;
                progressTurn = g.turnCount;
            }
            if (g.turnCount - progressTurn > kNoProgressTurns) {
                finish(RunEnd::Stuck);
                return run;
            }
            if (!pending) {
                auto key = chooseKey(g, settings.policy, memory);
                if (!key) {
                    finish(RunEnd::Stuck);
                    return run;
                }
                backend.addKey(*key);
            }

            const Before before{g.activeMember, g.statCurrent.get(g.activeMember, kHp), wholeNumber(g.gold),
                                wholeNumber(g.keys), wholeNumber(g.bombs)};
            std::vector<bool> stood;
            for (int m = 1; m <= g.partySize; ++m) stood.push_back(standing(g, m));
            const int turn = g.turnCount;
            const int level = g.levelNumber;
            advanceProgram(g, program);
            LevelRecord& record = run.levels.back();
            record.turns += 1;
            account(g, before, record);
            for (int m = 1; m <= g.partySize; ++m)
                if (stood[static_cast<size_t>(m - 1)] && !standing(g, m) && !run.firstFall)
                    run.firstFall = Moment{level, turn};
            bool startersDown = !starters.empty();
            for (int m : starters) startersDown = startersDown && !standing(g, m);
            if (startersDown && !run.startingPartyFallen) run.startingPartyFallen = Moment{level, turn};
        }
    } catch (const RunEnded&) {
        // Not expected: the policy feeds a key whenever one is needed.
    }
    finish(RunEnd::Stuck);
    return run;
}

}  // namespace delve::sim
