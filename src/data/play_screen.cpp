#include "data/play_screen.h"

#include "data/panels.h"
#include "render/text_printer.h"

namespace delve {

void redrawPlayScreen(Game& g) {
    // The map area is framed but not cleared: the cells drawn in earlier
    // turns stay, and the view draw paints over them.
    drawTextFrame(g.io, 1, 1, 40, 25, 0);
    drawTextFrame(g.io, 41, 26, 60, 45, -1);
    drawStatPanel(g);
    drawSpellPanel(g);
    drawMessagePanel(g, g.messageLine);
}

}  // namespace delve
