#include "watch/watch_window.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "kept/continue_game.h"
#include "kept/playback.h"
#include "watch/play_on.h"
#include "watch/watch.h"
#include "watch/watch_controls.h"

namespace delve {

namespace {

// How long an idle watcher sleeps between looks at the viewer's keys.
constexpr double kIdlePollSeconds = 0.025;
// Turns drawn ahead per slice while the viewer is idle: a few dozen
// milliseconds, so a key is never kept waiting long.
constexpr int32_t kIndexSliceTurns = 64;
constexpr int32_t kNoteSliceTurns = kOpeningNoteTurns;
// Playing, a slice is drawn ahead only when the next turn is this far off.
constexpr double kIndexRoomSeconds = 0.05;
// A seek that would first note more turns than this is not waited on: the
// turn is on its way (the title and the bar say so) while the game is noted
// up to it a slice at a time, the viewer's keys answered between slices;
// once noted, it is shown at the next look. Noting this many turns holds the
// thread for about a hundredth of a second.
constexpr int32_t kWaitedNoteTurns = 128;
// On the way, slices of this many turns go on within a look for as long as
// the page may be held without its answers lagging.
constexpr int32_t kArrivingSliceTurns = 64;
constexpr double kArrivingLookSeconds = 0.025;

struct Watcher {
    Backend& window;
    Watch& watch;
    const WatchWindowOptions& options;
    WatchControls controls;
    bool indexing = true;
    int32_t stripLastTurn = -1;
    TimelineStrip strip;
};

void showTitle(Watcher& v) { v.window.setTitle(watchTitle(v.controls, v.watch.timeline)); }

void showStrip(Watcher& v) {
    const Timeline& t = v.watch.timeline;
    if (v.stripLastTurn != t.lastTurn) {
        v.strip = {};
        for (const TimelineMark& m : t.marks) {
            if (m.kind == TimelineMark::LevelStart) {
                v.strip.levelStarts.push_back(m.turn);
                v.strip.levels.push_back(m.level);
            }
            else if (m.kind == TimelineMark::MemberFell) v.strip.memberFalls.push_back(m.turn);
            else v.strip.partyFalls.push_back(m.turn);
        }
        v.strip.lastTurn = std::max(t.lastTurn, 1);
        v.stripLastTurn = t.lastTurn;
    }
    const WatchControls& c = v.controls;
    v.strip.turn = c.turn;
    v.strip.paused = c.paused;
    v.strip.speed = watchSpeedText(c.speedStep);
    v.strip.label.clear();
    if (c.arriving) v.strip.label = watchTurnText(c, t) + " \xe2\x80\x94 " + kGettingThere;
    v.window.showTimeline(v.strip);
}

// Shows the turn the controls hold, or, when it is far past what is noted
// and not `now`, sets it on its way (`arriving`); false when showing ran
// into the end of a recording that stops matching there, which the caller
// then shows.
bool showControlsTurn(Watcher& v, bool now = false) {
    WatchControls& c = v.controls;
    c.arriving = !now && turnsToNote(v.watch, c.turn) > kWaitedNoteTurns;
    if (c.arriving) {
        showStrip(v);
        showTitle(v);
        return true;
    }
    const int32_t wanted = c.turn;
    c.turn = showTurn(v.watch, wanted);
    // Drawing may find the recording stops matching sooner than the replay
    // without drawing could tell: the timeline is cut there.
    const bool ranIntoMismatch = c.turn < wanted && !v.watch.timeline.mismatch.empty() && !c.paused;
    showStrip(v);
    v.window.present(shownScreen(v.watch));
    showTitle(v);
    return !ranIntoMismatch;
}

// The recording stops matching after the last turn: the turn that does not
// match is drawn and the reason shown over it, as plain playback shows it.
int stopAtMismatch(Watcher& v) {
    Watch& w = v.watch;
    if (w.timeline.lastTurn > 0) showTurn(w, w.timeline.lastTurn);
    WatchedRun& run = *w.run;
    if (!run.ended) nextTurn(run);
    const std::string message = run.mismatch.empty() ? w.timeline.mismatch : run.mismatch;
    const int32_t turn = run.game->turnCount;
    run.platform.backend = &v.window;  // the message goes to the window
    showMismatch(run.platform, "Playback stopped", v.options.path, w.recording, run.dataDigest, turn, message);
    waitForEscape(v.window, "Playback stopped \xe2\x80\x94 turn " + std::to_string(turn) +
                                " does not match the recording");
    return 3;
}

// Played to the last turn: the replay is run to the recording's very end,
// so the picture is the one a plain replay ends on.
void finish(Watcher& v) {
    WatchControls& c = v.controls;
    c.turn = std::max(v.watch.timeline.lastTurn, 1);
    showTurn(v.watch, c.turn);
    if (!v.watch.run->ended) nextTurn(*v.watch.run);
    c.paused = true;
    c.finished = true;
    showStrip(v);
    v.window.present(shownScreen(v.watch));
    showTitle(v);
}

// A new kept game from the turn shown, played on in the same window. Nothing
// when it cannot be made (`problem` says why); the watched file is untouched.
std::optional<int> playOnFromWatch(Watcher& v, std::string& problem) {
    const auto start = playOnStart(v.watch, problem);
    if (!start) return std::nullopt;
    const std::string path = v.options.playOnFile.empty() ? keepPlayOn(v.options.dataRoot, *start, problem)
                             : keepPlayOnAt(v.options.playOnFile, *start, problem) ? v.options.playOnFile
                                                                                    : "";
    if (path.empty()) return std::nullopt;
    if (v.options.playOnPath) {
        // The caller takes the timeline down once it has taken the game.
        *v.options.playOnPath = path;
        return 0;
    }
    ContinueTarget target;
    std::string error;
    if (openToContinue(v.options.dataRoot, path, target, error) != 0) {
        problem = error;
        return std::nullopt;
    }
    std::fprintf(stderr, "delve: playing on from turn %d as %s\n", v.controls.turn, path.c_str());
    v.window.showTimeline({});
    return continueGame(v.window, target, v.options.dataRoot, v.options.tracePath);
}

// Where the viewer sent the watcher; false when it passed the last turn of
// a recording that stops matching there.
bool goTo(Watcher& v, int32_t turn) {
    WatchControls& c = v.controls;
    const Timeline& t = v.watch.timeline;
    c.finished = false;
    if (turn > t.lastTurn && !t.mismatch.empty()) return false;
    c.turn = std::clamp(turn, 1, std::max(t.lastTurn, 1));
    return true;
}

int runWatcher(Watcher& v) {
    WatchControls& c = v.controls;
    KeyQueue keys;
    double nextDue = v.window.timerSeconds() + watchInterval(c.speedStep);
    for (;;) {
        double now = v.window.timerSeconds();
        const double untilDue = c.paused ? kIdlePollSeconds : std::max(nextDue - now, 0.0);
        const bool roomToIndex = v.indexing && (c.paused || untilDue > kIndexRoomSeconds);
        v.window.pumpKeysWithin(keys, roomToIndex || c.arriving ? 0.0 : untilDue);

        bool moved = false;
        bool changed = false;
        int32_t clicked = 0;
        if (v.window.takeTimelineClick(clicked)) {
            if (!goTo(v, clicked)) return stopAtMismatch(v);
            moved = true;
        }
        while (hasKey(keys)) {
            const bool wasPaused = c.paused;
            const WatchAction a = watchKey(c, v.watch.timeline, takeKey(keys));
            changed = true;
            if (a.kind == WatchAction::Stop) return 0;
            if (a.kind == WatchAction::Show) {
                if (!goTo(v, a.turn)) return stopAtMismatch(v);
                moved = true;
            } else if (a.kind == WatchAction::PlayOn) {
                // From the turn asked for, not the one still shown.
                if (c.arriving && !showControlsTurn(v, true)) return stopAtMismatch(v);
                std::string problem;
                if (const auto status = playOnFromWatch(v, problem)) return *status;
                c.note = "cannot play on: " + problem;
            }
            if (wasPaused && !c.paused) nextDue = v.window.timerSeconds() + watchInterval(c.speedStep);
            if (!c.paused) c.finished = false;
        }

        now = v.window.timerSeconds();
        // Playing waits while the turn is on its way, and goes on from it.
        if (c.arriving) nextDue = std::max(nextDue, now + watchInterval(c.speedStep));
        if (!c.paused && !c.arriving && now >= nextDue) {
            // As many turns as are due, so high speeds keep their pace.
            const double interval = watchInterval(c.speedStep);
            const auto due = static_cast<int32_t>(std::min((now - nextDue) / interval, 1000.0)) + 1;
            nextDue = std::max(nextDue + due * interval, now - interval);
            const int32_t target = c.turn + due;
            if (target > v.watch.timeline.lastTurn) {
                if (!v.watch.timeline.mismatch.empty()) return stopAtMismatch(v);
                finish(v);
                continue;
            }
            c.turn = target;
            moved = true;
        }

        if (moved) {
            if (!showControlsTurn(v)) return stopAtMismatch(v);
        } else if (changed) {
            showStrip(v);
            showTitle(v);
        } else if (c.arriving) {
            // Composing the turn is a look of its own, after the last slice.
            if (turnsToNote(v.watch, c.turn) == 0) {
                if (!showControlsTurn(v, true)) return stopAtMismatch(v);
                continue;
            }
            const double until = v.window.timerSeconds() + kArrivingLookSeconds;
            do {
                noteSome(v.watch, std::min(turnsToNote(v.watch, c.turn), kArrivingSliceTurns));
            } while (turnsToNote(v.watch, c.turn) > 0 && v.window.timerSeconds() < until);
        } else if (roomToIndex) {
            // Nothing came: note on, so that any turn can be composed, and
            // should the notes stop short, draw ahead, so later seeks put
            // back a kept moment instead of drawing from the start. Notes
            // that reach the end compose any turn as fast as a kept moment
            // gives it back, and drawing ahead would only hold the thread.
            v.indexing = noteSome(v.watch, kNoteSliceTurns) ||
                         (notesFellShort(v.watch) && indexSome(v.watch, kIndexSliceTurns));
            // The noting found the recording stops matching before the turn
            // shown (sought at once, its checkpoints' pages unchecked then).
            if (c.turn > v.watch.timeline.lastTurn && !v.watch.timeline.mismatch.empty()) return stopAtMismatch(v);
            if (v.stripLastTurn != v.watch.timeline.lastTurn) {
                showStrip(v);
                showTitle(v);
            }
        }
    }
}

}  // namespace

int watchInWindow(Backend& window, Recording recording, const WatchWindowOptions& options) {
    auto watch = openWatch(std::move(recording), options.dataRoot, options.memoryBytes, options.betweenTurns);
    Watcher v{window, *watch, options, {}, true, -1, {}};
    v.controls.paused = options.startPaused;
    try {
        if (watch->timeline.lastTurn < 1) {
            if (!watch->timeline.mismatch.empty()) return stopAtMismatch(v);
            finish(v);
        } else {
            v.controls.turn = std::clamp(options.startTurn, 1, watch->timeline.lastTurn);
            if (!showControlsTurn(v)) return stopAtMismatch(v);
            // A far turn on its way shows over the game's start, not an
            // empty window.
            if (v.controls.arriving) window.present(shownScreen(*watch));
        }
        return runWatcher(v);
    } catch (const RunEnded&) {
        return 0;  // the window was closed, or the program told to end
    }
}

}  // namespace delve
