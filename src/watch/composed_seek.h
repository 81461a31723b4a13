#pragma once
// Any noted turn shown without drawing the turns before it. From opening
// on, the watcher replays the game a slice at a time with its draws noted
// (platform/draw_notes.h); opening keeps the run's state, without pixels,
// every kStateTurns turns (watch/span_seek.h). A noted turn is then reached
// by putting back the latest state before it, playing on to the turn
// without drawing (a few milliseconds of the game's own work), and
// composing every page from the notes. Drawing on from there is drawing as
// ever: the pages are the very pixels the drawn replay leaves.
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

// Turns noted at opening, before the first turn is shown: a slice as the
// watcher's idle loop notes them.
constexpr int32_t kOpeningNoteTurns = 32;

// Notes about `turns` more turns; false once noting is over (the recording
// is noted to its end, or the notes stopped), true while there is more.
// Keeps the moments within what the notes leave of the room.
bool noteSome(Watch& w, int32_t turns);
// How many turns showing `turn` would note first (0: none, also when spans
// tell it). A seek past the notes that spans cannot tell notes up to the
// turn then and there; a watcher whose viewer must not wait on that many
// notes them a slice at a time first.
int32_t turnsToNote(const Watch& w, int32_t turn);
// Whether `turn` is this near the drawn run or a kept moment that it is
// best drawn up to.
bool drawnIsNear(const Watch& w, int32_t turn);
// Whether the notes stopped short of the timeline's end: the turns after
// are drawn when shown, so drawing ahead is worth its while.
bool notesFellShort(const Watch& w);
// Whether `turn` is best composed, not drawn up to.
bool composedIsNearer(const Watch& w, int32_t turn);
// Puts the drawn run at `turn` with composed pages. False when the notes
// cannot tell that turn's pages: the run is then back at the first kept
// moment, to draw from.
bool composeTurn(Watch& w, int32_t turn);

}  // namespace delve
