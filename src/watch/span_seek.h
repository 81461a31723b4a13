#pragma once
// A far turn shown straight after opening, long before the watcher's noting
// from the start reaches it. Opening replays the game once with its draws
// made but not noted, keeping the run's state every so many turns and, for
// each span of turns between two kept states, which blocks of which pages
// it drew on (platform/draw_notes.h, DrawTouches).
//
// A turn's pages are what the last draws on each block left there. The seek
// notes the span the turn is in from the state before it, every block
// starting as "what it held then"; a block the span never covered is asked
// of the latest earlier span that drew on it, noted the same way, and so
// on back until every block is told. A page's frame drawn at turn 1 and a
// map drawn every turn cost two spans, not the whole game.
//
// Only a recording made by this program on this very data is sought so:
// the pages of the checkpoints skipped are then checked by the noting from
// the start, and nothing but a fault could find one unlike the recording.
#include <cstdint>
#include <functional>

namespace delve {

struct Watch;
struct WatchedRun;

// Replays the whole recording on `run` (new, drawn) as opening does: the
// timeline, the kept states and, when the recording may be sought so, the
// spans' touches. Leaves the run at its start, nothing drawn. Calls
// `betweenTurns`, when given, every kOpeningLookTurns turns.
constexpr int32_t kOpeningLookTurns = 64;
void openSpans(Watch& w, WatchedRun& run, const std::function<void()>& betweenTurns = {});
// Whether showing `turn` would seek by spans (it is past the notes, and not
// near the drawn run or a kept moment).
bool spanSeekServes(const Watch& w, int32_t turn);
// Puts the drawn run at `turn` with its pages composed from the spans.
// False when a draw came that spans cannot follow: the run is then at no
// turn's pages, for the caller to put a kept moment back.
bool seekBySpans(Watch& w, int32_t turn);

}  // namespace delve
