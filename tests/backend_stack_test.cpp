// Backends stacked in front of a window: each call of the seam reaches the
// window through every wrapper, unless the wrapper means to answer it
// itself (a replay takes no clicks), and keys a wrapper's pump brings are
// never fetched behind its back.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recording/playback_backend.h"
#include "recording/recording_backend.h"
#include "recording/recording_format.h"
#include "recording/resume_backend.h"
#include "walk/walk_backend.h"

namespace delve {
namespace {

// The window at the bottom of a stack: notes every call it gets by name,
// brings one key a pump and has a click and a timeline click waiting.
class Window final : public Backend {
public:
    std::vector<std::string> calls;
    double askedToWait = -1;

    void windowOpened(int, int) override { calls.push_back("windowOpened"); }
    void setTitle(const std::string&) override { calls.push_back("setTitle"); }
    void present(const Screen&) override { calls.push_back("present"); }
    void pumpKeys(KeyQueue& queue, KeyWait) override {
        calls.push_back("pumpKeys");
        pushKey(queue, "p");
    }
    bool takeClick(int& x, int& y) override {
        calls.push_back("takeClick");
        x = 3, y = 4;
        return true;
    }
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        calls.push_back("pumpKeysWithin");
        askedToWait = seconds;
        pushKey(queue, "w");
    }
    void messageShown(const std::string&) override { calls.push_back("messageShown"); }
    void showTimeline(const TimelineStrip&) override { calls.push_back("showTimeline"); }
    bool takeTimelineClick(int32_t& turn) override {
        calls.push_back("takeTimelineClick");
        turn = 7;
        return true;
    }
    double timerSeconds() override {
        calls.push_back("timerSeconds");
        return 1.5;
    }
    std::string clockTime() override {
        calls.push_back("clockTime");
        return "12:00:00";
    }
    std::string clockDate() override {
        calls.push_back("clockDate");
        return "01-02-2026";
    }
};

// One call of every method of the seam, by the name the window notes it
// under. A method added to Backend belongs here too.
using SeamCall = std::function<void(Backend&)>;
std::vector<std::pair<std::string, SeamCall>> everyCall() {
    static Screen screen;
    return {
        {"windowOpened", [](Backend& b) { b.windowOpened(640, 480); }},
        {"setTitle", [](Backend& b) { b.setTitle("a title"); }},
        {"present", [](Backend& b) { b.present(screen); }},
        {"pumpKeys", [](Backend& b) {
             KeyQueue q;
             b.pumpKeys(q, KeyWait::Brief);
         }},
        {"takeClick", [](Backend& b) {
             int x = 0, y = 0;
             EXPECT_TRUE(b.takeClick(x, y));
             EXPECT_EQ(x * 10 + y, 34);
         }},
        {"pumpKeysWithin", [](Backend& b) {
             KeyQueue q;
             b.pumpKeysWithin(q, 0.025);
         }},
        {"messageShown", [](Backend& b) { b.messageShown("You find 3 gold."); }},
        {"showTimeline", [](Backend& b) { b.showTimeline(TimelineStrip{}); }},
        {"takeTimelineClick", [](Backend& b) {
             int32_t turn = 0;
             EXPECT_TRUE(b.takeTimelineClick(turn));
             EXPECT_EQ(turn, 7);
         }},
        {"timerSeconds", [](Backend& b) { EXPECT_EQ(b.timerSeconds(), 1.5); }},
        {"clockTime", [](Backend& b) { EXPECT_EQ(b.clockTime(), "12:00:00"); }},
        {"clockDate", [](Backend& b) { EXPECT_EQ(b.clockDate(), "01-02-2026"); }},
    };
}

std::string fileText(std::FILE* f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(BackendStack, EveryCallReachesTheWindowThroughRecordingAndWalking) {
    // Both orders: the window's game has the walk below the recording, the
    // page's keeping sits between them; neither may depend on it.
    for (const bool walkOnTop : {false, true}) {
        SCOPED_TRACE(walkOnTop ? "walk over recording" : "recording over walk");
        Window window;
        std::unique_ptr<WalkBackend> walk;
        std::unique_ptr<RecordingBackend> rec;
        if (walkOnTop) {
            rec = std::make_unique<RecordingBackend>(window, nullptr);
            walk = std::make_unique<WalkBackend>(*rec);
        } else {
            walk = std::make_unique<WalkBackend>(window);
            rec = std::make_unique<RecordingBackend>(*walk, nullptr);
        }
        Backend& top = walkOnTop ? static_cast<Backend&>(*walk) : *rec;
        for (const auto& [name, call] : everyCall()) {
            SCOPED_TRACE(name);
            window.calls.clear();
            call(top);
            // A walk paces its steps itself: any pump through it is a pump.
            const std::string expected = name == "pumpKeysWithin" ? "pumpKeys" : name;
            EXPECT_NE(std::find(window.calls.begin(), window.calls.end(), expected), window.calls.end());
        }
    }
}

TEST(BackendStack, AContinuedGameTakesNoInputWhileItReplaysAndPassesAllOnOnceHandedOver) {
    std::string error;
    const std::string text = recordingHeader("0.0.0", 0) + keysLine(0, {"x"});
    const auto recording = parseRecording(text, error);
    ASSERT_TRUE(recording) << error;
    Window window;
    RecordingBackend rec(window, nullptr);
    ResumeBackend resume(rec, *recording, nullptr, text.size(), "");
    for (const char* input : {"takeClick", "takeTimelineClick"}) {
        window.calls.clear();
        int x = 0, y = 0;
        int32_t turn = 0;
        EXPECT_FALSE(std::string(input) == "takeClick" ? resume.takeClick(x, y) : resume.takeTimelineClick(turn));
        EXPECT_TRUE(window.calls.empty()) << input << " reached the window while the recording plays";
    }
    resume.handOver();
    for (const auto& [name, call] : everyCall()) {
        SCOPED_TRACE(name);
        window.calls.clear();
        call(resume);
        EXPECT_NE(std::find(window.calls.begin(), window.calls.end(), name), window.calls.end());
    }
}

TEST(BackendStack, AWalksPauseThroughTheRecordingKeepsItsKeysAndItsLength) {
    // A walk stacked over the recording: the pause between steps asks the
    // window for just that long, and the key it brings is written down.
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    Window window;
    RecordingBackend rec(window, out);
    rec.setTurn(12);
    KeyQueue q;
    rec.pumpKeysWithin(q, 0.04);
    EXPECT_EQ(window.askedToWait, 0.04);
    EXPECT_EQ(takeKey(q), "w");
    EXPECT_EQ(fileText(out), keysLine(12, {"w"}));
    std::fclose(out);
}

TEST(BackendStack, AReplayShowsThroughButTakesNothingFromTheWindow) {
    std::string error;
    const auto recording = parseRecording(recordingHeader("0.0.0", 0) + keysLine(0, {"x"}), error);
    ASSERT_TRUE(recording) << error;
    Window window;
    PlaybackBackend playback(window, *recording);
    for (const auto& [name, call] : everyCall()) {
        SCOPED_TRACE(name);
        window.calls.clear();
        const bool input = name == "takeClick" || name == "takeTimelineClick" || name.rfind("pump", 0) == 0 ||
                           name == "timerSeconds" || name.rfind("clock", 0) == 0;
        if (input) {
            // The recording answers: keys and clocks from it, no clicks.
            if (name == "takeClick") {
                int x = 0, y = 0;
                EXPECT_FALSE(playback.takeClick(x, y));
            } else if (name == "takeTimelineClick") {
                int32_t turn = 0;
                EXPECT_FALSE(playback.takeTimelineClick(turn));
            } else if (name.rfind("pump", 0) == 0) {
                KeyQueue q;
                try {
                    name == "pumpKeys" ? playback.pumpKeys(q, KeyWait::Brief) : playback.pumpKeysWithin(q, 0.1);
                } catch (const RunEnded&) {
                }
            } else {
                try {
                    call(playback);
                } catch (const std::exception&) {
                    // The recording holds no clock here: it stopped matching.
                }
            }
            EXPECT_TRUE(window.calls.empty());
        } else {
            call(playback);
            EXPECT_EQ(window.calls, std::vector<std::string>{name});
        }
    }
}

}  // namespace
}  // namespace delve
