#include "platform/web/wasm/web_backend.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gamepad_keys.h"
#include "platform/local_clock.h"
#include "platform/palette.h"
#include "platform/platform.h"
#include "platform/web/canvas_fit.h"
#include "platform/web/dom_keys.h"
#include "platform/web/report_text.h"
#include "platform/web/shown_frame.h"

// The page side of the seam. The page's script puts an object `page` on
// Module before loading the program; these calls are all the game asks of it.
//   page.attach(backend)  the program runs; keys go to this backend
//   page.show(rgba, w, h, x, y, cw, ch)
//                         put a w x h picture (RGBA bytes) on the canvas; only
//                         its cw x ch rectangle at (x, y) changed since the
//                         last (none when cw or ch is 0)
//   page.setTitle(text)   the document's title
//   page.wait(ms)         a promise resolved by the next key, or after ms
//                         milliseconds (never when ms < 0)
//   page.ended()          the program has ended
//   page.report(text)     a report of the message panel, as text to speak
//   page.breathe()        a promise resolved once the browser has had its
//                         turn (input, painting) while the program works
// and the page calls back through the exported delve_web_* functions below.

EM_JS(void, pageAttach, (void* backend), { Module.page.attach(backend); });
EM_JS(void, pageShow, (const uint32_t* rgba, int width, int height, int x, int y, int changedWidth,
                       int changedHeight), {
    Module.page.show(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height, x, y,
                     changedWidth, changedHeight);
});
EM_JS(void, pageSetTitle, (const char* title), { Module.page.setTitle(UTF8ToString(title)); });
EM_ASYNC_JS(void, pageWait, (int milliseconds), { await Module.page.wait(milliseconds); });
EM_ASYNC_JS(void, pageBreathe, (), { await Module.page.breathe(); });
EM_JS(void, pageEnded, (), { Module.page.ended(); });
EM_JS(void, pageReport, (const char* text), { Module.page.report(UTF8ToString(text)); });
// The watch bar's side (web/js/watch-bar.js), there only while a recording
// is watched: the timeline to show, and a turn the viewer chose on it.
EM_JS(void, pageTimeline, (const char* json), {
    if (typeof globalThis.delveTimeline === 'function') globalThis.delveTimeline(JSON.parse(UTF8ToString(json)));
});
EM_JS(int, pageChosenTurn, (), {
    return typeof globalThis.delveTakeChosenTurn === 'function' ? (globalThis.delveTakeChosenTurn() | 0) : 0;
});

namespace delve {

namespace {

// The longest sleep of one poll. A key wakes the game at once whatever this
// is, so it only bounds how often a screen that polls in a loop (the title)
// runs while nothing happens.
constexpr int kPollSliceMs = 100;

// How long the program may hold the browser's thread before it lets the
// page have a turn, where it can (breathe). A phone is about four times
// slower than the machines this is measured on, and a task over 50 ms there
// delays the page's answer to a tap.
constexpr double kBreatheAfterMs = 8.0;

class WebBackend final : public Backend {
public:
    // Made as main is called: the program holds the thread from here.
    WebBackend() : heldSince_(emscripten_get_now()) {
        const auto& palette = defaultPalette();
        // RGBA bytes in memory, as the canvas takes them.
        for (size_t i = 0; i < palette.size(); ++i)
            colours_[i] = 0xFF000000u | uint32_t{palette[i].b} << 16 | uint32_t{palette[i].g} << 8 |
                          uint32_t{palette[i].r};
    }

    // A new window is a natural pause in the program's work (the start, the
    // title, a new game): the page may have its turn here, before and after
    // the whole canvas is drawn again.
    void windowOpened(int width, int height) override {
        breathe();
        openCanvas(width, height);
        breathe();
    }

    void setTitle(const std::string& title) override { pageSetTitle(title.c_str()); }

    void present(const Screen& screen) override {
        if (screen.visiblePage < 0 || screen.visiblePage >= kPageCount) return;
        const Page& page = screen.pages[screen.visiblePage];
        // Not windowOpened: a present never waits (web/asyncify_remove.json).
        if (screen.width != width_ || screen.height != height_) openCanvas(screen.width, screen.height);
        // --- speed: the canvas is given only what changed (shown_frame.h) ---
        const FrameArea changed = updateShownFrame(shown_, page.data(), page.size(), colours_);
        pageShow(shown_.rgba.data(), width_, height_, changed.x, changed.y, changed.width, changed.height);
        // --- end speed ---
    }

    void pumpKeys(KeyQueue& queue, KeyWait wait) override {
        if (wait == KeyWait::Brief) {
            pumpKeysWithin(queue, kPollSliceMs / 1000.0);
            return;
        }
        // A click wakes the game as a key does: it may start a walk.
        while (!hasKey(pending_) && !click_.waiting) pageWait(-1);
        tookThread();
        while (hasKey(pending_)) pushKey(queue, takeKey(pending_));
    }

    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        if (!hasKey(pending_) && !click_.waiting) {
            const double ms = seconds * 1000.0;
            pageWait(ms > 0 ? static_cast<int>(std::min<double>(ms + 0.5, kPollSliceMs)) : 0);  // 0: just a look
            tookThread();
        }
        while (hasKey(pending_)) pushKey(queue, takeKey(pending_));
    }

    bool takeClick(int& frameX, int& frameY) override {
        return click_.take(frameX, frameY);
    }

    // The watch bar hears of the timeline from the watcher, in its own
    // words (showWatchBar); the backend only brings the keys that steer it.
    void showTimeline(const TimelineStrip& strip) override { namedKeys_ = strip.lastTurn > 0; }

    bool takeTimelineClick(int32_t& turn) override {
        const int chosen = pageChosenTurn();
        if (chosen <= 0) return false;
        turn = chosen;
        return true;
    }

    // While a watcher's timeline is shown, keys without a character that
    // steer it come by name.
    bool namedKeys() const { return namedKeys_; }

    void messageShown(const std::string& text) override {
        if (text.empty()) return;
        const std::string spoken = speakableReport(text);
        if (!spoken.empty()) pageReport(spoken.c_str());
    }

    double timerSeconds() override { return emscripten_get_now() / 1000.0; }
    std::string clockTime() override { return formatClockTime(localNow()); }
    std::string clockDate() override { return formatClockDate(localNow()); }

    // Keys arrive while the game waits (or runs): they wait here, in a queue
    // that keeps the newest 15 as the game's own does, until the next pump.
    KeyQueue& pending() { return pending_; }

    // The mapping's memory of each gamepad the page reports, by its index;
    // null for an index past the few any browser hands out.
    PadMapper* pad(int index) {
        return index >= 0 && index < static_cast<int>(pads_.size()) ? &pads_[static_cast<size_t>(index)] : nullptr;
    }

    // Lets the page have its turn once the program has held the thread for
    // kBreatheAfterMs (see breathe in web_backend.h).
    void breathe() {
        if (emscripten_get_now() - heldSince_ < kBreatheAfterMs) return;
        pageBreathe();
        tookThread();
    }

    // A primary press on the page's game area, in CSS pixels from its top
    // left corner; the newest press wins. False (and ignored) off the frame.
    bool click(double x, double y, double areaWidth, double areaHeight, double pixelRatio) {
        int fx = 0, fy = 0;
        if (!framePixelAtCss(areaWidth, areaHeight, pixelRatio, width_, height_, x, y, fx, fy)) return false;
        click_.put(fx, fy);
        return true;
    }

private:
    void tookThread() { heldSince_ = emscripten_get_now(); }

    // The canvas at this size, all of palette index 0.
    void openCanvas(int width, int height) {
        width_ = width;
        height_ = height;
        // --- speed: the canvas is given only what changed (shown_frame.h) ---
        resetShownFrame(shown_, width_, height_);
        std::fill(shown_.rgba.begin(), shown_.rgba.end(), colours_[0]);
        shown_.stale = false;  // all index 0, as the canvas now shows
        pageShow(shown_.rgba.data(), width_, height_, 0, 0, width_, height_);
        // --- end speed ---
    }

    std::array<uint32_t, 256> colours_{};
    ShownFrame shown_;  // speed: what the canvas shows
    int width_ = 0;
    int height_ = 0;
    KeyQueue pending_;
    std::array<PadMapper, 16> pads_{};
    PendingClick click_;
    double heldSince_;  // when the program last took the thread back
    bool namedKeys_ = false;
};

}  // namespace

void breathe(Backend& page) { static_cast<WebBackend&>(page).breathe(); }

std::unique_ptr<Backend> createWebBackend() {
    auto backend = std::make_unique<WebBackend>();
    pageAttach(backend.get());
    return backend;
}

void showWatchBar(const std::string& json) { pageTimeline(json.c_str()); }

void announceProgramEnded() { pageEnded(); }

}  // namespace delve

// Called by the page's script, with the backend it was given by attach.
extern "C" {

// One keydown event; returns the delve::kDomKey* bits (what the page must do).
EMSCRIPTEN_KEEPALIVE int delve_web_key_down(void* backend, const char* key, const char* code, int modifiers) {
    if (!backend || !key || !code) return 0;
    delve::DomKeyEvent event;
    event.key = key;
    event.code = code;
    event.ctrl = (modifiers & 1) != 0;
    event.alt = (modifiers & 2) != 0;
    event.meta = (modifiers & 4) != 0;
    event.altGraph = (modifiers & 8) != 0;
    event.repeat = (modifiers & 16) != 0;
    auto& web = *static_cast<delve::WebBackend*>(backend);
    event.namedKeys = web.namedKeys();
    return delve::domKeyResultBits(delve::translateDomKey(event, web.pending()));
}

// One key text, queued as it is (the page's own buttons and the seed link).
EMSCRIPTEN_KEEPALIVE void delve_web_queue_key(void* backend, const char* text) {
    if (!backend || !text || !*text) return;
    delve::pushKey(static_cast<delve::WebBackend*>(backend)->pending(), text);
}

// One gamepad of the browser's standard layout as the page sees it now
// (buttons as pressed bits, the triggers' values, the left stick; all zero
// once it is gone); queues the keys the change gives and returns how many.
EMSCRIPTEN_KEEPALIVE int delve_web_gamepad(void* backend, int index, unsigned pressedBits, double leftTrigger,
                                           double rightTrigger, double stickX, double stickY) {
    if (!backend) return 0;
    auto& web = *static_cast<delve::WebBackend*>(backend);
    delve::PadMapper* mapper = web.pad(index);
    if (!mapper) return 0;
    const delve::PadSnapshot state =
        delve::standardPadSnapshot(pressedBits, leftTrigger, rightTrigger, stickX, stickY);
    return delve::queuePadKeys(*mapper, state, web.timerSeconds(), web.pending());
}

// A primary press (mouse button or touch) at (x, y) CSS pixels in the game's
// area of areaWidth x areaHeight; returns 1 when it fell on the frame, and
// the page then wakes the program as for a key.
EMSCRIPTEN_KEEPALIVE int delve_web_click(void* backend, double x, double y, double areaWidth, double areaHeight,
                                         double pixelRatio) {
    if (!backend) return 0;
    return static_cast<delve::WebBackend*>(backend)->click(x, y, areaWidth, areaHeight, pixelRatio) ? 1 : 0;
}

// The canvas placement for an area of the page; out receives left, top,
// width, height (CSS pixels) and 1 for a smooth shrink, else 0.
EMSCRIPTEN_KEEPALIVE void delve_web_place_canvas(double areaWidth, double areaHeight, double pixelRatio,
                                                 int frameWidth, int frameHeight, double* out) {
    if (!out) return;
    const delve::CanvasPlacement p =
        delve::placeCanvas(areaWidth, areaHeight, pixelRatio, frameWidth, frameHeight);
    out[0] = p.left;
    out[1] = p.top;
    out[2] = p.width;
    out[3] = p.height;
    out[4] = p.smooth ? 1 : 0;
}

}  // extern "C"
