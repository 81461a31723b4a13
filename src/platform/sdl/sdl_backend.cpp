#include "platform/sdl/sdl_backend.h"

#include <SDL.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/local_clock.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_pads.h"
#include "platform/sdl/sdl_video.h"

namespace delve {

namespace {

constexpr Uint32 kSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
// The longest single sleep while the game waits for a key.
constexpr int kWaitSliceMs = 50;
// The longest sleep of one poll. A key wakes it at once, so this only sets
// how often a screen polling in a loop (the title) wakes while nothing
// happens: each wake costs about 0.15 ms of the display library's own work,
// so 10 ms put the title at 1.5% of a core, near its 2% budget.
constexpr int kPumpSliceMs = 25;

// The signals that ask the program to end. They are blocked in every thread
// and taken while the game waits for keys, so they end it the way the close
// button does (cleanly, status 0) without a handler or a shared flag.
// Windows sends no such signals to a program with a window: there the close
// request (and the end of the session) comes as the window's own message.
#ifndef _WIN32
sigset_t endSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Before SDL starts its threads, so they inherit the mask and the signals
// wait for pumpKeys. Ctrl+C keeps its usual meaning.
void blockEndSignals() {
    const sigset_t ends = endSignals();
    pthread_sigmask(SIG_BLOCK, &ends, nullptr);
}

bool endSignalPending() {
    const sigset_t set = endSignals();
    const timespec now{0, 0};
    return sigtimedwait(&set, nullptr, &now) > 0;
}
#else
void blockEndSignals() {}
bool endSignalPending() { return false; }
#endif

bool explicitDriver() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver && *driver;
}

class SdlBackend final : public Backend {
public:
    explicit SdlBackend(const WindowSettings& settings)
        : settings_(settings), frequency_(static_cast<double>(SDL_GetPerformanceFrequency())) {
        for (char c : settings.typedKeys) typed_.emplace_back(1, c);
    }
    ~SdlBackend() override {
        SDL_StopTextInput();
        closePads(pads_);
        if (padsStarted_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        closeVideo(video_);
        SDL_QuitSubSystem(kSubsystems);
        SDL_Quit();
    }
    SdlBackend(const SdlBackend&) = delete;
    SdlBackend& operator=(const SdlBackend&) = delete;

    bool start() {
        if (!openVideo(video_, settings_.scale, settings_.fullscreen)) return false;
        SDL_StartTextInput();
        // Controllers are a bonus: without them the keyboard still plays.
        // Those already plugged in arrive as added events, like later ones.
        padsStarted_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        return true;
    }

    void windowOpened(int width, int height) override { setFrameSize(video_, width, height); }
    void setTitle(const std::string& title) override {
        if (video_.window) SDL_SetWindowTitle(video_.window, title.c_str());
    }
    void present(const Screen& screen) override {
        showPage(video_, screen);
        // Level generation shows many frames without asking for a key; an
        // end request must not wait for it to finish. Keys stay queued.
        takeEndSignal();
        SDL_PumpEvents();
        SDL_Event quit;
        if (SDL_PeepEvents(&quit, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT) > 0) throw EndRequested();
    }

    void pumpKeys(KeyQueue& queue, KeyWait wait) override {
        const bool typing = typedAt_ < typed_.size();
        if (wait == KeyWait::Brief && !typing) {
            pumpKeysWithin(queue, kPumpSliceMs / 1000.0);
            return;
        }
        takeEndSignal();
        if (typing) {
            // Window events still count (a close request ends the run), but a
            // typed key comes first, one per request, as the replay tool feeds them.
            drainEvents(queue);
            pushKey(queue, typed_[typedAt_++]);
            return;
        }
        int queued = drainEvents(queue);
        queued += tickPads(pads_, timerSeconds(), queue);
        SDL_Event event;
        while (queued == 0) {
            takeEndSignal();
            // A held stick or Start sends no events: the wait wakes for its
            // next repeat or for the end of the hold.
            if (SDL_WaitEventTimeout(&event, padWaitMs(pads_, timerSeconds(), kWaitSliceMs))) {
                queued += handle(event, queue);
                // The rest of the same key press (its text) is taken with it.
                queued += drainEvents(queue);
            }
            queued += tickPads(pads_, timerSeconds(), queue);
        }
    }

    // What has come, or else one short sleep (a key or click ends it at once)
    // and what it brought.
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        takeEndSignal();
        if (drainEvents(queue) + tickPads(pads_, timerSeconds(), queue) > 0) return;
        const double ms = std::ceil(seconds * 1000.0);
        const int longest = ms > 0 ? static_cast<int>(std::min<double>(ms, kPumpSliceMs)) : 0;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, padWaitMs(pads_, timerSeconds(), longest))) {
            handle(event, queue);
            drainEvents(queue);
        }
        tickPads(pads_, timerSeconds(), queue);
    }

    bool takeClick(int& frameX, int& frameY) override {
        return click_.take(frameX, frameY);
    }

    void showTimeline(const TimelineStrip& strip) override {
        keys_.namedKeys = strip.lastTurn > 0;
        if (!keys_.namedKeys) dragging_ = false, timelineTurn_ = 0;
        setTimelineStrip(video_, strip);
    }

    bool takeTimelineClick(int32_t& turn) override {
        if (timelineTurn_ <= 0) return false;
        turn = timelineTurn_;
        timelineTurn_ = 0;
        return true;
    }

    double timerSeconds() override { return static_cast<double>(SDL_GetPerformanceCounter()) / frequency_; }
    std::string clockTime() override { return formatClockTime(localNow()); }
    std::string clockDate() override { return formatClockDate(localNow()); }

private:
    void takeEndSignal() {
        if (endSignalPending()) throw EndRequested();
    }

    int drainEvents(KeyQueue& queue) {
        int queued = 0;
        SDL_Event event;
        while (SDL_PollEvent(&event)) queued += handle(event, queue);
        return queued;
    }

    // Returns the number of keys queued for the event.
    int handle(const SDL_Event& event, KeyQueue& queue) {
        switch (event.type) {
            case SDL_QUIT:
                // The close button or the desktop's close request: a window
                // that cannot be closed with its own button would be a fault.
                throw EndRequested();
            case SDL_KEYDOWN: {
                const KeyDownResult r = translateKeyDown(keys_, event.key.keysym, queue);
                if (r == KeyDownResult::ToggleFullscreen && !event.key.repeat) toggleFullscreen(video_);
                return r == KeyDownResult::Queued ? 1 : 0;
            }
            case SDL_TEXTINPUT:
                return translateTextInput(keys_, event.text.text, queue);
            case SDL_MOUSEBUTTONDOWN:
                // A click on the frame wakes a wait as a key does; a click on
                // the border around it is nothing.
                if (event.button.button != SDL_BUTTON_LEFT) return 0;
                // On the timeline it seeks, and so does dragging from there.
                if (int32_t turn = 0; timelineTurnAtWindowPoint(video_, event.button.x, event.button.y, turn)) {
                    dragging_ = true;
                    timelineTurn_ = turn;
                    return 1;
                }
                if (int x = 0, y = 0; framePixelAtWindowPoint(video_, event.button.x, event.button.y, x, y)) {
                    click_.put(x, y);
                    return 1;
                }
                return 0;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT) dragging_ = false;
                return 0;
            case SDL_MOUSEMOTION: {
                if (!dragging_ || !(event.motion.state & SDL_BUTTON_LMASK)) return 0;
                // Dragged off the strip, the turn follows the pointer's column.
                const int32_t turn = timelineTurnAtWindowColumn(video_, event.motion.x);
                if (turn <= 0) return 0;
                timelineTurn_ = turn;
                return 1;
            }
            case SDL_WINDOWEVENT:
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_SHOWN:
                        renderFrame(video_);
                        break;
                    default:
                        break;
                }
                return 0;
            case SDL_RENDER_TARGETS_RESET:
            case SDL_RENDER_DEVICE_RESET:
                rebuildTexture(video_);
                renderFrame(video_);
                return 0;
            default:
                return takePadEvent(pads_, event, timerSeconds(), queue);
        }
    }

    WindowSettings settings_;
    std::vector<std::string> typed_;
    size_t typedAt_ = 0;
    SdlVideo video_;
    KeyTranslator keys_;
    SdlPads pads_;
    bool padsStarted_ = false;
    PendingClick click_;
    bool dragging_ = false;     // the left button went down on the timeline
    int32_t timelineTurn_ = 0;  // the turn clicked or dragged to, not yet taken
    double frequency_;
};

}  // namespace

std::string displayProblem() {
#ifdef _WIN32
    return "";  // Windows always has its desktop.
#else
    if (explicitDriver()) return "";
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 && *x11) || (wayland && *wayland)) return "";
    return "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
#endif
}

std::unique_ptr<Backend> createSdlBackend(const WindowSettings& settings, std::string* problem) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<Backend> {
        if (problem) *problem = why;
        return nullptr;
    };
    if (std::string why = displayProblem(); !why.empty()) return fail(why);
    blockEndSignals();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(kSubsystems) != 0) return fail(std::string("cannot start the video system: ") + SDL_GetError());
    // Without a display SDL may settle on a driver that draws nowhere, and the
    // game would wait invisibly for keys nobody can type.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    if (!explicitDriver() && (name == "offscreen" || name == "dummy" || name.empty())) {
        SDL_QuitSubSystem(kSubsystems);
        SDL_Quit();
        const char* x11 = std::getenv("DISPLAY");
        const std::string where = x11 && *x11 ? std::string("DISPLAY=") + x11 : "the Wayland display";
        return fail("no display to open a window on (" + where + " cannot be reached)");
    }
    auto backend = std::make_unique<SdlBackend>(settings);
    if (!backend->start()) return fail(std::string("cannot open a window: ") + SDL_GetError());  // the destructor shuts SDL down again
    return backend;
}

}  // namespace delve
