// The picture kept beside a recording: a game that ends cleanly in the
// window keeps it, a continue then replays without drawing and shows exactly
// what a drawn replay would, and a picture that is missing, stale, garbled
// or hostile changes nothing but the time a continue takes.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>

#include "recording/kept_picture.h"
#include "kept/continue_game.h"
#include "kept/game_list.h"
#include "kept/recorded_run.h"
#include "kept/recording_files.h"
#include "support/recordings.h"
#include "support/support.h"

namespace delve::test {
namespace {

namespace fs = std::filesystem;

// Past a checkpoint, with a spell, a bomb and a member switch.
Batches opening() {
    Batches batches = {"x", "@311\r", " "};
    const std::string moves = "66682222444488 86v2t6h4f8w8b+";
    for (int i = 0; i < 56; ++i) batches.push_back(std::string(1, moves[i % moves.size()]));
    return batches;
}

const Batches kMore = {"6", "2", "44", "8", "+", "6"};

// A small screen with rows that repeat, runs, noise and a copied page.
Screen sampleScreen(int width, int height) {
    Screen s;
    s.width = width, s.height = height;
    s.workPage = 2, s.visiblePage = 5, s.cursorRow = -7, s.cursorColumn = 61;
    uint32_t state = 99;
    s.pages.reset(static_cast<size_t>(width) * height);
    for (int p = 0; p < kPageCount; ++p) {
        const Page& page = s.pages[p];
        std::fill(page.begin(), page.end(), static_cast<uint8_t>(p * 3));
        for (size_t i = 0; i < page.size(); ++i) {
            state = state * 1664525u + 1013904223u;
            if (p % 2 == 0 && (i / width) % 3 != 0) page[i] = static_cast<uint8_t>(state >> 24);
        }
    }
    std::copy(s.pages[4].begin(), s.pages[4].end(), s.pages[7].begin());
    return s;
}

bool sameScreen(const Screen& a, const Screen& b) {
    return a.width == b.width && a.height == b.height && a.workPage == b.workPage &&
           a.visiblePage == b.visiblePage && a.cursorRow == b.cursorRow && a.cursorColumn == b.cursorColumn &&
           a.pages == b.pages;
}

KeptPicture samplePicture() {
    KeptPicture p;
    p.program = "1.2.3";
    p.playedBytes = 4321;
    p.playedDigest = 0x0123456789abcdefull;
    p.screen = sampleScreen(24, 9);
    return p;
}

TEST(KeptPicture, ComesBackAsItWasAndIsSmall) {
    for (const auto& [w, h] : {std::pair{24, 9}, {320, 200}, {1, 1}, {0, 0}}) {
        KeptPicture p = samplePicture();
        p.screen = sampleScreen(w, h);
        const auto back = decodeKeptPicture(encodeKeptPicture(p));
        ASSERT_TRUE(back) << w << "x" << h;
        EXPECT_EQ(back->program, p.program);
        EXPECT_EQ(back->playedBytes, p.playedBytes);
        EXPECT_EQ(back->playedDigest, p.playedDigest);
        EXPECT_TRUE(sameScreen(back->screen, p.screen)) << w << "x" << h;
    }
    // A window of repeated rows and long runs, as the game draws it, keeps
    // small: a blank 960 x 720 screen is a few kilobytes, not 5.5 MB.
    KeptPicture blank = samplePicture();
    blank.screen = Screen{};
    blank.screen.width = 960, blank.screen.height = 720;
    blank.screen.pages.reset(960 * 720);
    EXPECT_LT(encodeKeptPicture(blank).size(), 16000u);

    // Written whole through a temporary file, which does not stay.
    ScratchDir dir;
    const std::string path = dir.path() + "/game.rec.picture";
    ASSERT_TRUE(writeKeptPicture(path, samplePicture()));
    ASSERT_TRUE(writeKeptPicture(path, samplePicture()));
    EXPECT_TRUE(readKeptPicture(path));
    EXPECT_FALSE(dir.exists("game.rec.picture.new"));
    EXPECT_FALSE(readKeptPicture(dir.path() + "/none.picture"));
    EXPECT_FALSE(readKeptPicture(dir.path()));  // a folder
}

TEST(KeptPicture, AnythingOutOfShapeIsNoPicture) {
    const std::string good = encodeKeptPicture(samplePicture());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    const size_t rows = good.find("page 0 rows\n") + 12;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"another format", replaced("delve-picture 1", "delve-picture 2")},
        {"a recording", "delve-recording 1\nprogram 0.2.0\n"},
        {"no program", replaced("program 1.2.3", "program ")},
        {"a digest too short", replaced("0123456789abcdef", "0123456789abcde")},
        {"a digest not hex", replaced("0123456789abcdef", "0123456789abcdeg")},
        {"a negative length", replaced("played 4321", "played -1")},
        {"a length past any recording", replaced("played 4321", "played 99999999999")},
        {"too wide", replaced("screen 24 9", "screen 99999 9")},
        {"too many pixels", replaced("screen 24 9", "screen 4096 4096")},
        {"a negative height", replaced("screen 24 9", "screen 24 -9")},
        {"no such page", replaced("screen 24 9 2 5", "screen 24 9 2 8")},
        {"a cursor past 32 bits", replaced("-7 61", "-7 99999999999")},
        {"a page out of order", replaced("page 1 rows", "page 2 rows")},
        {"a page that copies a later one", replaced("page 7 same 4", "page 7 same 7")},
        {"a page that copies itself", replaced("page 7 same 4", "page 7 same -1")},
        {"the first row repeating nothing", good.substr(0, rows) + '\0' + good.substr(rows + 1)},
        {"an unknown row", good.substr(0, rows) + '\x07' + good.substr(rows + 1)},
        {"a run past the row", good.substr(0, rows + 1) + '\xff' + good.substr(rows + 2)},
        {"no end", good.substr(0, good.size() - 4)},
        {"something after the end", good + "x"},
        {"a blank in a number", replaced("played 4321", "played  4321")},
    };
    for (const Case& c : cases) EXPECT_FALSE(decodeKeptPicture(c.bytes)) << c.name;
    // Cut anywhere, it is never taken for a picture.
    for (size_t n = 0; n < good.size(); ++n) ASSERT_FALSE(decodeKeptPicture(good.substr(0, n))) << n;
    EXPECT_TRUE(decodeKeptPicture(good));
}

// A window game played to its end with these batches, recorded into the data
// folder as the window records; the recording's path.
std::string playInWindow(const std::string& root, Batches batches, bool closeAtEnd) {
    BatchBackend window(std::move(batches), closeAtEnd);
    WindowRunOptions options;
    options.dataRoot = root;
    runWindowGame(window, options);
    for (const auto& e : fs::directory_iterator(fs::path(root) / "recordings"))
        if (e.path().extension() == ".rec") return e.path().string();
    return "";
}

struct Continued {
    int status = -1;
    bool usedPicture = false;
    std::string trace;
    uint64_t shownHash = 0;
    std::string after;  // the recording when the continued game ended
};

// `closed`: the continued game ends as the close button ends it, else as a
// killed program's (keys used up, no end picture).
Continued continueWith(const std::string& root, const std::string& path, Batches keys, bool closed = true) {
    Continued c;
    ContinueTarget target;
    std::string error;
    c.status = openToContinue(root, path, target, error);
    if (c.status != 0) return c;
    BatchBackend window(std::move(keys), closed);
    const std::string tracePath = root + "/continued.jsonl";
    c.status = continueGame(window, target, root, tracePath, &c.usedPicture);
    std::ifstream in(tracePath, std::ios::binary);
    c.trace.assign(std::istreambuf_iterator<char>(in), {});
    c.shownHash = window.shownHash;
    std::ifstream rec(path, std::ios::binary);
    c.after.assign(std::istreambuf_iterator<char>(rec), {});
    return c;
}

// A continue that must refuse the game (status 3, said on stderr) without
// using the picture, and leave the recording as it was.
void expectRefusedAsItWas(const std::string& root, const std::string& path, const std::string& recording) {
    testing::internal::CaptureStderr();
    const Continued refused = continueWith(root, path, kMore);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(refused.status, 3);
    EXPECT_FALSE(refused.usedPicture);
    EXPECT_EQ(refused.after, recording);
}

TEST(KeptPicture, AContinueWithoutDrawingShowsWhatADrawnOneShows) {
    const Batches game = opening();
    struct Case {
        const char* name;
        Batches played;
        bool closed;
        Batches kept;  // the keys the continued game has had
    };
    const std::vector<Case> cases = {
        {"close button", game, true, game},
        {"escape", joined(game, {"\x1b"}), false, game},
        {"escape inside a batch", joined(game, {"48\x1b" "66"}), false, joined(game, {"48"})},
        {"a 20-key burst, then the close button", joined(game, {"66666666662222222222"}), true,
         joined(game, {"66666666662222222222"})},
        {"escape at the title", {"x", "\x1b"}, false, {"x"}},
        {"closed at the seed prompt", {"x", "@3"}, true, {"x", "@3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        copyStaged(dir);
        const std::string path = playInWindow(dir.path(), c.played, c.closed);
        ASSERT_FALSE(path.empty());
        ASSERT_TRUE(readKeptPicture(keptPicturePath(path)));
        const std::string before = dir.read(fs::relative(path, dir.path()).string());

        const Continued fast = continueWith(dir.path(), path, kMore);
        EXPECT_EQ(fast.status, 0);
        EXPECT_TRUE(fast.usedPicture);
        // The same as a continue that draws everything (which continue_test
        // holds to one run of all the keys).
        dir.write(fs::relative(path, dir.path()).string(), before);
        fs::remove(keptPicturePath(path));
        const Continued drawn = continueWith(dir.path(), path, kMore);
        EXPECT_EQ(drawn.status, 0);
        EXPECT_FALSE(drawn.usedPicture);
        EXPECT_EQ(fast.trace, drawn.trace);
        EXPECT_EQ(fast.shownHash, drawn.shownHash);
        EXPECT_EQ(fast.after, drawn.after);
        // The continued game ended with the close button: it keeps a new
        // picture, and the next continue uses it too, to the picture of one
        // run of all the keys.
        const Continued again = continueWith(dir.path(), path, {"2", "2"});
        EXPECT_EQ(again.status, 0);
        EXPECT_TRUE(again.usedPicture);
        EXPECT_EQ(again.shownHash, record(dir.path(), joined(joined(c.kept, kMore), {"2", "2"}), "", true).shownHash);
    }
}

TEST(KeptPicture, ABadPictureCostsTimeAndNothingElse) {
    ScratchDir dir;
    copyStaged(dir);
    const std::string path = playInWindow(dir.path(), opening(), true);
    ASSERT_FALSE(path.empty());
    const std::string picturePath = keptPicturePath(path);
    const std::string rel = fs::relative(path, dir.path()).string();
    const std::string recording = dir.read(rel);
    const auto kept = readKeptPicture(picturePath);
    ASSERT_TRUE(kept);

    fs::remove(picturePath);
    const Continued plain = continueWith(dir.path(), path, kMore);
    ASSERT_EQ(plain.status, 0);

    const auto changed = [&](auto change) {
        KeptPicture p = *kept;
        change(p);
        return encodeKeptPicture(p);
    };
    const std::string good = encodeKeptPicture(*kept);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"garbage", "\x89PNG\r\n\x1a\n garbage"},
        {"cut short", good.substr(0, good.size() / 2)},
        {"of a shorter recording", changed([](KeptPicture& p) { p.playedBytes -= 1; })},
        {"of other text", changed([](KeptPicture& p) { p.playedDigest ^= 1; })},
        {"from another program", changed([](KeptPicture& p) { p.program = "9.9.9"; })},
        {"of another size", changed([](KeptPicture& p) {
             p.screen.width = 320, p.screen.height = 200;
             p.screen.pages.reset(320 * 200);
             for (const Page& page : p.screen.pages) std::fill(page.begin(), page.end(), 1);
         })},
        {"another page shown", changed([](KeptPicture& p) { p.screen.visiblePage = 3; })},
        {"another text cursor", changed([](KeptPicture& p) { p.screen.cursorRow += 1; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write(rel, recording);
        dir.write(fs::relative(picturePath, dir.path()).string(), c.bytes);
        const Continued cont = continueWith(dir.path(), path, kMore);
        EXPECT_EQ(cont.status, plain.status);
        EXPECT_FALSE(cont.usedPicture);
        EXPECT_EQ(cont.trace, plain.trace);
        EXPECT_EQ(cont.shownHash, plain.shownHash);
        EXPECT_EQ(cont.after, plain.after);
    }
    // A folder where the picture would be.
    dir.write(rel, recording);
    fs::remove(picturePath);
    fs::create_directory(picturePath);
    const Continued folder = continueWith(dir.path(), path, kMore);
    EXPECT_EQ(folder.shownHash, plain.shownHash);
    EXPECT_FALSE(folder.usedPicture);
    fs::remove(picturePath);

    // Changed data files: refused as ever (status 3, the recording as it
    // was), the picture not even looked at.
    dir.write(rel, recording);
    dir.write(fs::relative(picturePath, dir.path()).string(), good);
    std::string tile = dir.read("tiles/font/font_065.til");
    tile[20] = static_cast<char>(tile[20] ^ 0x0f);
    dir.write("tiles/font/font_065.til", tile);
    expectRefusedAsItWas(dir.path(), path, recording);
}

// A game that never ended cleanly (keys used up, as a killed program's) of
// this many batches: past the first picture kept along the way.
Batches longOpening() {
    Batches batches = opening();
    const std::string moves = "6688224466v22";
    for (int i = 0; i < kPictureEveryBatches; ++i) batches.push_back(std::string(1, moves[i % moves.size()]));
    return batches;
}

TEST(KeptPicture, AGameCutOffGoesOnFromAPictureKeptAlongTheWay) {
    ScratchDir dir;
    copyStaged(dir);
    const std::string path = playInWindow(dir.path(), longOpening(), false);
    ASSERT_FALSE(path.empty());
    const std::string rel = fs::relative(path, dir.path()).string();
    const std::string picturePath = keptPicturePath(path);
    const std::string recording = dir.read(rel);
    // Kept on the way into a wait for a key, of the text written by then.
    const auto kept = readKeptPicture(picturePath);
    ASSERT_TRUE(kept);
    ASSERT_LT(kept->playedBytes, recording.size());
    EXPECT_EQ(kept->playedDigest, fnv1a64(recording.substr(0, kept->playedBytes)));
    EXPECT_EQ(recording.compare(kept->playedBytes, 2, "k "), 0);
    const std::string good = encodeKeptPicture(*kept);

    // Every case comes back as the continue that draws everything does
    // (which continue_test holds to one run of all the keys); a half line
    // is cut off first, so it changes nothing.
    fs::remove(picturePath);
    const Continued drawn = continueWith(dir.path(), path, kMore);
    ASSERT_EQ(drawn.status, 0);
    ASSERT_FALSE(drawn.usedPicture);

    KeptPicture otherText = *kept;
    otherText.playedDigest ^= 1;
    KeptPicture midLine = *kept;
    midLine.playedBytes += 3;
    midLine.playedDigest = fnv1a64(recording.substr(0, midLine.playedBytes));
    struct Case {
        const char* name;
        std::string recording;
        std::string picture;
        bool used;
    };
    const std::vector<Case> cases = {
        {"keys used up", recording, good, true},
        {"killed in the middle of a line", recording + "k 150 6 2", good, true},
        {"a picture of other text", recording, encodeKeptPicture(otherText), false},
        {"a picture of no wait for a key", recording, encodeKeptPicture(midLine), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write(rel, c.recording);
        dir.write(fs::relative(picturePath, dir.path()).string(), c.picture);
        const Continued fast = continueWith(dir.path(), path, kMore);
        EXPECT_EQ(fast.status, 0);
        EXPECT_EQ(fast.usedPicture, c.used);
        EXPECT_EQ(fast.trace, drawn.trace);
        EXPECT_EQ(fast.shownHash, drawn.shownHash);
        EXPECT_EQ(fast.after, drawn.after);
    }

    // A file cut back before the picture's point (a power cut that kept the
    // picture and lost the file's last lines) plays on without it.
    dir.write(rel, recording.substr(0, recording.rfind("\nk ", kept->playedBytes - 2) + 1));
    dir.write(fs::relative(picturePath, dir.path()).string(), good);
    const Continued cut = continueWith(dir.path(), path, kMore);
    EXPECT_EQ(cut.status, 0);
    EXPECT_FALSE(cut.usedPicture);

    // A checkpoint before the picture's point that no longer matches: the
    // picture is of other text, and the drawn replay refuses the game.
    std::string spoilt = recording;
    const size_t checkpoint = spoilt.find("\np 50 ");
    ASSERT_LT(checkpoint, kept->playedBytes);
    spoilt[checkpoint + 7] = spoilt[checkpoint + 7] == '0' ? '1' : '0';
    dir.write(rel, spoilt);
    dir.write(fs::relative(picturePath, dir.path()).string(), good);
    expectRefusedAsItWas(dir.path(), path, spoilt);
}

TEST(KeptPicture, AContinuedGameKeepsAPictureAtItsFirstWait) {
    ScratchDir dir;
    copyStaged(dir);
    // Killed before any picture was due, then continued and killed again
    // after two keys: long before the next picture along the way, so only
    // the one kept at the first wait after the hand-over can be there.
    const std::string path = playInWindow(dir.path(), {"x", "@5\r", " ", "6"}, false);
    ASSERT_FALSE(path.empty());
    ASSERT_FALSE(fs::exists(keptPicturePath(path)));
    const std::string recording = dir.read(fs::relative(path, dir.path()).string());
    const Continued first = continueWith(dir.path(), path, {"2", "4"}, false);
    ASSERT_EQ(first.status, 0);
    const auto kept = readKeptPicture(keptPicturePath(path));
    ASSERT_TRUE(kept);
    // Of the text up to the hand-over, the player's first key next.
    EXPECT_GE(kept->playedBytes, recording.size());
    ASSERT_LT(kept->playedBytes, first.after.size());
    EXPECT_EQ(kept->playedDigest, fnv1a64(first.after.substr(0, kept->playedBytes)));
    EXPECT_EQ(first.after.compare(kept->playedBytes, 2, "k "), 0);

    // The next continue starts from it and shows what a drawn one shows.
    const std::string after = first.after;
    const Continued fast = continueWith(dir.path(), path, {"8"});
    EXPECT_EQ(fast.status, 0);
    EXPECT_TRUE(fast.usedPicture);
    dir.write(fs::relative(path, dir.path()).string(), after);
    fs::remove(keptPicturePath(path));
    const Continued drawn = continueWith(dir.path(), path, {"8"});
    EXPECT_EQ(drawn.status, 0);
    EXPECT_FALSE(drawn.usedPicture);
    EXPECT_EQ(fast.trace, drawn.trace);
    EXPECT_EQ(fast.shownHash, drawn.shownHash);
    EXPECT_EQ(fast.after, drawn.after);
}

TEST(KeptPicture, OnlyACleanEndKeepsOne) {
    ScratchDir dir;
    copyStaged(dir);
    // Keys used up without a close, as a killed program's, before any
    // picture was due: nothing is kept, and a picture left from before is
    // only a picture of nothing in this recording.
    const std::string path = playInWindow(dir.path(), {"x", "@5\r", " ", "6"}, false);
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(fs::exists(keptPicturePath(path)));
    dir.write(fs::relative(keptPicturePath(path), dir.path()).string(), encodeKeptPicture(samplePicture()));
    const Continued cont = continueWith(dir.path(), path, {"2"});
    EXPECT_EQ(cont.status, 0);
    EXPECT_FALSE(cont.usedPicture);
    EXPECT_TRUE(fs::exists(keptPicturePath(path)));  // the continued game was closed
    EXPECT_EQ(gameList(dir.path()).size(), 1u);       // a picture is no game of its own
    // A recording pruned away takes its picture along.
    const std::string folder = (fs::path(dir.path()) / "recordings").string();
    dir.write("recordings/2000-01-01_000000_seed-1.rec", "delve-recording 1\n");
    dir.write("recordings/2000-01-01_000000_seed-1.rec.picture", "old");
    pruneRecordings(folder, 1);
    EXPECT_FALSE(dir.exists("recordings/2000-01-01_000000_seed-1.rec"));
    EXPECT_FALSE(dir.exists("recordings/2000-01-01_000000_seed-1.rec.picture"));
    EXPECT_TRUE(fs::exists(keptPicturePath(path)));
}

}  // namespace
}  // namespace delve::test
