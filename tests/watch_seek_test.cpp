// Seeking that never waits: straight after a watch is opened, before
// anything is drawn ahead, any turn shows every page exactly as a plain
// replay up to it leaves them, whether composed from the notes, drawn, or
// drawn on from a composed turn, and on every data folder of the corpus.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "flow/program.h"
#include "game/trace.h"
#include "platform/headless/headless_backend.h"
#include "recording/checkpoint.h"
#include "recording/playback_backend.h"
#include "support/recordings.h"
#include "support/support.h"
#include "watch/span_seek.h"
#include "watch/watch.h"

namespace fs = std::filesystem;

namespace delve::test {
namespace {

struct Pages {
    std::string trace;
    std::array<uint64_t, kPageCount> pages{};
    bool operator==(const Pages&) const = default;
};

// Eight pages a turn over thousands of turns: hashed a word at a time.
uint64_t quickPageHash(const Screen& s, int page) {
    const Page& pixels = s.pages[page];
    uint64_t h = pixels.size();
    for (size_t i = 0; i + 8 <= pixels.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, pixels.data() + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 31;
    }
    for (size_t i = pixels.size() & ~size_t{7}; i < pixels.size(); ++i) h = (h ^ pixels[i]) * 0x100000001B3ull;
    return h;
}

Pages pagesOf(const Game& g, const Program& program, const Screen& s) {
    Pages f{traceLine(g, program.shownMessage), {}};
    for (int p = 0; p < kPageCount; ++p) f.pages[static_cast<size_t>(p)] = quickPageHash(s, p);
    return f;
}

// The plain replay, every page of every turn (playing on from a watched
// turn needs all of them, not only the shown one).
std::vector<Pages> replayAllPages(const std::string& root, const Recording& r) {
    HeadlessBackend quiet("");
    PlaybackBackend pb(quiet, r);
    Platform platform(pb);
    platform.files.root = root;
    // Each file read from the folder once, as the watcher reads them.
    platform.files.memo = std::make_shared<Files::Memo>();
    auto game = std::make_unique<Game>(platform);
    Program program;
    std::vector<Pages> frames;
    try {
        while (program.stage != Stage::Ended) {
            const Stage stage = program.stage;
            advanceProgram(*game, program);
            if (stage != Stage::Frame) continue;
            if (isCheckpointTurn(game->turnCount)) pb.takeCheckpoint();
            frames.push_back(pagesOf(*game, program, platform.screen));
        }
    } catch (const RunEnded&) {
    }
    return frames;
}

Pages shown(const Watch& w) { return pagesOf(shownGame(w), w.run->program, shownScreen(w)); }

Recording parsedRecording(const std::string& text) {
    std::string error;
    auto r = parseRecording(text, error);
    EXPECT_TRUE(r) << error;
    return r ? *r : Recording{};
}

// Walks, takes stairs, casts, and now and then begins a new game with "~"
// (whose seed prompt opens a smaller window and the big one again).
Batches roam(int turns, uint32_t seed) {
    Batches batches = {"x", "@" + std::to_string(seed % 1000) + "\r", " "};
    const std::string moves = "8888666622224444    vh+f";
    uint32_t state = seed;
    for (int i = 0; i < turns; ++i) {
        state = state * 1103515245u + 12345u;
        if (i == turns / 2) {
            batches.push_back("~");
            batches.push_back("x");
            batches.push_back("@" + std::to_string(seed % 977) + "\r");
            batches.push_back(" ");
            continue;
        }
        batches.push_back(std::string(1, moves[(state >> 16) % moves.size()]));
    }
    return batches;
}

struct Game1 {
    ScratchDir dir;
    Recording recording;
    std::vector<Pages> frames;
};

const Game1& roamed() {
    static Game1* g = [] {
        auto* made = new Game1;
        copyStaged(made->dir);
        made->recording = parsedRecording(record(made->dir.path(), roam(260, 31)).text);
        made->frames = replayAllPages(made->dir.path(), made->recording);
        return made;
    }();
    return *g;
}

// The watcher's idle slices, until the whole game is noted.
void noteAll(Watch& w) {
    for (int slices = 0; noteSome(w, kOpeningNoteTurns); ++slices) ASSERT_LT(slices, 1000) << "noting never ends";
}

void expectTurn(Watch& w, const std::vector<Pages>& frames, int32_t turn, const std::string& how) {
    ASSERT_EQ(showTurn(w, turn), turn) << how;
    const Pages got = shown(w);
    const Pages& want = frames[static_cast<size_t>(turn - 1)];
    EXPECT_EQ(got.trace, want.trace) << how << ", turn " << turn;
    for (int p = 0; p < kPageCount; ++p)
        EXPECT_EQ(got.pages[static_cast<size_t>(p)], want.pages[static_cast<size_t>(p)])
            << how << ", turn " << turn << ", page " << p;
}

TEST(WatchSeek, StraightAfterOpeningAnyTurnInAnyOrderIsThePlainReplays) {
    const Game1& g = roamed();
    const auto last = static_cast<int32_t>(g.frames.size());
    ASSERT_GT(last, 200);
    auto w = openWatch(g.recording, g.dir.path(), 64u << 20);
    ASSERT_EQ(w->timeline.lastTurn, last);
    EXPECT_EQ(w->timeline.mismatch, "");
    expectTurn(*w, g.frames, 1, "opened");
    ASSERT_TRUE(w->notes && !w->notes->stopped);
    EXPECT_EQ(w->notes->turn, kOpeningNoteTurns) << "opening notes one slice, not the whole game";
    EXPECT_EQ(indexedTurn(*w), 1) << "nothing is drawn ahead";

    ASSERT_TRUE(w->touches) << "made here, on this data: sought by spans";
    expectTurn(*w, g.frames, last, "the last turn at once, as a link opens");
    EXPECT_EQ(w->notes->turn, kOpeningNoteTurns) << "sought by spans, with nothing more noted";
    ASSERT_TRUE(w->touches) << "no draw the spans cannot follow";
    expectTurn(*w, g.frames, last / 2 + 1, "the turn after a new game began");
    std::mt19937 random(17);
    for (int i = 0; i < 25; ++i) expectTurn(*w, g.frames, 1 + static_cast<int32_t>(random() % last), "random");
    EXPECT_EQ(indexedTurn(*w), 1) << "seeking drew nothing ahead";
    // Drawing on from a composed turn is drawing as ever.
    expectTurn(*w, g.frames, 170, "composed");
    for (int32_t t = 171; t <= 200; ++t) expectTurn(*w, g.frames, t, "drawn on from a composed turn");
    expectTurn(*w, g.frames, 165, "back a little");
    EXPECT_TRUE(w->touches) << "every seek was told by the spans";

    // Spans of a turn each, and of many turns, tell the same pages.
    for (const int32_t spacing : {1, 7, 256}) {
        SCOPED_TRACE("states every " + std::to_string(spacing) + " turns");
        auto s = openWatch(g.recording, g.dir.path(), 64u << 20);
        // Opened again with states at that spacing: the spans follow them.
        s->states.clear();
        s->touches.reset();
        s->stateTurns = spacing;
        s->run = std::make_unique<WatchedRun>(s->recording, g.dir.path(), s->run->dataDigest, true);
        openSpans(*s, *s->run);
        s->moments.clear();
        s->lastKeyframe = -1;
        s->keptBytes = 0;
        showTurn(*s, 1);
        ASSERT_TRUE(s->touches);
        std::mt19937 order(static_cast<uint32_t>(spacing));
        for (int i = 0; i < 6; ++i) expectTurn(*s, g.frames, 1 + static_cast<int32_t>(order() % last), "by spans");
        EXPECT_TRUE(s->touches);
    }
}

TEST(WatchSeek, ComposedAlwaysOrNeverGivesThePlainReplaysAndIndexingStillWorks) {
    const Game1& g = roamed();
    const auto last = static_cast<int32_t>(g.frames.size());
    // Every turn composed, none drawn up to.
    auto composed = openWatch(g.recording, g.dir.path(), 64u << 20);
    composed->drawnSpan = -1;
    for (int32_t t = last; t >= 1; t -= 3) expectTurn(*composed, g.frames, t, "composed");
    // Never composed: the drawing of before, from kept moments.
    auto drawn = openWatch(g.recording, g.dir.path(), 64u << 20);
    drawn->drawnSpan = 1 << 30;
    expectTurn(*drawn, g.frames, 230, "drawn");
    expectTurn(*drawn, g.frames, 40, "drawn from a moment");
    // Drawing ahead after a composed seek keeps its moments in step and
    // ends, and every turn still shows right.
    showTurn(*composed, 200);
    for (int slices = 0; indexSome(*composed, 40); ++slices) ASSERT_LT(slices, 100) << "indexing never ends";
    EXPECT_GT(indexedTurn(*composed), last - kMomentTurns);
    composed->drawnSpan = kDrawnSpan;
    std::mt19937 random(8);
    for (int i = 0; i < 10; ++i) expectTurn(*composed, g.frames, 1 + static_cast<int32_t>(random() % last), "indexed");
}

TEST(WatchSeek, NotingInSlicesBesideSeeksAndDrawingAheadNeverShowsAWrongPicture) {
    const Game1& g = roamed();
    const auto last = static_cast<int32_t>(g.frames.size());
    auto w = openWatch(g.recording, g.dir.path(), 64u << 20);
    const int32_t opened = w->notes->turn;
    ASSERT_LT(opened + 3 * kDrawnSpan, last / 2);
    expectTurn(*w, g.frames, opened - 5, "within the notes, composed");
    EXPECT_EQ(w->notes->turn, opened) << "a seek within the notes notes nothing";
    const int32_t beyond = last / 2 + 7;
    expectTurn(*w, g.frames, beyond, "beyond the noted frontier, by spans");
    EXPECT_EQ(w->notes->turn, opened) << "sought by spans, nothing noted";
    expectTurn(*w, g.frames, beyond + 3, "a few turns on from the shown one, drawn up to");
    EXPECT_EQ(w->notes->turn, opened) << "drawing on needs no notes";
    expectTurn(*w, g.frames, beyond - 40, "back, by spans again");
    // Without spans (a recording of other data or another program), a seek
    // past the notes notes up to the turn.
    w->touches.reset();
    expectTurn(*w, g.frames, beyond + 40, "beyond the noted frontier, noted up to");
    EXPECT_EQ(w->notes->turn, beyond + 40) << "noted up to the turn, no further";
    expectTurn(*w, g.frames, beyond - 20, "back, composed from the notes just taken");

    // The idle loop's order: a slice of noting, else a slice drawn ahead,
    // with the viewer seeking anywhere between slices.
    std::mt19937 random(41);
    bool more = true;
    for (int slices = 0; more; ++slices) {
        ASSERT_LT(slices, 200) << "the idle slices never end";
        more = noteSome(*w, 24) || indexSome(*w, 40);
        const auto turn = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(last));
        expectTurn(*w, g.frames, turn, "between idle slices, slice " + std::to_string(slices));
    }
    EXPECT_EQ(w->notes->turn, last);
    EXPECT_GT(indexedTurn(*w), last - 2 * w->momentTurns) << "drawn ahead once noted";
    for (int32_t t : {last, 1, beyond + 1, 2}) expectTurn(*w, g.frames, t, "once all is done");
}

TEST(WatchSeek, NotesOutOfRoomFallBackToDrawingAndStayWithinTheLimit) {
    const Game1& g = roamed();
    const auto last = static_cast<int32_t>(g.frames.size());
    // Room for the notes of about half the game: between what the first
    // turn's take and what the whole game's do.
    auto all = openWatch(g.recording, g.dir.path(), 64u << 20);
    noteAll(*all);
    const size_t whole = noteBytes(*all->notes);
    auto tiny = openWatch(g.recording, g.dir.path(), 2);
    noteAll(*tiny);
    const size_t first = noteBytes(*tiny->notes) - tiny->notes->keptAlongside;
    ASSERT_LT(first, whole - all->notes->keptAlongside);
    // The states kept at opening take their part of the notes' half first.
    const size_t limit = first + whole + all->notes->keptAlongside;
    auto w = openWatch(g.recording, g.dir.path(), limit);
    noteAll(*w);
    ASSERT_TRUE(w->notes->stopped);
    EXPECT_FALSE(w->noter) << "the noting replay is let go";
    const int32_t noted = w->notes->turn;
    ASSERT_GT(noted, 1);
    ASSERT_LT(noted, last);
    EXPECT_LE(noteBytes(*w->notes), limit / 2 + (64u << 10));
    EXPECT_LE(w->keptBytesLimit, limit - noteBytes(*w->notes)) << "the moments have what the notes leave";
    EXPECT_EQ(w->timeline.lastTurn, last) << "the timeline is whole all the same";
    expectTurn(*w, g.frames, noted, "the last noted turn");
    expectTurn(*w, g.frames, noted + 1, "the first turn not noted");
    expectTurn(*w, g.frames, last, "past the notes");
    std::mt19937 random(23);
    for (int i = 0; i < 12; ++i) expectTurn(*w, g.frames, 1 + static_cast<int32_t>(random() % last), "random");
}

// The recordings kept in the repository, on the data folders they were
// made on (a hostile one, one of odd tiles, one of odd values).
const std::string kCorpus = DELVE_SOURCE_DIR "/tests/recordings";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(WatchSeek, EveryCorpusRecordingOnItsOwnDataSeeksExactly) {
    std::istringstream lines(readAll(kCorpus + "/corpus.txt"));
    int checked = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, data;
        words >> name >> data;
        ScratchDir dir;
        copyStaged(dir);
        const fs::path overlay = fs::path(kCorpus) / "data" / data;
        if (data != "shipped")
            for (const char* part : {"res", "tiles"})
                if (fs::exists(overlay / part))
                    fs::copy(overlay / part, fs::path(dir.path()) / part,
                             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const Recording recording = parsedRecording(readAll(kCorpus + "/" + name));
        const std::vector<Pages> frames = replayAllPages(dir.path(), recording);
        ASSERT_GT(frames.size(), 10u) << name;
        auto w = openWatch(recording, dir.path(), 64u << 20);
        ASSERT_EQ(w->timeline.lastTurn, static_cast<int32_t>(frames.size())) << name;
        const auto last = static_cast<int32_t>(frames.size());
        ASSERT_TRUE(w->touches) << name << ": made by this program on this data, sought by spans";
        expectTurn(*w, frames, last, name + ", the last turn");
        std::mt19937 random(static_cast<uint32_t>(line.size()));
        for (int i = 0; i < 6; ++i) expectTurn(*w, frames, 1 + static_cast<int32_t>(random() % last), name);
        EXPECT_TRUE(w->touches) << name << ": every seek told by the spans, none fell back";
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

}  // namespace
}  // namespace delve::test
