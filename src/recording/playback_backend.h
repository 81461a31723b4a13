#pragma once
// A backend in front of another that gives the game what a recording says
// it read, in the order it read it: clock readings and key batches, as fast
// as the game takes them. Pages and the title still go to the backend
// behind it. (Watching at a pace, with seeking, is watch/watch_window's.)
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/forwarding_backend.h"
#include "recording/recording_format.h"

namespace delve {

// The game asked for something other than what the recording holds next:
// it has become a different game.
struct RecordingDiverged : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class PlaybackBackend final : public ForwardingBackend {
public:
    PlaybackBackend(Backend& inner, const Recording& recording);

    // Throws RunEnded when the recording is used up.
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        (void)seconds;
        pumpKeys(queue, KeyWait::Brief);
    }
    // What the recording holds is all a replay reads: a click on the window
    // in front would make it another game. (A walk's clicks were kept as
    // the keys they became.)
    bool takeClick(int& frameX, int& frameY) override {
        (void)frameX, (void)frameY;
        return false;
    }
    bool takeTimelineClick(int32_t& turn) override {
        (void)turn;
        return false;
    }
    double timerSeconds() override;
    std::string clockTime() override;
    std::string clockDate() override;

    // The checkpoint the recording holds next, taken; nothing (and nothing
    // taken) when the next item is something else or there is none.
    std::optional<RecordedEvent> takeCheckpoint();
    bool usedUp() const { return !peekEvent(cursor_).has_value(); }
    // The recording text taken so far, and how far it can be taken before
    // the next event (past the comments after what was taken).
    size_t position() const { return cursor_.position; }
    size_t nextEventStart() const { return delve::nextEventStart(cursor_); }
    int32_t recordedTurn() const { return turn_; }

    // Where the playback stands in the recording, to come back to it (a
    // watcher seeking back and forth); `batchStart` is where the line of the
    // last key batch taken begins, so the batch can be cut after the keys
    // the game has read of it.
    struct Place {
        size_t position = 0;
        int32_t turn = 0;
        size_t batchStart = 0;
    };
    Place place() const { return {cursor_.position, turn_, batchStart_}; }
    void moveTo(const Place& place) {
        cursor_.position = place.position;
        turn_ = place.turn;
        batchStart_ = place.batchStart;
    }

private:
    RecordedEvent take(RecordedKind kind);

    RecordingCursor cursor_;
    int32_t turn_ = 0;
    size_t batchStart_ = 0;
};

}  // namespace delve
