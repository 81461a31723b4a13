// A window game whose recording the disk refuses for a while: play goes on,
// the title says the game is not being kept, and once there is room again
// the file is exactly what it would have been, end line and all. Also what
// is held in memory meanwhile, and its bound.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kept/game_list.h"
#include "kept/recorded_run.h"
#include "platform/system.h"
#include "recording/recording_backend.h"
#include "support/recordings.h"
#include "support/support.h"

namespace delve::test {
namespace {

namespace fs = std::filesystem;

const std::string kNotKept = "this game is not being kept: ";

// A seeded game of 120 moves, closed by the close button at the end.
Batches aSeededGame() {
    Batches batches = {"x", "@317\r"};
    const std::string moves = "66682222444488866v2t6h4f8w8b";
    for (int i = 0; i < 120; ++i) batches.push_back(std::string(1, moves[i % moves.size()]));
    return batches;
}

// A window that keeps every title it is given and calls `onPump` before
// each pump (the test frees the disk there).
class TitledWindow : public BatchBackend {
public:
    explicit TitledWindow(Batches batches) : BatchBackend(std::move(batches), true) {}
    void setTitle(const std::string& title) override { titles.push_back(title); }
    void pumpKeys(KeyQueue& queue, KeyWait wait) override {
        if (onPump) onPump();
        BatchBackend::pumpKeys(queue, wait);
    }
    bool told(const std::string& words) const {
        for (const std::string& t : titles)
            if (t.find(words) != std::string::npos) return true;
        return false;
    }

    std::vector<std::string> titles;
    std::function<void()> onPump;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> recordingsIn(const std::string& root) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::path(root) / "recordings", ec))
        if (e.path().extension() == ".rec") found.push_back(e.path().string());
    return found;
}

// The game played in the window as the program plays it; the text of the
// one recording it left ("" when none).
std::string playedInWindow(const std::string& root, TitledWindow& window) {
    WindowRunOptions options;
    options.dataRoot = root;
    runWindowGame(window, options);
    const std::vector<std::string> found = recordingsIn(root);
    return found.size() == 1 ? fileText(found[0]) : "";
}

// What the same game leaves on a disk that never refuses anything.
struct Untroubled {
    std::string text;
    std::string title;
};
Untroubled untroubled() {
    ScratchDir dir;
    copyStaged(dir);
    TitledWindow window(aSeededGame());
    Untroubled u{playedInWindow(dir.path(), window), window.titles.empty() ? "" : window.titles.back()};
    EXPECT_EQ(window.titles.size(), 1u);
    return u;
}

// After `pumps` more pumps once the title has said it, `free` is called once.
void freeLater(TitledWindow& window, int pumps, std::function<void()> free) {
    auto left = std::make_shared<int>(pumps);
    window.onPump = [&window, left, free] {
        if (*left > 0 && window.told(kNotKept) && --*left == 0) free();
    };
}

#ifndef _WIN32  // Windows has no per-process file size limit to stage a full disk with

// The file size limit stands for a full disk: it holds for root too, and
// raising it again is the disk freed.
struct SizeLimit {
    explicit SizeLimit(rlim_t bytes) {
        previousSignal = std::signal(SIGXFSZ, SIG_DFL);
        refuseOversizeWrites();
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small{bytes, previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SizeLimit() { lift(); std::signal(SIGXFSZ, previousSignal); }
    void lift() { setrlimit(RLIMIT_FSIZE, &previous); }
    rlimit previous{};
    void (*previousSignal)(int) = nullptr;
};

TEST(Keeping, AFullDiskIsToldInTheTitleAndTheFreedDiskKeepsTheWholeGame) {
    const Untroubled whole = untroubled();
    ASSERT_NE(whole.text.find("\np 100 "), std::string::npos) << whole.text;
    ScratchDir dir;
    copyStaged(dir);
    TitledWindow window(aSeededGame());
    std::string text;
    {
        // The header fits; the game stops fitting a third of the way in,
        // in the middle of a line as likely as not.
        SizeLimit limit(whole.text.size() / 3);
        freeLater(window, 40, [&] { limit.lift(); });
        text = playedInWindow(dir.path(), window);
    }
    EXPECT_TRUE(window.told(whole.title + " - " + kNotKept + "its file has reached the size limit"));
    // Told once, and the notice gone once the file had room.
    ASSERT_EQ(window.titles.size(), 3u);
    EXPECT_EQ(window.titles.back(), whole.title);
    // Nothing lost and nothing twice: the same bytes as on a roomy disk.
    EXPECT_EQ(text, whole.text);
    const std::vector<std::string> found = recordingsIn(dir.path());
    ASSERT_EQ(found.size(), 1u);
    const std::string line = gameListLine(found[0]);
    EXPECT_NE(line.find("  closed  "), std::string::npos) << line;
    EXPECT_EQ(play(dir.path(), text).result.kind, PlaybackResult::Finished);
}

// Bytes the file takes only part of are held from exactly where it stopped,
// and a pump that brings nothing is enough to write them once there is room.
TEST(Keeping, APartlyWrittenLineGoesOnWhereItStopped) {
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    TitledWindow window({});
    RecordingBackend rec(window, file);
    rec.tellInTitle();
    rec.setTitle("Dungeon");
    {
        SizeLimit limit(10);
        rec.write("first line\n");
        EXPECT_FALSE(rec.kept());
        rec.setTurn(3);
        rec.write("second\n");
        EXPECT_EQ(rec.endNotice(), "this game was kept only up to turn 0: its file has reached the size limit");
        limit.lift();
        KeyQueue queue;
        rec.pumpKeys(queue, KeyWait::Brief);  // the first poll brings nothing
        EXPECT_EQ(keyCount(queue), 0);
    }
    EXPECT_TRUE(rec.kept());
    EXPECT_EQ(rec.endNotice(), "");
    EXPECT_EQ(readWhole(file), "first line\nsecond\n");
    EXPECT_EQ(window.titles, (std::vector<std::string>{
                                 "Dungeon", "Dungeon - " + kNotKept + "its file has reached the size limit",
                                 "Dungeon"}));
    std::fclose(file);
}

#else
TEST(Keeping, AFullDiskIsToldInTheTitleAndTheFreedDiskKeepsTheWholeGame) {
    GTEST_SKIP() << "a full disk is staged with a file size limit, which Windows does not have";
}
TEST(Keeping, APartlyWrittenLineGoesOnWhereItStopped) {
    GTEST_SKIP() << "a full disk is staged with a file size limit, which Windows does not have";
}
#endif

// A file where the recordings folder should be: nothing can be made at the
// start, the game is held, and once the folder can be made the file holds
// all of it, named as any other. Left as it is, the player's file is not
// touched and the end says nothing was kept.
TEST(Keeping, AStartThatCannotMakeItsFileMakesItOnceItCan) {
    const Untroubled whole = untroubled();
    const std::string why = "recordings/ cannot be written";
    {
        ScratchDir dir;
        copyStaged(dir);
        dir.write("recordings", "a file of the player's");
        TitledWindow window(aSeededGame());
        freeLater(window, 40, [&] { fs::remove(fs::path(dir.path()) / "recordings"); });
        const std::string text = playedInWindow(dir.path(), window);
        // Told before the game set its own title, then with it.
        ASSERT_GE(window.titles.size(), 3u);
        EXPECT_EQ(window.titles[0], "This game is not being kept: " + why);
        EXPECT_EQ(window.titles[1], whole.title + " - " + kNotKept + why);
        EXPECT_EQ(window.titles.back(), whole.title);
        EXPECT_EQ(text, whole.text);
        const std::vector<std::string> found = recordingsIn(dir.path());
        ASSERT_EQ(found.size(), 1u);
        EXPECT_NE(found[0].find("_seed-317.rec"), std::string::npos) << found[0];
    }
    {
        ScratchDir dir;
        copyStaged(dir);
        dir.write("recordings", "a file of the player's");
        TitledWindow window(aSeededGame());
        WindowRunOptions options;
        options.dataRoot = dir.path();
        runWindowGame(window, options);
        ASSERT_FALSE(window.titles.empty());
        EXPECT_EQ(window.titles.back(), whole.title + " - this game was not kept: " + why);
        EXPECT_EQ(dir.read("recordings"), "a file of the player's");
    }
}

// Held text is bounded: past the bound nothing more is taken, what was held
// still goes to the file, and the file ends on a whole line: a game up to
// there, which plays and continues as a cut-off one does.
TEST(Keeping, HeldTextStopsAtItsBoundOnAWholeLine) {
    TitledWindow window({});
    RecordingBackend rec(window, nullptr);
    rec.tellInTitle();
    rec.holdUntilFile("the disk is full");
    const std::string line = std::string((1u << 20) - 1, 'x') + "\n";
    for (size_t i = 0; i < kHeldMaxBytes / line.size(); ++i) rec.write(line);
    EXPECT_EQ(rec.notice(), kNotKept + "the disk is full");
    rec.setTurn(7);
    rec.write("one line too many\n");
    rec.setTurn(8);
    rec.write("and another\n");
    EXPECT_EQ(rec.notice(), "this game is kept only up to turn 0: the disk is full");
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    rec.attachFile(file);
    rec.write("after\n");
    const std::string written = readWhole(file);
    EXPECT_EQ(written.size(), kHeldMaxBytes);
    EXPECT_EQ(written.back(), '\n');
    EXPECT_EQ(written.find("too many"), std::string::npos);
    EXPECT_FALSE(rec.kept());
    // Once the held part is in, the file reaches the turn it was given up at.
    EXPECT_EQ(rec.endNotice(), "this game was kept only up to turn 7: the disk is full");
    EXPECT_TRUE(window.told("kept only up to turn 7"));
    std::fclose(file);
}

}  // namespace
}  // namespace delve::test
