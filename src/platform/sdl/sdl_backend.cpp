#include "platform/sdl/sdl_backend.h"

#include <SDL.h>

#include "platform/local_clock.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_video.h"

namespace delve {

namespace {

constexpr Uint32 kSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
// The longest single sleep while the game waits for a key.
constexpr int kWaitSliceMs = 50;
// The sleep of one poll: long enough that a screen polling in a loop (the
// title) stays under 1% of a core (1 ms cost several percent), short enough
// that a key still answers at once.
constexpr int kPollSliceMs = 10;

class SdlBackend final : public Backend {
public:
    SdlBackend() : frequency_(static_cast<double>(SDL_GetPerformanceFrequency())) {}
    ~SdlBackend() override {
        SDL_StopTextInput();
        closeVideo(video_);
        SDL_QuitSubSystem(kSubsystems);
        SDL_Quit();
    }
    SdlBackend(const SdlBackend&) = delete;
    SdlBackend& operator=(const SdlBackend&) = delete;

    bool start() {
        if (!openVideo(video_)) return false;
        SDL_StartTextInput();
        return true;
    }

    void windowOpened(int width, int height) override { setFrameSize(video_, width, height); }
    void setTitle(const std::string& title) override {
        if (video_.window) SDL_SetWindowTitle(video_.window, title.c_str());
    }
    void present(const Screen& screen) override { showPage(video_, screen); }

    void pumpKeys(KeyQueue& queue, KeyWait wait) override {
        int queued = drainEvents(queue);
        if (queued > 0) return;
        SDL_Event event;
        if (wait == KeyWait::Brief) {
            // A short sleep, so a screen that polls in a loop leaves the CPU idle.
            if (SDL_WaitEventTimeout(&event, kPollSliceMs)) {
                queued += handle(event, queue);
                drainEvents(queue);
            }
            return;
        }
        while (queued == 0) {
            if (SDL_WaitEventTimeout(&event, kWaitSliceMs)) {
                queued += handle(event, queue);
                // The rest of the same key press (its text) is taken with it.
                queued += drainEvents(queue);
            }
        }
    }

    double timerSeconds() override { return static_cast<double>(SDL_GetPerformanceCounter()) / frequency_; }
    std::string clockTime() override { return formatClockTime(localNow()); }
    std::string clockDate() override { return formatClockDate(localNow()); }

private:
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
                // Closing the window is only a key: Escape alone ends the game.
                pushKey(queue, kNoCommandKey);
                return 1;
            case SDL_KEYDOWN: {
                const KeyDownResult r = translateKeyDown(keys_, event.key.keysym, queue);
                if (r == KeyDownResult::ToggleFullscreen && !event.key.repeat) toggleFullscreen(video_);
                return r == KeyDownResult::Queued ? 1 : 0;
            }
            case SDL_TEXTINPUT:
                return translateTextInput(keys_, event.text.text, queue);
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
                return 0;
        }
    }

    SdlVideo video_;
    KeyTranslator keys_;
    double frequency_;
};

}  // namespace

std::unique_ptr<Backend> createSdlBackend() {
    // Ctrl+C in the terminal should still stop the program, not arrive as a
    // window close request (which the game treats as an ordinary key).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(kSubsystems) != 0) return nullptr;
    auto backend = std::make_unique<SdlBackend>();
    if (!backend->start()) return nullptr;  // the destructor shuts SDL down again
    return backend;
}

}  // namespace delve
