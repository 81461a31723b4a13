#include "data/panels.h"

#include <vector>

#include "data/game_definition.h"
#include "platform/numbers.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"

namespace delve {

namespace {

constexpr int kMessageWidth = 18;  // the message panel's inner width in cells

// At most `length` characters of the text, right-aligned in `width` cells.
std::string fitted(const std::string& text, size_t length, int width) {
    std::string cut = text.substr(0, length);
    return rightAlign(cut, width);
}

std::string decimalField(int32_t value, size_t length, int width) {
    return fitted(decimalText(value), length, width);
}

}  // namespace

void drawStatPanel(Game& g) {
    if (g.io.screen.skipDrawing) return;  // the headings file is read only to be drawn
    drawTextFrame(g.io, 1, 26, 40, 45, -1);

    // Read fresh at every drawing, so the headings follow the file as it is now.
    KeyValueStore statNames;
    loadStoreFile(g.io.files, "res\\stats.dat", statNames);
    const int32_t n = cappedCount(readInteger(lookupValue("stat/count", statNames)));
    std::vector<std::string> headings;
    for (int32_t s = 1; s <= n; ++s)
        headings.push_back(toDisplayName(lookupValue(numberedKey("stat", s, "name"), statNames)));

    // Stat 1's heading field starts in column 0, off the screen; the heading
    // and the values of a stat end in the same column.
    for (int32_t s = 1; s <= n; ++s) printMarkup(g.io, 27, 7 * s - 7, fitted(headings[s - 1], 5, 5));

    // Fallen members leave no gap: each living one takes the next pair of rows.
    int r = 0;
    for (int32_t m = 1; m <= g.partySize; ++m) {
        if (g.statCurrent.get(m, kHp) <= 0) continue;
        ++r;
        drawCellTile(g.io, 4, 26 + 2 * r, g.memberImage.get(m));
        printMarkup(g.io, 26 + 2 * r, 6, g.memberName.get(m));
        for (int32_t s = 1; s <= n; ++s)
            printMarkup(g.io, 27 + 2 * r, 7 * s - 5, decimalField(g.statCurrent.get(m, s), std::string::npos, 3));
    }
}

void drawSpellPanel(Game& g) {
    drawTextFrame(g.io, 41, 1, 60, 25, -1);
    const int32_t n = cappedCount(readInteger(lookupValue("spell/count", g.gameData)));
    const int32_t member = g.activeMember;
    // Only exactly 0 empties the panel; a negative Hp still shows the spells.
    if (g.statCurrent.get(member, kHp) == 0) return;

    drawCellTile(g.io, 42, 2, g.memberImage.get(member));
    printMarkup(g.io, 2, 44, g.memberName.get(member));

    std::string spellCaption = lookupValue("hud/spell", g.gameData);
    printMarkup(g.io, 4, 42, toTitleCase(spellCaption));
    printMarkup(g.io, 4, 50, toUpperAscii(lookupValue("hud/knowledge", g.gameData)));
    printMarkup(g.io, 4, 57, toUpperAscii(lookupValue("hud/experience", g.gameData)));

    for (int32_t k = 1; k <= n; ++k) {
        const int row = 2 * k + 4;
        printMarkup(g.io, row, 42, fitted(g.spellName.get(k), 7, 3));
        printMarkup(g.io, row, 50, decimalField(g.spellKnown.get(member, k), 2, 3));
        printMarkup(g.io, row, 57, decimalField(g.spellExperience.get(member, k), 2, 3));
    }
}

KeyValueStore buildEncounterWords(Game& g, const std::string& text) {
    KeyValueStore words;
    words.pairs.push_back({"", ""});

    // Every blank ends a word, so two blanks in a row make an empty word; what
    // follows the last blank is a word only when it is not empty.
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t blank; (blank = text.find(' ', begin)) != std::string::npos; begin = blank + 1)
        parts.push_back(text.substr(begin, blank - begin));
    if (begin < text.size()) parts.push_back(text.substr(begin));

    std::string lines = "text/count=" + decimalText(static_cast<int64_t>(parts.size())) + "\r\n";
    for (size_t i = 0; i < parts.size(); ++i)
        lines += "text/" + decimalText(static_cast<int64_t>(i + 1)) + "=" + parts[i] + "\r\n";
    parseStoreText(lines, words);

    // Nothing reads the file back; a failed write still leaves the panel
    // drawn from the store in memory.
    saveStoreFile(g.io.files, "res\\encounter.txt", words);
    return words;
}

void drawMessagePanel(Game& g, const std::string& text) {
    if (g.io.screen.skipDrawing) return;  // nothing reads the encounter file back
    const KeyValueStore words = buildEncounterWords(g, text);
    drawTextFrame(g.io, 41, 26, 60, 45, -1);
    printMarkup(g.io, 27, 42, "Encounter");

    std::string line;
    int row = 29;
    const int32_t n = readInteger(lookupValue("text/count", words));
    for (int32_t i = 1; i <= n; ++i) {
        const std::string word = lookupValue("text/" + decimalText(i), words);
        // A long word is broken into full-width pieces once the next word comes.
        while (line.size() > kMessageWidth) {
            printMarkup(g.io, row++, 42, line.substr(0, kMessageWidth));
            line.erase(0, kMessageWidth);
        }
        if (line.empty()) {
            line = word;
        } else if (line.size() + 1 + word.size() > kMessageWidth) {
            printMarkup(g.io, row++, 42, line);
            line = word;
        } else {
            line += " " + word;
        }
    }
    // The last line is printed whole, however long.
    if (!line.empty()) printMarkup(g.io, row, 42, line);
}

}  // namespace delve
