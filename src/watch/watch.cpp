#include "watch/watch.h"

#include <algorithm>
#include <cstring>

#include "recording/data_digest.h"
#include "watch/composed_seek.h"
#include "watch/page_pack.h"
#include "watch/span_seek.h"

namespace delve {

namespace {

size_t pageSize(const Screen& s) { return s.pages[0].size(); }

// What a kept state costs beyond its pages: the game record is mostly its
// two level grids and its tables, a few dozen kilobytes at most.
constexpr size_t kStateBytes = 32 << 10;

size_t momentBytes(const Moment& m) {
    size_t bytes = kStateBytes;
    for (const std::string& p : m.pages) bytes += p.size();
    return bytes;
}

// Lets every other moment go and doubles the spacing. Keyframes stay (the
// moments after them are packed against them).
void thinMoments(Watch& w) {
    std::vector<Moment> kept;
    std::vector<int32_t> newPlace(w.moments.size(), -1);
    w.keptBytes = 0;
    for (size_t i = 0; i < w.moments.size(); ++i) {
        Moment& m = w.moments[i];
        if (i % 2 != 0 && !m.keyframe) continue;
        newPlace[i] = static_cast<int32_t>(kept.size());
        if (m.reference >= 0) m.reference = newPlace[static_cast<size_t>(m.reference)];
        w.keptBytes += momentBytes(m);
        kept.push_back(std::move(m));
    }
    if (w.lastKeyframe >= 0) w.lastKeyframe = newPlace[static_cast<size_t>(w.lastKeyframe)];
    w.moments = std::move(kept);
    w.momentTurns *= 2;
}

// Page `page` of moment `index` into `out` (`bytes` long): unpacked over
// those of the moment it is packed against, back to one packed against
// nothing.
void unpackMomentPage(const Watch& w, size_t index, int page, uint8_t* out, size_t bytes) {
    std::vector<size_t> chain;
    for (auto at = static_cast<int32_t>(index); at >= 0; at = w.moments[static_cast<size_t>(at)].reference)
        chain.push_back(static_cast<size_t>(at));
    std::memset(out, 0, bytes);
    for (auto at = chain.rbegin(); at != chain.rend(); ++at)
        unpackPage(w.moments[*at].pages[static_cast<size_t>(page)], out, bytes);
}

void keepMoment(Watch& w) {
    WatchedRun& run = *w.run;
    Moment m;
    m.state = keepState(run);
    Screen& screen = run.platform.screen;
    m.pageBytes = pageSize(screen);
    const auto index = static_cast<int32_t>(w.moments.size());
    const bool sameSize =
        w.lastKeyframe >= 0 && w.moments[static_cast<size_t>(w.lastKeyframe)].pageBytes == m.pageBytes;
    m.keyframe = !sameSize || index - w.lastKeyframe >= kMomentsPerKeyframe;
    m.reference = sameSize ? w.lastKeyframe : -1;
    for (int p = 0; p < kPageCount; ++p) {
        const uint8_t* reference = nullptr;
        if (sameSize && m.pageBytes > 0) {
            w.scratch.resize(m.pageBytes);
            unpackMomentPage(w, static_cast<size_t>(w.lastKeyframe), p, w.scratch.data(), m.pageBytes);
            reference = w.scratch.data();
        }
        m.pages.push_back(packPage(screen.pages[p].data(), reference, m.pageBytes));
    }
    if (m.keyframe) w.lastKeyframe = index;
    w.keptBytes += momentBytes(m);
    w.moments.push_back(std::move(m));
    if (w.keptBytes > w.keptBytesLimit && w.moments.size() > 2) thinMoments(w);
}

// Pages of moment `index`: unpacked over those of the moment they are
// packed against, back to one packed against nothing.
void putPages(Watch& w, size_t index) {
    Screen& screen = w.run->platform.screen;
    const size_t bytes = w.moments[index].pageBytes;
    if (pageSize(screen) != bytes) screen.pages.reset(bytes);
    if (bytes == 0) return;
    for (int p = 0; p < kPageCount; ++p) unpackMomentPage(w, index, p, screen.pages[p].data(), bytes);
}

void putMoment(Watch& w, size_t index) {
    putState(*w.run, w.moments[index].state);
    putPages(w, index);
    w.composed = false;
}

// One turn on, keeping a moment when the turn is due one and none is kept.
bool stepAndKeep(Watch& w) {
    if (!nextTurn(*w.run)) {
        cutTimeline(w.timeline, w.run->turn, w.run->mismatch);
        return false;
    }
    const int32_t turn = w.run->turn;
    if (turn % w.momentTurns == 1 && turn > indexedTurn(w) && !w.composed) keepMoment(w);
    return true;
}

}  // namespace

std::unique_ptr<Watch> openWatch(Recording recording, const std::string& dataRoot, size_t keptBytesLimit,
                                 const std::function<void()>& betweenTurns) {
    auto w = std::make_unique<Watch>();
    w->recording = std::move(recording);
    w->keptBytesLimit = w->roomBytes = keptBytesLimit;
    const uint64_t digest = dataFolderDigest(dataRoot);
    // Noting the draws goes on a slice at a time while the viewer looks on
    // (`noteSome`); half the room is the notes', the moments get the rest.
    w->notes = std::make_unique<DrawNotes>();
    w->notes->bytesLimit = std::max<size_t>(keptBytesLimit / 2, 1);
    // The timeline, the states and the spans come from one replay on the
    // drawn run, which then starts drawing from the start.
    w->run = std::make_unique<WatchedRun>(w->recording, dataRoot, digest, true);
    openSpans(*w, *w->run, betweenTurns);
    w->noter = std::make_unique<WatchedRun>(w->recording, dataRoot, digest, true);
    w->noter->platform.screen.notes = w->notes.get();
    noteSome(*w, kOpeningNoteTurns);
    stepAndKeep(*w);
    return w;
}

void trimMoments(Watch& w) {
    // Keyframes stay when thinning: stop once it lets nothing go.
    for (size_t before = 0; w.keptBytes > w.keptBytesLimit && w.moments.size() > 2 && w.moments.size() != before;) {
        before = w.moments.size();
        thinMoments(w);
    }
}

int32_t shownTurn(const Watch& w) { return w.run->turn; }
const Screen& shownScreen(const Watch& w) { return w.run->platform.screen; }
const Game& shownGame(const Watch& w) { return *w.run->game; }

int32_t indexedTurn(const Watch& w) { return w.moments.empty() ? 0 : w.moments.back().state.turn; }

namespace {

// Draws up to `turn` from the run or the latest kept moment before it; from
// a moment only when `fromMoments` (moments are kept only from one).
int32_t drawTo(Watch& w, int32_t turn, bool fromMoments) {
    WatchedRun& run = *w.run;
    // The latest moment at or before the turn, unless the run is nearer.
    auto after = std::upper_bound(w.moments.begin(), w.moments.end(), turn,
                                  [](int32_t t, const Moment& m) { return t < m.state.turn; });
    if (after != w.moments.begin()) {
        const auto index = static_cast<size_t>(after - w.moments.begin()) - 1;
        const int32_t from = w.moments[index].state.turn;
        if (run.turn > turn || run.turn < from || (fromMoments && w.composed)) putMoment(w, index);
    }
    while (run.turn < turn && stepAndKeep(w)) {
    }
    return run.turn;
}

}  // namespace

int32_t showTurn(Watch& w, int32_t turn) {
    turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    if (spanSeekServes(w, turn)) {
        if (seekBySpans(w, turn)) return w.run->turn;
        // A draw the spans cannot follow: never sought so again, and the
        // turn is reached as if they were never there.
        w.touches.reset();
        if (!w.moments.empty()) putMoment(w, 0);
    }
    if (const int32_t unnoted = turnsToNote(w, turn); unnoted > 0) {
        // Past what is noted so far: noted up to it here and now, which
        // costs less than drawing there. The notes may find the timeline
        // shorter than the replay without drawing did.
        noteSome(w, unnoted);
        turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    }
    if (!composedIsNearer(w, turn)) return drawTo(w, turn, false);
    if (composeTurn(w, turn)) return w.run->turn;
    return drawTo(w, turn, true);  // from a kept moment: the run's pages are not that turn's
}

namespace {

bool moreToIndex(const Watch& w) { return indexedTurn(w) + w.momentTurns <= w.timeline.lastTurn; }

}  // namespace

bool indexSome(Watch& w, int32_t turns) {
    if (!moreToIndex(w)) return false;
    const int32_t shown = shownTurn(w);
    // Whole spans between moments: a slice always keeps one more.
    const int32_t spans = std::max(turns / w.momentTurns, 1);
    drawTo(w, std::min(indexedTurn(w) + spans * w.momentTurns, w.timeline.lastTurn), true);
    showTurn(w, shown);
    return moreToIndex(w);
}

}  // namespace delve
