#pragma once
// The frame buffer: eight pages of 8-bit palette indices, one of them drawn
// on (the work page) and one shown (the visible page), plus the text cursor.
#include <array>
#include <cstdint>

#include "platform/image.h"
#include "platform/page_memory.h"

namespace delve {

struct DrawNotes;

struct Screen {
    int width = 0;
    int height = 0;
    PageSet pages;
    int workPage = 0;
    int visiblePage = 0;
    int cursorRow = 1;
    int cursorColumn = 1;
    // Set when something was drawn straight onto the shown page, so a backend
    // knows to refresh the window at its next chance.
    bool visibleDirty = false;
    // Whole pages copied so far, for benchmarks and tests.
    uint64_t pageCopies = 0;
    // Nothing is drawn: tiles, text, boxes and page copies are skipped, and so
    // are the files read and written only for the panels. The game state
    // never depends on pixels, so tools that follow only the state (the
    // simulator) set this to play thousands of turns a second, and so does a
    // continued game while it replays a recording whose last picture it has.
    bool skipDrawing = false;
    // When set, draws are noted there instead of done (platform/draw_notes.h):
    // the game runs as if drawing, and the pages stay as they are.
    DrawNotes* notes = nullptr;
};

// The work page as a drawing target (marks the window for refresh when the
// work page is also the shown one).
Surface workSurface(Screen& screen);
Surface pageSurface(Screen& screen, int page);
// Pages of the window's size, kept as they are when they already are (a
// state put back says the size; pixels are the caller's to put there).
// False when they cannot be had.
bool pagesFitWindow(Screen& screen);

}  // namespace delve
