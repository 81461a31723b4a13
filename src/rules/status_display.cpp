#include "rules/status_display.h"

#include <algorithm>

#include "data/panels.h"
#include "render/text_printer.h"

namespace delve {

namespace {

// The last `width` digits of n + 10^width: n with leading zeros, and only its
// low digits when it is longer. Clamped first so the addition cannot overflow.
std::string fixedDigits(int64_t n, int width, int64_t base) {
    const int64_t limit = int64_t{1} << 60;
    const std::string text = decimalText(std::clamp(n, -limit, limit) + base);
    return text.size() > static_cast<size_t>(width) ? text.substr(text.size() - static_cast<size_t>(width)) : text;
}

std::string d3(int64_t n) { return fixedDigits(n, 3, 1000); }
std::string d5(int64_t n) { return fixedDigits(n, 5, 100000); }

std::string tileIcon(int code) { return "{{" + std::string(1, static_cast<char>(code)) + "}}"; }

// Both summaries end in column 39, just inside the map frame.
void printSummaryRightAligned(Game& g, int row, const std::string& text) {
    printMarkup(g.io, row, 40 - markupCellCount(text), text);
}

}  // namespace

void limitActiveStats(Game& g) {
    for (int s = 1; s <= 6; ++s) {
        int32_t v = activeStat(g, s);
        const int32_t initial = g.statInitial.get(g.activeMember, s);
        if (v > initial) v = initial;
        if (v < 0) v = 0;
        setActiveStat(g, s, v);
    }
}

std::string topSummary(const Game& g) {
    return "[" + tileIcon(247) + d3(g.levelNumber) + "/" + tileIcon(236) + d3(activeStat(g, kHp)) + "/" +
           tileIcon(231) + d3(activeStat(g, kAp)) + "/{{#}}" + d3(activeStat(g, kDp)) + "/" + tileIcon(241) +
           d3(activeStat(g, kMp)) + "]";
}

std::string bottomSummary(const Game& g) {
    return "[{{2D}}" + d5(g.turnCount) + "/{{F8}}" + d3(wholeNumber(g.gold)) + "/{{6B}}" + d3(wholeNumber(g.keys)) +
           "/{{62}}" + d3(wholeNumber(g.bombs)) + "]";
}

void showStatus(Game& g) {
    drawStatPanel(g);
    drawSpellPanel(g);
    drawMessagePanel(g, g.messageLine);
    limitActiveStats(g);
    printSummaryRightAligned(g, 1, topSummary(g));
    printSummaryRightAligned(g, 25, bottomSummary(g));
}

}  // namespace delve
