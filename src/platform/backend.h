#pragma once
// The seam between the game and the machine it runs on. A backend shows
// pages, brings key events and reads clocks; everything else (drawing, the
// key queue, random numbers, files) is the same software on every backend.
#include <stdexcept>
#include <string>

#include "platform/key_queue.h"
#include "platform/screen.h"
#include "watch/strip/timeline_strip.h"

namespace delve {

// A left click on the frame, held by a backend until the program takes it;
// a newer click replaces one not yet taken.
struct PendingClick {
    bool waiting = false;
    int frameX = 0, frameY = 0;
    void put(int x, int y) { waiting = true, frameX = x, frameY = y; }
    bool take(int& x, int& y) {
        if (!waiting) return false;
        waiting = false;
        x = frameX, y = frameY;
        return true;
    }
};

enum class KeyWait {
    Brief,  // return soon even if nothing came (polling)
    Block   // return only once something was queued
};

class Backend {
public:
    virtual ~Backend() = default;
    // The window was (re)created at this size; all pages are already cleared.
    virtual void windowOpened(int width, int height) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // Show the visible page of the screen. May throw EndRequested.
    virtual void present(const Screen& screen) = 0;
    // Move key events into the queue. May throw RunEnded when no event can
    // ever come (a headless script that is used up), or EndRequested.
    virtual void pumpKeys(KeyQueue& queue, KeyWait wait) = 0;
    // A left click on the frame since the last call, in frame pixels; a pump
    // that brought one returns as if a key had come. Most backends have none.
    virtual bool takeClick(int& frameX, int& frameY) {
        (void)frameX, (void)frameY;
        return false;
    }
    // A Brief pump that sleeps at most `seconds` when nothing comes: a
    // walk's pause between steps. A backend whose Brief sleep is already
    // short need not override it.
    virtual void pumpKeysWithin(KeyQueue& queue, double seconds) {
        (void)seconds;
        pumpKeys(queue, KeyWait::Brief);
    }
    // The report the message panel showed with the latest turn's frame, ""
    // when none. Only a backend that can speak it (the page) listens.
    virtual void messageShown(const std::string& text) { (void)text; }
    // A watcher's timeline under the picture (one with lastTurn 0 takes it
    // away). While one is shown, keys without a character come as the
    // named key texts of watch/strip/timeline_strip.h instead of
    // kNoCommandKey. Only the window shows one; others ignore it.
    virtual void showTimeline(const TimelineStrip& strip) { (void)strip; }
    // The turn under the latest click or drag on the timeline since the
    // last call; a pump that brought one returns as if a key had come.
    virtual bool takeTimelineClick(int32_t& turn) {
        (void)turn;
        return false;
    }
    virtual double timerSeconds() = 0;
    virtual std::string clockTime() = 0;
    virtual std::string clockDate() = 0;
};

// Thrown by a backend when the program needs a key that will never come.
struct RunEnded : std::runtime_error {
    RunEnded() : std::runtime_error("no more key events") {}
};

// Thrown by a backend when the player or the desktop asks the program to end
// (the window's close button, a termination signal): it ends as Escape does,
// wherever the program is waiting.
struct EndRequested : RunEnded {};

}  // namespace delve
