#include "render/prompt.h"

#include "platform/numbers.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"

namespace delve {

namespace {

// The line is long enough for any number anyone types; further keys are
// ignored so that the echo stays inside the window.
constexpr size_t kMaxLine = 40;

int cellX(int column) { return 8 * (column - 1); }
int cellY(int row) { return 8 * (row - 1); }

}  // namespace

float promptNumber(Platform& p, const std::string& prompt) {
    const int row = textCursorRow(p);
    const int column = textCursorColumn(p);
    const std::string head = prompt + "? ";
    drawFontText(p, cellX(column), cellY(row), head);
    const int start = column + static_cast<int>(head.size());
    std::string line;
    while (true) {
        const std::string key = readKey(p);
        const char c = key.empty() ? 0 : key[0];
        if (c == kEnter) break;
        if (c == kBackspace) {
            if (!line.empty()) {
                line.pop_back();
                const int col = start + static_cast<int>(line.size());
                fillBox(p, cellX(col), cellY(row), cellX(col) + 7, cellY(row) + 7, 0);
            }
            continue;
        }
        if (static_cast<unsigned char>(c) < 32 || c == 127 || line.size() >= kMaxLine) continue;
        drawFontText(p, cellX(start + static_cast<int>(line.size())), cellY(row), std::string(1, c));
        line += c;
    }
    setTextCursor(p, row + 1, 1);
    return toSingle(readLeadingNumber(line));
}

}  // namespace delve
