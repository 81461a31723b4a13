#pragma once
// Clicks become walks: a backend in front of the window's that, while the
// game waits for a turn's key, turns a click on a seen cell into a walk and
// gives the walk's move keys one per turn, about 12 a second, as if typed.
// It sits under the recording, so the recording keeps the move keys and a
// walk replays like typing.
#include <string>

#include "game/game_state.h"
#include "platform/forwarding_backend.h"
#include "walk/mouse_walk.h"

namespace delve {

class WalkBackend final : public ForwardingBackend {
public:
    explicit WalkBackend(Backend& inner) : ForwardingBackend(inner) {}

    // The game the clicks walk in; clicks do nothing until it is set.
    void setGame(const Game* g) { game_ = g; }
    // Whether the program's next read is a turn's key: only then does a
    // click walk; a click at any other time is dropped. It lapses once the
    // turn has its key, so a prompt later in the turn never gets a walk's key.
    void setTurnKeyNext(bool next) { turnKeyNext_ = next; }
    bool walking() const { return walk_.active; }

    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    // Every pump goes through the walk: a step may be due.
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        (void)seconds;
        pumpKeys(queue, KeyWait::Brief);
    }
    // After each frame, with the message it showed: the walk goes on or
    // stops, and the backend below hears the message.
    void messageShown(const std::string& text) override;

private:
    void stop();

    const Game* game_ = nullptr;
    bool turnKeyNext_ = false;
    MouseWalk walk_;
    std::string nextKey_;
    double lastStep_ = 0;
};

// The pause between a walk's keys, so the player sees each step.
constexpr double kWalkStepSeconds = 1.0 / 12.0;

}  // namespace delve
