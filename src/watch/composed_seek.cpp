#include "watch/composed_seek.h"

#include <algorithm>

#include "watch/span_seek.h"
#include "watch/watch.h"

namespace delve {

bool noteSome(Watch& w, int32_t turns) {
    if (!w.noter) return false;
    WatchedRun& noting = *w.noter;
    for (int32_t i = 0; i < std::max(turns, 1); ++i) {
        if (!nextTurn(noting)) {
            // Composing the checkpoints' pages finds what the replay
            // without drawing cannot: a page unlike the recorded one.
            cutTimeline(w.timeline, noting.turn, noting.mismatch);
            w.noter.reset();
            // A turn sought by spans skipped those pages: the watcher goes
            // back to the last turn that matches.
            if (w.run && w.run->turn > w.timeline.lastTurn) showTurn(w, w.timeline.lastTurn);
            break;
        }
        noteTurnEnd(*w.notes, noting.turn);
        if (w.notes->stopped) {
            // The turns after are drawn when shown.
            w.noter.reset();
            break;
        }
    }
    // The moments get what the notes leave of the room.
    const size_t noted = noteBytes(*w.notes);
    w.keptBytesLimit = w.roomBytes > noted ? w.roomBytes - noted : 0;
    trimMoments(w);
    return w.noter != nullptr;
}

int32_t turnsToNote(const Watch& w, int32_t turn) {
    turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    if (!w.noter || turn <= w.notes->turn || drawnIsNear(w, turn) || spanSeekServes(w, turn)) return 0;
    return turn - w.notes->turn;
}

bool drawnIsNear(const Watch& w, int32_t turn) {
    const int32_t shown = w.run ? w.run->turn : 0;
    if (w.run && shown <= turn && turn - shown <= w.drawnSpan) return true;
    const auto after = std::upper_bound(w.moments.begin(), w.moments.end(), turn,
                                        [](int32_t t, const Moment& m) { return t < m.state.turn; });
    return after != w.moments.begin() && turn - std::prev(after)->state.turn <= w.drawnSpan;
}

bool notesFellShort(const Watch& w) { return !w.notes || w.notes->turn < w.timeline.lastTurn; }

bool composedIsNearer(const Watch& w, int32_t turn) {
    if (!w.notes || w.states.empty() || turn > w.notes->turn || turn < w.states.front().turn) return false;
    return !drawnIsNear(w, turn);
}

bool composeTurn(Watch& w, int32_t turn) {
    const auto after = std::upper_bound(w.states.begin(), w.states.end(), turn,
                                        [](int32_t t, const RunState& s) { return t < s.turn; });
    if (after == w.states.begin() || !w.notes) return false;
    WatchedRun& run = *w.run;
    DrawNotes& n = *w.notes;
    // From here the run's pages are not those of its turn until composed.
    w.composed = true;
    putState(run, *std::prev(after));
    // The turns between are played with their draws' files read as drawing
    // reads them (the game's files are part of its state) but nothing noted.
    Screen& screen = run.platform.screen;
    screen.notes = &n;
    n.quiet = true;
    while (run.turn < turn && nextTurn(run)) {
    }
    n.quiet = false;
    screen.notes = nullptr;
    if (run.turn != turn) return false;
    if (!pagesFitWindow(screen)) return false;
    for (int p = 0; p < kPageCount; ++p)
        if (!composePage(n, turn, screen, p)) return false;
    return true;
}

}  // namespace delve
