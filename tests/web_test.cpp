// The browser backend's plain C++: a page's key events to the key texts the
// window gives, which keys stay the browser's, where the canvas goes, which
// frame pixel a click hits, and reports as spoken text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "platform/web/canvas_fit.h"
#include "platform/web/dom_keys.h"
#include "platform/web/report_text.h"
#include "watch/timeline_json.h"
#include "platform/platform.h"

namespace delve {
namespace {

constexpr int kCtrl = 1, kAlt = 2, kMeta = 4, kAltGraph = 8;

TEST(DomKeys, EveryPressGivesTheWindowsKeyTextAndKeepsBrowserShortcuts) {
    // Each keydown, the keys it must queue ('|' between) and whether the
    // browser's own handling is stopped.
    const struct {
        const char *key, *code;
        int modifiers;
        const char* keys;
        bool prevented;
    } presses[] = {
        {"Shift", "ShiftLeft", 0, "", false},  // a modifier alone is no press
        {"Dead", "BracketLeft", 0, "", false},  // its character comes with the next key
        {"Process", "KeyA", 0, "", false},      // an input method is composing
        {"", "", 0, "", false},
        {"@", "Digit2", 0, "@", true},  // the layout's character, whatever the key
        {"A", "KeyA", 0, "A", true},    // one capital is a character, not a key name
        {" ", "Space", 0, " ", true},
        {"~", "Backquote", 0, "~", true},
        {"@", "KeyQ", kCtrl | kAlt, "@", true},       // AltGr reported as Ctrl+Alt
        {"@", "KeyQ", kCtrl | kAltGraph, "@", true},  // or as AltGraph
        {"c", "KeyC", kCtrl, "\x01", false},          // Ctrl+C types nothing
        {"r", "KeyR", kCtrl, "\x01", false},          // and reload stays the browser's,
        {"I", "KeyI", kCtrl, "\x01", false},          // as do its tools (Ctrl+Shift+I)
        {"r", "KeyR", kMeta, "\x01", false},          // and the system key's shortcuts
        {"f", "KeyF", kAlt, "f", false},              // Alt+F: the game's "f", the browser's menu
        {"Escape", "Escape", 0, "\x1b", true},
        {"Enter", "Enter", kCtrl, "\r", true},
        {"Enter", "NumpadEnter", 0, "\r", true},
        {"Backspace", "Backspace", 0, "\b", true},
        {"ArrowUp", "ArrowUp", 0, "\x01", false},  // keys without a character
        {"F5", "F5", 0, "\x01", false},
        {"F12", "F12", 0, "\x01", false},
        {"Tab", "Tab", 0, "\x01", false},
        {"8", "Numpad8", 0, "8", true},          // the keypad with NumLock on,
        {"ArrowUp", "Numpad8", 0, "8", true},    // and off
        {"PageUp", "Numpad9", kCtrl, "9", true},
        {"+", "NumpadAdd", 0, "+", true},
        {"-", "NumpadSubtract", 0, "-", true},
        {",", "NumpadDecimal", 0, ",", true},    // as the layout types it,
        {"Delete", "NumpadDecimal", 0, "", false},  // and nothing when it types nothing
        {"e\xc3\xa9", "KeyE", 0, "e|\xc3\xa9", true},  // text splits into characters
    };
    for (const auto& press : presses) {
        DomKeyEvent event;
        event.key = press.key;
        event.code = press.code;
        event.ctrl = press.modifiers & kCtrl;
        event.alt = press.modifiers & kAlt;
        event.meta = press.modifiers & kMeta;
        event.altGraph = press.modifiers & kAltGraph;
        KeyQueue queue;
        const DomKeyResult result = translateDomKey(event, queue);
        std::string keys;
        while (hasKey(queue)) keys += (keys.empty() ? "" : "|") + takeKey(queue);
        SCOPED_TRACE(std::string("key \"") + press.key + "\" code " + press.code);
        EXPECT_EQ(keys, press.keys);
        EXPECT_EQ(result.queued > 0, !keys.empty());
        EXPECT_EQ(result.preventDefault, press.prevented);
        EXPECT_FALSE(result.toggleFullscreen);
    }
}

// While a watcher's timeline is shown, the keys that steer it come by name
// and the browser does not scroll the page with them; at any other time
// they are the one non-command key they always were, left to the browser.
TEST(DomKeys, WatchingKeysComeByNameOnlyWhileATimelineIsShown) {
    const std::pair<const char*, std::string> named[] = {{"ArrowLeft", kKeyLeft},   {"ArrowRight", kKeyRight},
                                                         {"PageUp", kKeyPageUp},    {"PageDown", kKeyPageDown},
                                                         {"Home", kKeyHome},        {"End", kKeyEnd}};
    for (const auto& [key, text] : named) {
        DomKeyEvent e;
        e.key = key;
        e.code = key;
        KeyQueue watching, playing;
        e.namedKeys = true;
        const DomKeyResult w = translateDomKey(e, watching);
        EXPECT_EQ(takeKey(watching), text) << key;
        EXPECT_TRUE(w.preventDefault) << key;
        e.namedKeys = false;
        const DomKeyResult p = translateDomKey(e, playing);
        EXPECT_EQ(takeKey(playing), std::string(kNoCommandKey)) << key;
        EXPECT_FALSE(p.preventDefault) << key;
    }
    // Keys with a character and the arrows' neighbours are as ever.
    DomKeyEvent up;
    up.key = "ArrowUp";
    up.code = "ArrowUp";
    up.namedKeys = true;
    KeyQueue q;
    translateDomKey(up, q);
    EXPECT_EQ(takeKey(q), std::string(kNoCommandKey));
}

TEST(TimelineJson, WhatTheWatchBarIsToldOfTheTimeline) {
    TimelineStrip s;
    EXPECT_EQ(timelineJson(s), "null") << "no timeline: the bar goes";
    s.turn = 812;
    s.lastTurn = 4020;
    s.levelStarts = {1, 300, 800, 2000};
    s.levels = {1, 2, 3, 1};
    s.memberFalls = {900, 50};
    s.partyFalls = {900};
    s.paused = true;
    s.speed = "\xc3\x97" "4\"";
    EXPECT_EQ(timelineJson(s),
              "{\"turn\":812,\"lastTurn\":4020,\"level\":3,\"levelStarts\":[{\"turn\":1,\"level\":1},"
              "{\"turn\":300,\"level\":2},{\"turn\":800,\"level\":3},{\"turn\":2000,\"level\":1}],"
              "\"falls\":[{\"turn\":50,\"party\":false},{\"turn\":900,\"party\":false},{\"turn\":900,\"party\":true}],"
              "\"paused\":true,\"speed\":\"\xc3\x97" "4\"}");
    s.label = "turn 812 of 4,020 \xe2\x80\x94 getting \"there\"\xe2\x80\xa6";
    const std::string json = timelineJson(s);
    EXPECT_EQ(json.substr(json.find(",\"label\"")),
              ",\"label\":\"turn 812 of 4,020 \xe2\x80\x94 getting there\xe2\x80\xa6\"}")
        << "the bar shows the watcher's words as they are, without what would end them";
}

TEST(CanvasFit, WholeDevicePixelFactorsCentredInCssPixels) {
    const auto place = [](double w, double h, double ratio, int fw, int fh) {
        const CanvasPlacement p = placeCanvas(w, h, ratio, fw, fh);
        return std::tuple{p.left, p.top, p.width, p.height, p.smooth};
    };
    EXPECT_EQ(place(1200, 949, 1, 960, 720), std::tuple(120.0, 114.0, 960.0, 720.0, false));
    EXPECT_EQ(place(1200, 949, 1, 320, 200), std::tuple(120.0, 174.0, 960.0, 600.0, false));  // seed prompt
    // Twice the pixels: two device pixels per game pixel, the same CSS size.
    EXPECT_EQ(place(960, 720, 2, 960, 720), std::tuple(0.0, 0.0, 960.0, 720.0, false));
    // 1.5 device pixels per CSS pixel: one device pixel per game pixel would
    // show the frame at two thirds of its size, so it is scaled smoothly to
    // its CSS size; a phone with three of them fills its area smoothly
    // rather than showing a frame of 320 x 240 CSS pixels.
    EXPECT_EQ(place(1000, 800, 1.5, 960, 720), std::tuple(20.0, 40.0, 960.0, 720.0, true));
    EXPECT_EQ(place(560, 390, 3, 960, 720), std::tuple(20.0, 0.0, 520.0, 390.0, true));
    // The browser's fractions must not cost a whole factor.
    EXPECT_EQ(std::get<2>(place(767.9999, 576, 1.25, 960, 720)), 768.0);
    // Smaller than one frame: shrunk smoothly, keeping the shape.
    EXPECT_EQ(place(400, 600, 1, 960, 720), std::tuple(0.0, 150.0, 400.0, 300.0, true));
    // A ratio that is no number counts as 1; an empty area or frame places nothing.
    EXPECT_EQ(place(1200, 949, std::numeric_limits<double>::quiet_NaN(), 960, 720),
              place(1200, 949, 1, 960, 720));
    EXPECT_EQ(place(1200, 949, 0, 960, 720), place(1200, 949, 1, 960, 720));
    EXPECT_EQ(place(0, 720, 1, 960, 720), std::tuple(0.0, 0.0, 0.0, 0.0, false));
    EXPECT_EQ(place(-5, std::nan(""), 1, 960, 720), std::tuple(0.0, 0.0, 0.0, 0.0, false));
    EXPECT_EQ(place(1200, 949, 1, 0, 0), std::tuple(0.0, 0.0, 0.0, 0.0, false));
    // An absurd area still gives a whole factor, not an overflow.
    const CanvasPlacement huge = placeCanvas(1e300, 1e300, 1, 960, 720);
    EXPECT_GT(huge.width, 960.0);
    EXPECT_EQ(std::fmod(huge.width, 960.0), 0.0);
}

TEST(CanvasFit, AClickHitsTheFramePixelDrawnUnderIt) {
    const auto hit = [](double w, double h, double ratio, double x, double y) {
        int fx = -1, fy = -1;
        const bool on = framePixelAtCss(w, h, ratio, 960, 720, x, y, fx, fy);
        return std::tuple{on, on ? fx : -1, on ? fy : -1};
    };
    // Placed at (120, 114), one CSS pixel per game pixel.
    EXPECT_EQ(hit(1200, 949, 1, 120, 114), std::tuple(true, 0, 0));
    EXPECT_EQ(hit(1200, 949, 1, 1079.9, 833.5), std::tuple(true, 959, 719));
    EXPECT_EQ(hit(1200, 949, 1, 119.9, 500), std::tuple(false, -1, -1));  // the border
    EXPECT_EQ(hit(1200, 949, 1, 1080, 500), std::tuple(false, -1, -1));
    // Two device pixels per CSS pixel: the frame at two device pixels per
    // game pixel, placed at (120, 114.5) CSS pixels.
    EXPECT_EQ(hit(1200, 949, 2, 600, 474.5), std::tuple(true, 480, 360));
    EXPECT_EQ(hit(960, 720, 2, 480, 360), std::tuple(true, 480, 360));
    // A phone in landscape: shrunk smoothly to 486 x 364, filling the area.
    EXPECT_EQ(hit(486, 365, 1, 243, 182.5), std::tuple(true, 480, 360));
    EXPECT_EQ(hit(486, 365, 1, -1, 10), std::tuple(false, -1, -1));
    EXPECT_EQ(hit(486, 365, 1, std::nan(""), 10), std::tuple(false, -1, -1));
    EXPECT_EQ(hit(0, 0, 1, 0, 0), std::tuple(false, -1, -1));
}

TEST(ReportText, BracketsBecomeSentencesAndIconsAreLeftOut) {
    const struct {
        const char *report, *spoken;
    } reports[] = {
        {"[Unlocked door][Used 1 Key]", "Unlocked door. Used 1 Key."},
        {"[Cast 'Warp'][Mp -3]", "Cast 'Warp'. Mp -3."},
        {"[Ana+Bo joined!]", "Ana+Bo joined!"},
        {"{Smith: 10GP for 1 Key}", "Smith: 10GP for 1 Key."},
        {"[Gold +5]  [{{\xF8}}]", "Gold +5."},
        {"[{{a}}12/{{b}}7]", "12/ 7."},
        {"  plain   words\t", "plain words."},
        {"[Broken {{x", "Broken."},  // a cut-off icon ends the text
        {"[][ ]", ""},
        {"", ""},
    };
    for (const auto& r : reports) EXPECT_EQ(speakableReport(r.report), r.spoken) << r.report;
}

}  // namespace
}  // namespace delve
