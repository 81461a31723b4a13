#include "game/trace.h"

#include <cstdio>

namespace delve {

namespace {

std::string number(int64_t v) { return std::to_string(v); }

std::string tableRows(const Table2<int32_t>& table, int rows, int columns) {
    std::string out = "[";
    for (int i = 1; i <= rows; ++i) {
        out += i > 1 ? ",[" : "[";
        for (int j = 1; j <= columns; ++j) {
            if (j > 1) out += ',';
            out += number(table.get(i, j));
        }
        out += ']';
    }
    return out + "]";
}

std::string gridRows(const CellGrid& grid) {
    std::string out = "[";
    for (int y = 0; y < kGridRows; ++y) {
        out += y > 0 ? ",[" : "[";
        for (int x = 0; x < kGridColumns; ++x) {
            if (x > 0) out += ',';
            out += number(grid.get(x, y));
        }
        out += ']';
    }
    return out + "]";
}

}  // namespace

std::string jsonText(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32 || c >= 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string traceLine(const Game& g, const std::string& shownMessage) {
    auto whole = [](float v) { return number(wholeNumber(v)); };
    std::string s = "{";
    s += "\"turnCount\":" + number(g.turnCount);
    s += ",\"levelNumber\":" + number(g.levelNumber);
    s += ",\"message\":\"" + jsonText(shownMessage) + "\"";
    s += ",\"partyX\":" + whole(g.partyX);
    s += ",\"partyY\":" + whole(g.partyY);
    s += ",\"activeMember\":" + number(g.activeMember);
    s += ",\"gold\":" + whole(g.gold);
    s += ",\"keys\":" + whole(g.keys);
    s += ",\"bombs\":" + whole(g.bombs);
    s += ",\"shopIndex\":" + whole(g.shopIndex);
    s += ",\"openCellCount\":" + whole(g.openCellCount);
    s += ",\"seenCellCount\":" + whole(g.seenCellCount);
    s += ",\"mappedCellCount\":" + whole(g.mappedCellCount);
    s += ",\"statCurrent\":" + tableRows(g.statCurrent, g.partyCount, g.statCount);
    s += ",\"statInitial\":" + tableRows(g.statInitial, g.partyCount, g.statCount);
    s += ",\"spellKnown\":" + tableRows(g.spellKnown, g.partyCount, g.spellCount);
    s += ",\"spellExperience\":" + tableRows(g.spellExperience, g.partyCount, g.spellCount);
    s += ",\"levelMap\":" + gridRows(g.levelMap);
    s += ",\"seenMap\":" + gridRows(g.seenMap);
    s += ",\"rngState\":" + number(g.io.rng.state);
    return s + "}";
}

}  // namespace delve
