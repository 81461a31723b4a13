#include "recording/playback_backend.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"

namespace delve {

namespace {

std::string speedText(int step) {
    if (step == -2) return "\xc2\xbc";  // ¼
    if (step == -1) return "\xc2\xbd";  // ½
    return std::to_string(1 << std::clamp(step, 0, 30));
}

}  // namespace

PlaybackBackend::PlaybackBackend(Backend& inner, const Recording& recording, bool paced)
    : inner_(inner), recording_(recording), cursor_(openCursor(recording)), paced_(paced) {}

void PlaybackBackend::setTitle(const std::string& title) {
    // In the window the title tells where the playback is; without one the
    // game's own title is kept, as a plain run would.
    if (paced_) showTitle();
    else inner_.setTitle(title);
}

std::string PlaybackBackend::playbackTitle() const {
    return "Playback \xe2\x80\x94 turn " + std::to_string(turn_) + " of " + std::to_string(recording_.lastTurn) +
           ", \xc3\x97" + speedText(speedStep_) + (paused_ ? ", paused" : "");
}

void PlaybackBackend::showTitle() { inner_.setTitle(playbackTitle()); }

RecordedEvent PlaybackBackend::take(RecordedKind kind) {
    auto e = peekEvent(cursor_);
    if (!e) throw RunEnded();
    if (e->kind != kind)
        throw RecordingDiverged(std::string("the game read ") + recordedKindName(kind) + " where the recording has " +
                                recordedKindName(e->kind));
    nextEvent(cursor_);
    return *e;
}

void PlaybackBackend::pumpKeys(KeyQueue& queue, KeyWait) {
    auto e = peekEvent(cursor_);
    if (!e) throw RunEnded();
    if (e->kind != RecordedKind::Keys)
        throw RecordingDiverged(std::string("the game waits for a key where the recording has ") +
                                recordedKindName(e->kind));
    if (paced_) waitForNextKey();
    batchStart_ = delve::nextEventStart(cursor_);
    nextEvent(cursor_);
    turn_ = e->turn;
    for (const auto& key : e->keys) pushKey(queue, key);
    if (paced_) showTitle();
}

double PlaybackBackend::timerSeconds() { return take(RecordedKind::Timer).seconds; }
std::string PlaybackBackend::clockTime() { return take(RecordedKind::ClockTime).text; }
std::string PlaybackBackend::clockDate() { return take(RecordedKind::ClockDate).text; }

std::optional<RecordedEvent> PlaybackBackend::takeCheckpoint() {
    auto e = peekEvent(cursor_);
    if (!e || e->kind != RecordedKind::Checkpoint) return std::nullopt;
    nextEvent(cursor_);
    return e;
}

// How long a paused playback sleeps between looks at the viewer's keys
// (a key ends the sleep at once).
constexpr double kViewerPollSeconds = 0.05;

void PlaybackBackend::readViewerKeys(double seconds) {
    const bool wasPaused = paused_;
    const int wasStep = speedStep_;
    try {
        inner_.pumpKeysWithin(viewerKeys_, seconds);
    } catch (const EndRequested&) {
        // The window's close button or an end signal: the viewer leaves.
        stopped_ = true;
        return;
    }
    while (hasKey(viewerKeys_)) {
        const std::string key = takeKey(viewerKeys_);
        if (key == std::string(1, kEscape)) stopped_ = true;
        else if (key == " ") paused_ = !paused_;
        else if (key == "+") speedStep_ = std::min(speedStep_ + 1, kPlaybackFastestStep);
        else if (key == "-") speedStep_ = std::max(speedStep_ - 1, kPlaybackSlowestStep);
        else if (key == "." && paused_) step_ = true;
    }
    if (paused_ != wasPaused || speedStep_ != wasStep) showTitle();
}

void PlaybackBackend::waitForNextKey() {
    for (;;) {
        const double now = inner_.timerSeconds();
        // Asking the window for the viewer's keys sleeps when none came, at
        // most until the next key is due: at high speeds it is asked only now
        // and then, and the last few milliseconds before a key are waited
        // out awake.
        if (paused_ || now >= nextViewerCheck_ || nextDue_ - now > 0.012) {
            readViewerKeys(paused_ ? kViewerPollSeconds : nextDue_ - now);
            nextViewerCheck_ = now + 0.05;
        }
        if (stopped_) throw RunEnded();
        if (paused_) {
            if (step_) {
                step_ = false;
                return;
            }
            continue;
        }
        if (now >= nextDue_) {
            const double interval = 1.0 / (kPlaybackKeysPerSecond * std::ldexp(1.0, speedStep_));
            // Behind by more than a key (a slow level, a pause): start afresh
            // rather than rush the missed keys through.
            nextDue_ = std::max(nextDue_, now - interval) + interval;
            return;
        }
    }
}

void PlaybackBackend::waitForViewerToLeave(const std::string& title) {
    if (!paced_) return;
    inner_.setTitle(title);
    while (!stopped_) {
        try {
            inner_.pumpKeys(viewerKeys_, KeyWait::Block);
        } catch (const RunEnded&) {
            return;
        }
        while (hasKey(viewerKeys_))
            if (takeKey(viewerKeys_) == std::string(1, kEscape)) stopped_ = true;
    }
}

}  // namespace delve
