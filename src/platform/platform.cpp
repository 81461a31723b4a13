#include "platform/platform.h"

#include <cstring>

#include "platform/draw_notes.h"

namespace delve {

void openWindow(Platform& p, int width, int height) {
    Screen& s = p.screen;
    s.width = width > 0 ? width : 0;
    s.height = height > 0 ? height : 0;
    if (!s.pages.reset(static_cast<size_t>(s.width) * s.height)) s.width = s.height = 0;
    if (s.notes) noteWindow(*s.notes, s.width, s.height);
    s.visibleDirty = true;
    p.backend->windowOpened(s.width, s.height);
}

void setPages(Platform& p, int workPage, int visiblePage) {
    if (workPage >= 0 && workPage < kPageCount) p.screen.workPage = workPage;
    if (visiblePage >= 0 && visiblePage < kPageCount) p.screen.visiblePage = visiblePage;
    p.backend->present(p.screen);
    p.screen.visibleDirty = false;
}

void copyPage(Platform& p, int sourcePage, int destinationPage) {
    Screen& s = p.screen;
    if (sourcePage < 0) sourcePage = s.workPage;
    if (destinationPage < 0) destinationPage = s.visiblePage;
    if (sourcePage >= kPageCount || destinationPage >= kPageCount) return;
    if (sourcePage != destinationPage && !s.skipDrawing) {
        if (s.notes)
            notePageCopy(*s.notes, s, sourcePage, destinationPage);
        else if (!s.pages[destinationPage].empty())
            std::memcpy(s.pages[destinationPage].data(), s.pages[sourcePage].data(), s.pages[destinationPage].size());
        ++s.pageCopies;
    }
    if (destinationPage == s.visiblePage) {
        p.backend->present(s);
        s.visibleDirty = false;
    }
}

void setWindowTitle(Platform& p, const std::string& title) { p.backend->setTitle(title); }

void setTextCursor(Platform& p, int row, int column) {
    p.screen.cursorRow = row;
    p.screen.cursorColumn = column;
}
int textCursorRow(const Platform& p) { return p.screen.cursorRow; }
int textCursorColumn(const Platform& p) { return p.screen.cursorColumn; }

namespace {

// Anything drawn straight onto the shown page reaches the window before the
// game waits for the player.
void refreshIfDrawn(Platform& p) {
    if (p.screen.visibleDirty) {
        p.backend->present(p.screen);
        p.screen.visibleDirty = false;
    }
}

void noteTaken(Platform& p, const std::string& key) {
    if (p.keepScreenAtEscape && key.size() == 1 && key[0] == kEscape) p.screenAtEscape = p.screen;
}

}  // namespace

std::string pollKey(Platform& p) {
    refreshIfDrawn(p);
    if (!hasKey(p.keys)) p.backend->pumpKeys(p.keys, KeyWait::Brief);
    std::string key = takeKey(p.keys);
    noteTaken(p, key);
    return key;
}

std::string readKey(Platform& p) {
    refreshIfDrawn(p);
    while (!hasKey(p.keys)) p.backend->pumpKeys(p.keys, KeyWait::Block);
    std::string key = takeKey(p.keys).substr(0, 1);
    noteTaken(p, key);
    return key;
}

void waitForKeyPress(Platform& p) {
    refreshIfDrawn(p);
    while (!p.keys.pressed) p.backend->pumpKeys(p.keys, KeyWait::Block);
    p.keys.pressed = false;
}

double timerSeconds(Platform& p) { return p.backend->timerSeconds(); }
std::string clockTime(Platform& p) { return p.backend->clockTime(); }
std::string clockDate(Platform& p) { return p.backend->clockDate(); }

void seedRandom(Platform& p, double seed) {
    if (seed == -1.0) {
        const double t = timerSeconds(p);
        uint64_t bits;
        std::memcpy(&bits, &t, sizeof bits);
        seed = static_cast<double>(static_cast<uint32_t>(bits ^ (bits >> 32)));
    }
    seedRandomState(p.rng, seed);
}

}  // namespace delve
