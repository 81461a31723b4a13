#pragma once
// Any noted turn shown without drawing the turns before it. Opening a
// watch replays the game once with its draws noted (platform/draw_notes.h)
// and keeps the run's state, without pixels, every kStateTurns turns. A far
// turn is then reached by putting back the latest state before it, playing
// on to the turn without drawing (a few milliseconds of the game's own
// work), and composing every page from the notes. Drawing on from there is
// drawing as ever: the pages are the very pixels the drawn replay leaves.
#include <cstddef>
#include <cstdint>

#include "watch/watched_run.h"

namespace delve {

struct Watch;

constexpr int32_t kStateTurns = 32;
// What a kept state costs, roughly: the game record is mostly its two
// level grids and its tables.
constexpr size_t kKeptStateBytes = size_t{32} << 10;
// A turn this near the drawn run or a kept moment is drawn up to: drawing
// that many turns costs about what composing the pages does.
constexpr int32_t kDrawnSpan = 12;

// Called on the noting replay at opening, after each turn.
void noteOpeningTurn(Watch& w, WatchedRun& noting);
// Whether `turn` is best composed, not drawn up to.
bool composedIsNearer(const Watch& w, int32_t turn);
// Puts the drawn run at `turn` with composed pages. False when the notes
// cannot tell that turn's pages: the run is then back at the first kept
// moment, to draw from.
bool composeTurn(Watch& w, int32_t turn);

}  // namespace delve
