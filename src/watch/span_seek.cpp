#include "watch/span_seek.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "kept/replay_engine.h"
#include "watch/watch.h"

namespace delve {

namespace {

// Every other state goes and the spacing doubles (the first always stays);
// two spans become one around each state let go.
void thinStates(Watch& w) {
    std::vector<RunState> kept;
    for (size_t i = 0; i < w.states.size(); i += 2) kept.push_back(std::move(w.states[i]));
    w.states = std::move(kept);
    w.stateTurns *= 2;
    if (!w.touches) return;
    std::vector<DrawTouches::Span>& spans = w.touches->spans;
    std::vector<DrawTouches::Span> joined{std::move(spans.front())};
    for (size_t i = 1; i < spans.size(); i += 2)
        joined.push_back(i + 1 < spans.size() ? joinSpans(spans[i], spans[i + 1]) : std::move(spans[i]));
    spans = std::move(joined);
}

struct SpanEnd {
    int startWidth = 0, startHeight = 0;  // the layout its places are of
    int width = 0, height = 0;            // the layout it ended in
    std::vector<std::vector<uint32_t>> links;  // per page, each block's chain (or place) at its end
};

// Span 0 runs from the start; span i from the state i - 1 to state i.
const RunState& spanStart(const Watch& w, size_t span) { return span == 0 ? w.startState : w.states[span - 1]; }

// Notes span `span` on the drawn run, from its state up to `endTurn`.
bool noteSpan(Watch& w, DrawNotes& notes, size_t span, int32_t endTurn, SpanEnd& end) {
    WatchedRun& run = *w.run;
    putState(run, spanStart(w, span));
    Screen& screen = run.platform.screen;
    // Noting asks for pages to note onto, though nothing is drawn on them.
    if (!pagesFitWindow(screen)) return false;
    end.startWidth = screen.width, end.startHeight = screen.height;
    beginSpan(notes, screen.width, screen.height, static_cast<int32_t>(span));
    screen.notes = &notes;
    while (run.turn < endTurn && nextTurn(run)) {
    }
    screen.notes = nullptr;
    if (notes.stopped || run.turn != endTurn) return false;
    end.width = screen.width, end.height = screen.height;
    end.links = notes.live;
    return true;
}

}  // namespace

void openSpans(Watch& w, WatchedRun& run, const std::function<void()>& betweenTurns) {
    // Draws are made (tiles read, text laid out) as the drawn replay makes
    // them, so the states kept are the drawn replay's, but none is noted.
    DrawNotes quiet;
    quiet.quiet = true;
    // Only a recording made here on this data is sought by spans.
    if (likelyMismatchCause(w.recording, run.dataDigest).empty()) {
        w.touches = std::make_unique<DrawTouches>();
        w.touches->spans.emplace_back();
        quiet.touches = w.touches.get();
    }
    Screen& screen = run.platform.screen;
    screen.notes = &quiet;
    w.startState = keepState(run);
    TimelineNotes notes;
    const size_t stateRoom = std::max<size_t>(w.notes->bytesLimit / 4, 1);
    while (nextTurn(run)) {
        noteFrame(w.timeline, notes, *run.game, run.turn, run.newLevel);
        if (betweenTurns && run.turn % kOpeningLookTurns == 0) betweenTurns();
        if ((run.turn - 1) % w.stateTurns != 0) continue;
        w.states.push_back(keepState(run));
        if (w.touches) w.touches->spans.emplace_back();
        // The states share the notes' room, a quarter of it at most.
        if (w.states.size() > 2 && w.states.size() * kKeptStateBytes > stateRoom) thinStates(w);
    }
    screen.notes = nullptr;
    w.timeline.mismatch = run.mismatch;
    w.notes->keptAlongside = w.states.size() * kKeptStateBytes;
    if (w.touches && w.touches->broken) w.touches.reset();
    putState(run, w.startState);
}

bool spanSeekServes(const Watch& w, int32_t turn) {
    // Only while the noting from the start goes on: it checks the pages of
    // the checkpoints a seek by spans skips.
    if (!w.touches || w.states.empty() || !w.notes || !w.noter) return false;
    turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    return turn > w.notes->turn && !drawnIsNear(w, turn);
}

bool seekBySpans(Watch& w, int32_t turn) {
    turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    // From here the run's pages are not those of its turn until composed.
    w.composed = true;
    const DrawTouches& touches = *w.touches;
    const auto after = std::upper_bound(w.states.begin(), w.states.end(), turn,
                                        [](int32_t t, const RunState& s) { return t < s.turn; });
    const auto last = static_cast<size_t>(after - w.states.begin());
    DrawNotes notes;
    notes.symbolic = true;
    std::vector<std::optional<SpanEnd>> ends(last + 1);
    ends[last].emplace();
    if (!noteSpan(w, notes, last, turn, *ends[last])) return false;
    const RunState shown = keepState(*w.run);

    // The places (page * blocks + block) asked of each span's start: blocks
    // left as they were, or combined over, since. Each is told by the
    // latest earlier span that drew on it.
    std::vector<std::vector<uint32_t>> asked(last + 1);
    auto ask = [&](size_t span, uint32_t link) {
        if (isBaseLink(link)) {
            asked[span].push_back(link & ~kBaseLink);
        } else if (const NotedDraw* base = baseUnder(notes, link)) {
            const SpanEnd& of = *ends[static_cast<size_t>(base->x1)];
            asked[static_cast<size_t>(base->x1)].push_back(static_cast<uint32_t>(base->y1) *
                                                               static_cast<uint32_t>(blocksOf(of.startWidth, of.startHeight)) +
                                                           static_cast<uint32_t>(base->x2));
        }
    };
    for (const auto& page : ends[last]->links)
        for (const uint32_t link : page) ask(last, link);
    struct Telling {
        size_t by, span;
        uint32_t place, link;
    };
    std::vector<Telling> tellings;
    for (size_t span = last; span > 0; --span) {
        std::vector<uint32_t>& places = asked[span];
        std::sort(places.begin(), places.end());
        places.erase(std::unique(places.begin(), places.end()), places.end());
        const int width = ends[span]->startWidth, height = ends[span]->startHeight;
        const auto blocks = static_cast<uint32_t>(blocksOf(width, height));
        for (const uint32_t place : places) {
            const auto page = static_cast<int>(place / blocks), block = static_cast<int>(place % blocks);
            size_t by = span - 1;
            while (by > 0 && !touched(touches, by, width, height, page, block)) --by;
            if (!ends[by]) {
                ends[by].emplace();
                if (!noteSpan(w, notes, by, w.states[by].turn, *ends[by])) return false;
            }
            const SpanEnd& end = *ends[by];
            if (end.width != width || end.height != height) return false;
            const uint32_t link = end.links[static_cast<size_t>(page)][static_cast<size_t>(block)];
            tellings.push_back({by, span, place, link});
            ask(by, link);
        }
    }
    if (!asked[0].empty()) return false;  // the start has no blocks to ask of
    // Told from the earliest span on, so that what a telling stands on is
    // told before it.
    std::stable_sort(tellings.begin(), tellings.end(), [](const Telling& a, const Telling& b) { return a.by < b.by; });
    std::unordered_map<uint64_t, uint32_t> told;  // span and place to the chain it held
    auto key = [](size_t span, uint32_t place) { return uint64_t{span} << 32 | place; };
    for (const Telling& t : tellings) {
        uint32_t link = t.link;
        if (isBaseLink(link)) {
            const auto at = told.find(key(t.by, link & ~kBaseLink));
            if (at == told.end()) return false;
            link = at->second;
        }
        if (baseUnder(notes, link)) return false;
        told[key(t.span, t.place)] = link;
        const SpanEnd& of = *ends[t.span];
        if (const int64_t base = baseDraw(notes, static_cast<int32_t>(t.span), t.place);
            base >= 0 && !tellBase(notes, static_cast<uint32_t>(base), link, of.startWidth, of.startHeight))
            return false;
    }

    putState(*w.run, shown);
    Screen& screen = w.run->platform.screen;
    const SpanEnd& end = *ends[last];
    if (screen.width != end.width || screen.height != end.height || !pagesFitWindow(screen)) return false;
    useLayout(notes, end.width, end.height);
    notes.live = end.links;
    for (auto& page : notes.live)
        for (uint32_t& link : page) {
            if (isBaseLink(link)) {
                const auto at = told.find(key(last, link & ~kBaseLink));
                if (at == told.end()) return false;
                link = at->second;
            }
            if (baseUnder(notes, link)) return false;
        }
    for (int p = 0; p < kPageCount; ++p)
        if (!composePage(notes, -1, screen, p)) return false;
    return true;
}

}  // namespace delve
