#include "recording/playback_backend.h"

#include "platform/platform.h"

namespace delve {

PlaybackBackend::PlaybackBackend(Backend& inner, const Recording& recording)
    : ForwardingBackend(inner), cursor_(openCursor(recording)) {}

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
    batchStart_ = delve::nextEventStart(cursor_);
    nextEvent(cursor_);
    turn_ = e->turn;
    for (const auto& key : e->keys) pushKey(queue, key);
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

}  // namespace delve
