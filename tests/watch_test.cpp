// Watching a kept game like a video: whatever turn the watcher lands on, by
// any path forward or back, it shows what a plain replay of the recording
// up to that turn shows, trace and pixels; its timeline finds the levels
// and the falls, and ends where the recording stops matching.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include "flow/program.h"
#include "game/trace.h"
#include "platform/headless/headless_backend.h"
#include "recording/checkpoint.h"
#include "recording/playback_backend.h"
#include "support/recordings.h"
#include "support/support.h"
#include "kept/continue_game.h"
#include "watch/page_pack.h"
#include "watch/play_on.h"
#include "watch/watch.h"

namespace delve::test {
namespace {

// Walks, takes stairs when it finds them, casts now and then: a few levels.
Batches wander(int turns, uint32_t seed) {
    Batches batches = {"x", "@" + std::to_string(seed % 1000) + "\r", " "};
    const std::string moves = "8888666622224444    vh+f";
    uint32_t state = seed;
    for (int i = 0; i < turns; ++i) {
        state = state * 1103515245u + 12345u;
        // Now and then several keys come at once, as from a fast typist.
        std::string batch(1, moves[(state >> 16) % moves.size()]);
        if ((state >> 8) % 7 == 0) batch += moves[(state >> 20) % moves.size()];
        batches.push_back(batch);
    }
    return batches;
}

struct Frame {
    std::string trace;
    uint64_t shown = 0;
};

// The plain replay: each turn's trace line and shown page, in order.
std::vector<Frame> replayEveryTurn(const std::string& root, const Recording& r) {
    HeadlessBackend quiet("");
    PlaybackBackend pb(quiet, r, false);
    Platform platform(pb);
    platform.files.root = root;
    auto game = std::make_unique<Game>(platform);
    Program program;
    std::vector<Frame> frames;
    try {
        while (program.stage != Stage::Ended) {
            const Stage stage = program.stage;
            advanceProgram(*game, program);
            if (stage == Stage::Frame) {
                if (isCheckpointTurn(game->turnCount)) pb.takeCheckpoint();
                frames.push_back({traceLine(*game, program.shownMessage),
                                  pageHash(platform.screen, platform.screen.visiblePage)});
            }
        }
    } catch (const RunEnded&) {
    }
    return frames;
}

// Recorded into memory where the system has it: a recording is pushed to
// the disk after every batch, which costs more than all the rest here.
Recorded recordQuickly(const std::string& root, Batches batches) {
    std::string path;
#ifndef _WIN32
    if (std::filesystem::is_directory("/dev/shm"))
        path = "/dev/shm/delve-watch-test-" + std::to_string(::getpid()) + ".rec";
#endif
    Recorded r = record(root, std::move(batches), path);
    if (!path.empty()) std::remove(path.c_str());
    return r;
}

Recording parsed(const std::string& text) {
    std::string error;
    auto r = parseRecording(text, error);
    EXPECT_TRUE(r) << error;
    return r ? *r : Recording{};
}

// One game, recorded and replayed plainly once for every test here.
struct Kept {
    ScratchDir dir;
    Batches keys = wander(300, 77);
    std::string text;
    Recording recording;
    std::vector<Frame> frames;
};

const Kept& kept() {
    static Kept* k = [] {
        auto* made = new Kept;
        copyStaged(made->dir);
        made->text = recordQuickly(made->dir.path(), made->keys).text;
        made->recording = parsed(made->text);
        made->frames = replayEveryTurn(made->dir.path(), made->recording);
        return made;
    }();
    return *k;
}

Frame shownFrame(const Watch& w) {
    const Screen& s = shownScreen(w);
    return {traceLine(shownGame(w), w.run->program.shownMessage), pageHash(s, s.visiblePage)};
}

TEST(Watch, EveryTurnByAnyPathIsThePlainReplays) {
    const Kept& k = kept();
    const std::vector<Frame>& frames = k.frames;
    ASSERT_GT(frames.size(), 250u);

    auto watch = openWatch(k.recording, k.dir.path(), 64u << 20);
    ASSERT_EQ(watch->timeline.lastTurn, static_cast<int32_t>(frames.size()));
    EXPECT_EQ(watch->timeline.mismatch, "");
    ASSERT_EQ(shownTurn(*watch), 1);

    auto expectTurn = [&](int32_t turn, const char* how) {
        ASSERT_EQ(showTurn(*watch, turn), turn) << how;
        const Frame f = shownFrame(*watch);
        EXPECT_EQ(f.trace, frames[turn - 1].trace) << how << " turn " << turn;
        EXPECT_EQ(f.shown, frames[turn - 1].shown) << how << " turn " << turn;
    };
    const auto last = static_cast<int32_t>(frames.size());
    // Before anything is indexed: far ahead, then back, then one by one.
    expectTurn(last, "to the end at once");
    expectTurn(1, "back to the start");
    expectTurn(2, "one on");
    expectTurn(200, "a jump ahead");
    expectTurn(199, "one back");
    expectTurn(kMomentTurns + 1, "onto a kept moment");
    expectTurn(kMomentTurns, "just before a kept moment");
    std::mt19937 random(5);
    for (int i = 0; i < 30; ++i) expectTurn(1 + static_cast<int32_t>(random() % last), "a random turn");
    EXPECT_EQ(showTurn(*watch, last + 50), last) << "past the end shows the end";
    EXPECT_EQ(showTurn(*watch, -3), 1) << "before the start shows the start";
    // The whole game played on turn by turn from a random place matches too.
    expectTurn(150, "a random place");
    for (int32_t t = 151; t <= last; ++t) expectTurn(t, "turn by turn");
}

TEST(Watch, IndexingInSlicesLeavesTheShownTurnAndKeepsMemoryBounded) {
    const Kept& k = kept();
    const std::vector<Frame>& frames = k.frames;
    auto watch = openWatch(k.recording, k.dir.path(), 64u << 20);
    showTurn(*watch, 40);
    int slices = 0;
    while (indexSome(*watch, 25)) {
        ++slices;
        ASSERT_LT(slices, 100) << "indexing never ends";
        ASSERT_EQ(shownTurn(*watch), 40);
    }
    EXPECT_EQ(shownFrame(*watch).shown, frames[39].shown);
    EXPECT_GT(indexedTurn(*watch), watch->timeline.lastTurn - kMomentTurns);
    showTurn(*watch, 190);
    EXPECT_EQ(shownFrame(*watch).trace, frames[189].trace);

    // With little room the moments thin out, and every turn still shows right.
    auto tight = openWatch(k.recording, k.dir.path(), 300u << 10);
    for (int slices = 0; indexSome(*tight, 25); ++slices) ASSERT_LT(slices, 100) << "indexing never ends";
    EXPECT_GT(tight->momentTurns, kMomentTurns);
    EXPECT_LE(tight->moments.size(), 4u);
    std::mt19937 random(3);
    for (int i = 0; i < 12; ++i) {
        const auto turn = 1 + static_cast<int32_t>(random() % frames.size());
        showTurn(*tight, turn);
        EXPECT_EQ(shownFrame(*tight).shown, frames[turn - 1].shown) << "turn " << turn;
    }
}

TEST(Watch, TimelineOfRecordingsCutShortQuitAndForged) {
    const Kept& k = kept();
    const std::string& text = k.text;
    const ScratchDir& dir = k.dir;
    Batches keys = k.keys;

    // Levels: each mark is where the trace's level changes.
    auto watch = openWatch(parsed(text), dir.path(), 1u << 20);
    const std::vector<Frame>& frames = k.frames;
    int levelStarts = 0;
    for (const TimelineMark& m : watch->timeline.marks) {
        if (m.kind != TimelineMark::LevelStart) continue;
        ++levelStarts;
        EXPECT_NE(frames[m.turn - 1].trace.find("\"levelNumber\":" + std::to_string(m.level) + ","),
                  std::string::npos);
        EXPECT_EQ(levelAtTurn(watch->timeline, m.turn), m.level);
    }
    EXPECT_GE(levelStarts, 1);
    EXPECT_EQ(previousLevelStart(watch->timeline, 1), 1);
    EXPECT_EQ(nextLevelStart(watch->timeline, watch->timeline.lastTurn), watch->timeline.lastTurn);

    // Cut in the middle of a line: the turns before the cut are all there.
    const std::string cut = text.substr(0, text.size() / 2);
    auto shorter = openWatch(parsed(cut), dir.path(), 1u << 20);
    EXPECT_GT(shorter->timeline.lastTurn, 10);
    EXPECT_LT(shorter->timeline.lastTurn, watch->timeline.lastTurn);
    EXPECT_EQ(shorter->timeline.mismatch, "");

    // Quit with Escape: the game's last turn is the timeline's last.
    keys.push_back("\x1b");
    const Recording quit = parsed(recordQuickly(dir.path(), keys).text);
    auto ended = openWatch(quit, dir.path(), 1u << 20);
    EXPECT_EQ(ended->timeline.lastTurn, watch->timeline.lastTurn);
    EXPECT_EQ(showTurn(*ended, 10'000), ended->timeline.lastTurn);

    // A forged checkpoint: the timeline ends at the turn before it, and says why.
    std::string forged = text;
    const size_t at = forged.find("\np 50 ");
    ASSERT_NE(at, std::string::npos);
    forged[at + 6] = forged[at + 6] == '0' ? '1' : '0';
    auto stopped = openWatch(parsed(forged), dir.path(), 1u << 20);
    EXPECT_EQ(showTurn(*stopped, 100), 49);
    EXPECT_EQ(stopped->timeline.lastTurn, 49);
    EXPECT_NE(stopped->timeline.mismatch.find("turn 50"), std::string::npos) << stopped->timeline.mismatch;
}

TEST(Watch, FallsAreMarkedOnceEach) {
    HeadlessBackend quiet("");
    Platform platform(quiet);
    Game g(platform);
    g.partySize = 2;
    g.statCurrent.resize(1, 2, 1, 6);
    g.statCurrent.set(1, kHp, 5);
    g.statCurrent.set(2, kHp, 5);
    g.levelNumber = 2;
    Timeline t;
    TimelineNotes notes;
    noteFrame(t, notes, g, 1, true);
    g.statCurrent.set(2, kHp, 0);
    noteFrame(t, notes, g, 2, false);
    noteFrame(t, notes, g, 3, false);
    g.statCurrent.set(1, kHp, -3);
    noteFrame(t, notes, g, 4, false);
    noteFrame(t, notes, g, 5, false);
    ASSERT_EQ(t.marks.size(), 3u);
    EXPECT_EQ(t.marks[0].kind, TimelineMark::LevelStart);
    EXPECT_EQ(t.marks[1].kind, TimelineMark::MemberFell);
    EXPECT_EQ(t.marks[1].turn, 2);
    EXPECT_EQ(t.marks[2].kind, TimelineMark::PartyFell);
    EXPECT_EQ(t.marks[2].turn, 4);
    EXPECT_EQ(t.lastTurn, 5);
}

TEST(Watch, PagesPackAndUnpackExactlyAndRefuseDamage) {
    std::mt19937 random(9);
    const size_t bytes = 4096;
    std::vector<uint8_t> reference(bytes), page(bytes), out(bytes);
    for (auto& b : reference) b = static_cast<uint8_t>(random() % 16);
    page = reference;
    for (int i = 0; i < 40; ++i) page[random() % bytes] = static_cast<uint8_t>(random() % 16);
    page[0] ^= 1;
    page[bytes - 1] ^= 1;
    const std::string packed = packPage(page.data(), reference.data(), bytes);
    EXPECT_LT(packed.size(), 400u);
    out = reference;
    ASSERT_TRUE(unpackPage(packed, out.data(), bytes));
    EXPECT_EQ(out, page);

    std::vector<uint8_t> zero(bytes, 0);
    const std::string whole = packPage(page.data(), nullptr, bytes);
    ASSERT_TRUE(unpackPage(whole, zero.data(), bytes));
    EXPECT_EQ(zero, page);

    EXPECT_FALSE(unpackPage(packed, out.data(), bytes - 1)) << "more bytes than the page";
    EXPECT_FALSE(unpackPage(packed.substr(0, packed.size() / 2), out.data(), bytes)) << "cut short";
    EXPECT_FALSE(unpackPage(std::string(12, '\xff'), out.data(), bytes)) << "a count past any size";
}

}  // namespace
}  // namespace delve::test

namespace delve::test {
namespace {

std::string readFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    std::string text = readWhole(f);
    std::fclose(f);
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(Watch, PlayingOnFromAnyTurnIsANewGameThatReplaysAsOne) {
    const Kept& k = kept();
    ScratchDir dir;
    copyStaged(dir);
    auto watch = openWatch(k.recording, dir.path(), 64u << 20);
    // Turns inside a batch of two keys and at a batch's end alike.
    for (int32_t turn : {150, 151, 152, 153, 260}) {
        showTurn(*watch, turn);
        std::string problem;
        const auto start = playOnStart(*watch, problem);
        ASSERT_TRUE(start) << problem;
        const std::string path = keepPlayOn(dir.path(), *start, problem);
        ASSERT_FALSE(path.empty()) << problem;

        ContinueTarget target;
        std::string error;
        ASSERT_EQ(openToContinue(dir.path(), path, target, error), 0) << error;
        BatchBackend window({"6", "2", "v"}, true);
        bool usedPicture = false;
        ASSERT_EQ(continueGame(window, target, dir.path(), "", &usedPicture), 0);
        EXPECT_TRUE(usedPicture) << "turn " << turn << ": the kept picture was not of its point";

        // The new game replays as one, and up to the turn it is the watched one.
        const std::string text = readFile(path);
        const Played played = play(dir.path(), text);
        EXPECT_EQ(played.result.kind, PlaybackResult::Finished) << played.result.message;
        const std::vector<std::string> after = lines(played.trace);
        ASSERT_GE(after.size(), static_cast<size_t>(turn) + 3);
        for (int32_t t = 0; t < turn; ++t) ASSERT_EQ(after[t], k.frames[t].trace) << "turn " << t + 1;
    }
    EXPECT_EQ(watch->recording.text, k.text) << "the watched recording is never changed";
}

}  // namespace
}  // namespace delve::test
