#include "walk/walk_backend.h"

#include "rules/walk_path.h"

namespace delve {

void WalkBackend::stop() {
    walk_ = MouseWalk{};
    nextKey_.clear();
}

void WalkBackend::messageShown(const std::string& shownMessage) {
    inner().messageShown(shownMessage);
    if (!game_ || !walk_.active) return;
    nextKey_ = nextWalkKey(walk_, *game_, shownMessage);
}

void WalkBackend::pumpKeys(KeyQueue& queue, KeyWait wait) {
    int x = 0, y = 0;
    if (!turnKeyNext_ || !game_) {
        stop();
        inner().pumpKeys(queue, wait);
        inner().takeClick(x, y);  // not a turn: a click means nothing here
        return;
    }
    if (walk_.active && !nextKey_.empty()) {
        // Between steps the player may take over: any key or click ends the
        // walk, and a key then acts as typed.
        do {
            const int before = keyCount(queue);
            // Sleep no longer than the step needs, whatever a Brief poll sleeps.
            const double left = kWalkStepSeconds - (inner().timerSeconds() - lastStep_);
            inner().pumpKeysWithin(queue, left > 0 ? left : 0);
            const bool clicked = inner().takeClick(x, y);
            if (clicked || keyCount(queue) != before || hasKey(queue)) {
                stop();
                if (hasKey(queue)) turnKeyNext_ = false;
                return;
            }
        } while (inner().timerSeconds() - lastStep_ < kWalkStepSeconds);
        pushKey(queue, nextKey_);
        nextKey_.clear();
        lastStep_ = inner().timerSeconds();
        turnKeyNext_ = false;
        return;
    }
    stop();
    inner().pumpKeys(queue, wait);
    if (!inner().takeClick(x, y) || hasKey(queue)) {
        // Once the turn has its key, whatever else the turn reads (a prompt)
        // is not a turn's key.
        if (hasKey(queue)) turnKeyNext_ = false;
        return;
    }
    int32_t cx = 0, cy = 0;
    if (!cellAtFramePixel(x, y, cx, cy)) return;
    // A click with no free path does nothing: no key, so no turn passes.
    const std::string first = startWalk(walk_, *game_, cx, cy);
    if (first.empty()) return;
    pushKey(queue, first);
    lastStep_ = inner().timerSeconds();
    turnKeyNext_ = false;
}

}  // namespace delve
