#include "watch/watch.h"

#include <algorithm>
#include <cstring>

#include "recording/data_digest.h"
#include "watch/page_pack.h"

namespace delve {

namespace {

size_t pageSize(const Screen& s) { return s.pages[0].size(); }

// What a kept state costs beyond its pages: the game record is mostly its
// two level grids and its tables, a few dozen kilobytes at most.
constexpr size_t kStateBytes = 32 << 10;

void keepMoment(Watch& w) {
    WatchedRun& run = *w.run;
    if (w.keptBytes > w.keptBytesLimit) return;
    Moment m;
    m.state = keepState(run);
    Screen& screen = run.platform.screen;
    m.pageBytes = pageSize(screen);
    const auto index = static_cast<int32_t>(w.moments.size());
    const bool keyframe = index % kMomentsPerKeyframe == 0 || w.keyframePages[0].size() != m.pageBytes;
    if (keyframe) w.keyframePages = screen.pages;
    m.keyframe = keyframe ? index : w.moments.back().keyframe;
    for (int p = 0; p < kPageCount; ++p) {
        const uint8_t* reference = keyframe ? nullptr : w.keyframePages[p].data();
        m.pages.push_back(packPage(screen.pages[p].data(), reference, m.pageBytes));
        w.keptBytes += m.pages.back().size();
    }
    w.keptBytes += kStateBytes;
    w.moments.push_back(std::move(m));
}

// Pages of moment `index`: its keyframe's, then its own difference.
void putPages(Watch& w, size_t index) {
    Screen& screen = w.run->platform.screen;
    const Moment& m = w.moments[index];
    if (pageSize(screen) != m.pageBytes) screen.pages.reset(m.pageBytes);
    const Moment& key = w.moments[static_cast<size_t>(m.keyframe)];
    for (int p = 0; p < kPageCount; ++p) {
        uint8_t* out = screen.pages[p].data();
        if (m.pageBytes == 0) continue;
        std::memset(out, 0, m.pageBytes);
        unpackPage(key.pages[p], out, m.pageBytes);
        if (&key != &m) unpackPage(m.pages[p], out, m.pageBytes);
    }
}

void putMoment(Watch& w, size_t index) {
    putState(*w.run, w.moments[index].state);
    putPages(w, index);
}

// One turn on, keeping a moment when the turn is due one and none is kept.
bool stepAndKeep(Watch& w) {
    if (!nextTurn(*w.run)) {
        // Drawing finds what the replay without drawing cannot: a page that
        // differs from the recorded one. The timeline ends there.
        Timeline& t = w.timeline;
        if (!w.run->mismatch.empty() && w.run->turn < t.lastTurn) {
            t.lastTurn = w.run->turn;
            t.mismatch = w.run->mismatch;
            while (!t.marks.empty() && t.marks.back().turn > t.lastTurn) t.marks.pop_back();
        }
        return false;
    }
    const int32_t turn = w.run->turn;
    if (turn % kMomentTurns == 1 && turn > indexedTurn(w)) keepMoment(w);
    return true;
}

}  // namespace

std::unique_ptr<Watch> openWatch(Recording recording, const std::string& dataRoot, size_t keptBytesLimit) {
    auto w = std::make_unique<Watch>();
    w->recording = std::move(recording);
    w->keptBytesLimit = keptBytesLimit;
    const uint64_t digest = dataFolderDigest(dataRoot);
    {
        WatchedRun undrawn(w->recording, dataRoot, digest, false);
        TimelineNotes notes;
        while (nextTurn(undrawn)) noteFrame(w->timeline, notes, *undrawn.game, undrawn.turn, undrawn.newLevel);
        w->timeline.mismatch = undrawn.mismatch;
    }
    w->run = std::make_unique<WatchedRun>(w->recording, dataRoot, digest, true);
    stepAndKeep(*w);
    return w;
}

int32_t shownTurn(const Watch& w) { return w.run->turn; }
const Screen& shownScreen(const Watch& w) { return w.run->platform.screen; }
const Game& shownGame(const Watch& w) { return *w.run->game; }

int32_t indexedTurn(const Watch& w) { return w.moments.empty() ? 0 : w.moments.back().state.turn; }

int32_t showTurn(Watch& w, int32_t turn) {
    turn = std::clamp(turn, 1, std::max(w.timeline.lastTurn, 1));
    WatchedRun& run = *w.run;
    // The latest moment at or before the turn, unless the run is nearer.
    auto after = std::upper_bound(w.moments.begin(), w.moments.end(), turn,
                                  [](int32_t t, const Moment& m) { return t < m.state.turn; });
    if (after != w.moments.begin()) {
        const auto index = static_cast<size_t>(after - w.moments.begin()) - 1;
        const int32_t from = w.moments[index].state.turn;
        if (run.turn > turn || run.turn < from) putMoment(w, index);
    }
    while (run.turn < turn && stepAndKeep(w)) {
    }
    return run.turn;
}

namespace {

bool moreToIndex(const Watch& w) {
    return indexedTurn(w) + kMomentTurns <= w.timeline.lastTurn && w.keptBytes <= w.keptBytesLimit;
}

}  // namespace

bool indexSome(Watch& w, int32_t turns) {
    if (!moreToIndex(w)) return false;
    const int32_t shown = shownTurn(w);
    // Whole spans between moments: a slice always keeps one more.
    const int32_t spans = std::max(turns / kMomentTurns, 1);
    showTurn(w, std::min(indexedTurn(w) + spans * kMomentTurns, w.timeline.lastTurn));
    showTurn(w, shown);
    return moreToIndex(w);
}

}  // namespace delve
