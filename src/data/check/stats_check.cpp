#include "data/game_definition.h"
#include "data/check/other_files_check.h"
#include "platform/numbers.h"

namespace delve::check {

namespace {

// Six stat columns of seven cells fill the stat panel; a seventh would be
// drawn over the message panel.
constexpr int32_t kColumnsShown = 6;
constexpr size_t kHeadingWidth = 5;

}  // namespace

void checkStatHeadings(DataFile& file, const Definition& definition, Report& report) {
    if (!file.present || file.oneLine) return;
    const int32_t raw = roundHalfEven(requireNumber(file, "stat/count", report));
    const int line = lineOfKey(file, "stat/count");
    const int32_t n = cappedCount(raw);
    if (line > 0) {
        if (raw > kMaxTableCount)
            addFinding(report, file.shownName, line,
                       "stat/count is " + std::to_string(raw) + "; the game reads it as " + std::to_string(n));
        if (n < kStatsNeeded)
            addFinding(report, file.shownName, line,
                       "stat/count is " + std::to_string(raw) + "; the stat panel then shows only " +
                           std::to_string(n < 0 ? 0 : n) + " of the " + std::to_string(kStatsNeeded) + " stats");
        else if (n > kColumnsShown)
            addFinding(report, file.shownName, line,
                       "stat/count is " + std::to_string(n) + "; the stat panel has room for " +
                           std::to_string(kColumnsShown) + " columns");
        if (n > definition.statCount && definition.statCount > 0)
            addFinding(report, file.shownName, line,
                       "stat/count is " + std::to_string(n) + ", but the game definition has only " +
                           std::to_string(definition.statCount) + " stats; the extra columns show 0");
    }
    for (int32_t s = 1; s <= n; ++s) {
        const std::string key = numberedKey("stat", s, "name");
        const std::string heading = toDisplayName(requireText(file, key, report));
        if (heading.size() > kHeadingWidth && lineOfKey(file, key) > 0)
            addFinding(report, file.shownName, lineOfKey(file, key),
                       "the heading " + quotedText(heading) + " is cut to " + quotedText(heading.substr(0, kHeadingWidth)));
    }
    std::vector<std::pair<size_t, std::string>> unread;
    for (size_t i : unreadPairs(file)) {
        const std::string key = toLowerAscii(file.store.pairs[i].key);
        const bool numbered = key.rfind("stat/", 0) == 0 && key.size() > 10 &&
                              key.compare(key.size() - 5, 5, "/name") == 0;
        unread.push_back({i, numbered ? "stat/count is " + std::to_string(n) + ", so the game never reads this heading"
                                      : std::string("never read by the game")});
    }
    reportUnread(file, unread, report);
}

}  // namespace delve::check
