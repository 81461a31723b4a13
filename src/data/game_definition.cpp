#include "data/game_definition.h"

#include "platform/numbers.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"

namespace delve {

int32_t cappedCount(int32_t count) { return count > kMaxTableCount ? kMaxTableCount : count; }

int32_t clampedBound(int32_t bound) {
    if (bound > kMaxTableBound) return kMaxTableBound;
    if (bound < -kMaxTableBound) return -kMaxTableBound;
    return bound;
}

std::string roseEntryKey(int64_t card, int64_t axis) {
    return "rose(" + decimalText(card) + "," + decimalText(axis) + ")";
}

std::string numberedKey(const std::string& kind, int64_t number, const std::string& field) {
    return kind + "/" + decimalText(number) + "/" + field;
}

std::string memberKey(const std::string& member, const std::string& rest) {
    return "party/" + member + "/" + rest;
}

namespace {

std::string text(const Game& g, const std::string& key) { return lookupValue(key, g.gameData); }
std::string name(const Game& g, const std::string& key) { return toDisplayName(text(g, key)); }
int32_t integer(const Game& g, const std::string& key) { return readInteger(text(g, key)); }

// A number printed right-aligned in three cells.
void printRightAligned(Game& g, int row, int column, int32_t value) {
    std::string digits = decimalText(value);
    printMarkup(g.io, row, column, rightAlign(digits, 3));
}

void loadDirectionTable(Game& g) {
    g.roseCardMin = clampedBound(integer(g, "rose/card/min"));
    g.roseCardMax = clampedBound(integer(g, "rose/card/max"));
    g.roseAxisMin = clampedBound(integer(g, "rose/axis/min"));
    g.roseAxisMax = clampedBound(integer(g, "rose/axis/max"));
    g.rose.resize(g.roseCardMin, g.roseCardMax, g.roseAxisMin, g.roseAxisMax);
    for (int32_t c = g.roseCardMin; c <= g.roseCardMax; ++c) {
        for (int32_t a = g.roseAxisMin; a <= g.roseAxisMax; ++a) {
            const int32_t step = integer(g, roseEntryKey(c, a));
            g.rose.set(c, a, step);
            printMarkup(g.io, 40 + 2 * a, 20 + 7 * c, decimalText(step));
        }
        printMarkup(g.io, 40, 20 + 7 * c, name(g, "rose/key/" + decimalText(c)));
    }
}

void sizeTables(Game& g) {
    g.partyCount = cappedCount(integer(g, "party/count"));
    g.spellCount = cappedCount(integer(g, "spell/count"));
    g.statCount = cappedCount(integer(g, "stat/count"));
    g.memberName.resize(1, g.partyCount);
    g.memberImage.resize(1, g.partyCount);
    g.statName.resize(1, g.statCount);
    g.spellName.resize(1, g.spellCount);
    g.spellDifficulty.resize(1, g.spellCount);
    g.spellKnown.resize(1, g.partyCount, 1, g.spellCount);
    g.spellExperience.resize(1, g.partyCount, 1, g.spellCount);
    g.statInitial.resize(1, g.partyCount, 1, g.statCount);
    g.statCurrent.resize(1, g.partyCount, 1, g.statCount);
}

void loadMembers(Game& g) {
    for (int32_t i = 1; i <= g.partyCount; ++i) {
        g.memberName.set(i, name(g, numberedKey("party", i, "name")));
        // Every further property of a member is keyed by its name, not its number.
        g.memberImage.set(i, text(g, memberKey(g.memberName.get(i), "image")));
        drawTileFile(g.io, 0, 8 * (i - 1), "tiles\\party\\" + toUpperAscii(g.memberImage.get(i)) + "_001.TIL",
                     "pset");
        printMarkup(g.io, i, 3, g.memberName.get(i));
    }
}

void loadStatsAndSpells(Game& g) {
    for (int32_t s = 1; s <= g.statCount; ++s) {
        g.statName.set(s, name(g, numberedKey("stat", s, "name")));
        printMarkup(g.io, s, 15, g.statName.get(s));
    }
    for (int32_t k = 1; k <= g.spellCount; ++k) {
        g.spellName.set(k, name(g, numberedKey("spell", k, "name")));
        g.spellDifficulty.set(k, integer(g, "spell/" + g.spellName.get(k) + "/difficulty"));
        printMarkup(g.io, k, 25, g.spellName.get(k));
        printMarkup(g.io, k, 35, decimalText(g.spellDifficulty.get(k)));
    }
}

// One pair of values per member and entry (knowledge and experience of each
// spell, or initial and current of each stat), the second printed over the
// first in the same cells: where it has a blank, a digit of the first stays.
void loadMemberPairs(Game& g, int32_t count, const Table<std::string>& entryNames, const std::string& kind,
                     const char* first, const char* second, Table2<int32_t>& firstTable,
                     Table2<int32_t>& secondTable, int rowOffset) {
    for (int32_t i = 1; i <= g.partyCount; ++i) {
        const std::string member = g.memberName.get(i);
        for (int32_t e = 1; e <= count; ++e) {
            const std::string entry = kind + "/" + entryNames.get(e) + "/";
            firstTable.set(i, e, integer(g, memberKey(member, entry + first)));
            secondTable.set(i, e, integer(g, memberKey(member, entry + second)));
            printRightAligned(g, e + rowOffset, 7 * i, firstTable.get(i, e));
            printRightAligned(g, e + rowOffset, 7 * i, secondTable.get(i, e));
        }
    }
}

void loadMemberValues(Game& g) {
    loadMemberPairs(g, g.spellCount, g.spellName, "spell", "knw", "exp", g.spellKnown, g.spellExperience, 10);
    loadMemberPairs(g, g.statCount, g.statName, "stat", "initial", "current", g.statInitial, g.statCurrent, 20);
}

}  // namespace

void loadGameDefinition(Game& g) {
    openWindow(g.io, 960, 720);
    setPages(g.io, 0, 1);
    loadDirectionTable(g);
    sizeTables(g);
    loadMembers(g);
    loadStatsAndSpells(g);
    loadMemberValues(g);
    copyPage(g.io, -1, -1);
    // The key that ends the overview is not taken: the title screen reads it.
    waitForKeyPress(g.io);
}

}  // namespace delve
