// Recordings: a run recorded on one backend plays back to the same frames on
// another, key batches and all; a changed data folder is caught at the first
// checkpoint; a cut file plays to its last whole key; a malformed one is
// refused whole; the recordings folder keeps the newest 100.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/system.h"
#include "recording/data_digest.h"
#include "recording/playback_backend.h"
#include "recording/recording_backend.h"
#include "recording/recording_format.h"
#include "kept/playback.h"
#include "kept/recorded_run.h"
#include "kept/recording_files.h"
#include "support/memory_limit.h"
#include "support/recordings.h"
#include "support/support.h"

namespace delve::test {
namespace {

namespace fs = std::filesystem;

// 105 turns of moves and spells, ended by Escape.
std::deque<std::string> aGame(const std::string& start) {
    std::deque<std::string> batches = {"x", start};
    const std::string moves = "6668222244448886v 2t6h4f8w8b";
    for (int i = 0; i < 105; ++i) batches.push_back(std::string(1, moves[i % moves.size()]));
    batches.push_back("\x1b");
    return batches;
}

TEST(Recording, PlaysBackToTheSameFramesAndChecksEveryFiftyTurns) {
    ScratchDir dir;
    copyStaged(dir);
    const Recorded rec = record(dir.path(), aGame(" "));  // the seed comes from the clock
    EXPECT_NE(rec.text.find("\nt 0x"), std::string::npos);
    EXPECT_NE(rec.text.find("\nc 23:59:58\n"), std::string::npos);
    EXPECT_NE(rec.text.find("\nd 12-31-2026\n"), std::string::npos);
    EXPECT_NE(rec.text.find("\np 50 "), std::string::npos);
    EXPECT_NE(rec.text.find("\np 100 "), std::string::npos);
    EXPECT_NE(rec.text.find(" \\e\n"), std::string::npos);
    const Played p = play(dir.path(), rec.text);
    EXPECT_EQ(p.result.kind, PlaybackResult::Finished) << p.result.message;
    EXPECT_GT(std::count(p.trace.begin(), p.trace.end(), '\n'), 100);
    EXPECT_EQ(p.trace, rec.trace);
}

// Twenty keys arriving in one pump: the queue keeps the last 15 of them, and
// the playback must lose the same five.
TEST(Recording, KeyBatchesPlayBackWhole) {
    ScratchDir dir;
    copyStaged(dir);
    std::deque<std::string> batches = {"x", "@17\r", "66666666662222222222", "4444", "\x01", "\x1b"};
    const Recorded rec = record(dir.path(), batches);
    EXPECT_NE(rec.text.find(" 6 6 6 6 6 6 6 6 6 6 2 2 2 2 2 2 2 2 2 2\n"), std::string::npos);
    EXPECT_NE(rec.text.find(" \\x01\n"), std::string::npos);
    const Played p = play(dir.path(), rec.text);
    EXPECT_EQ(p.result.kind, PlaybackResult::Finished) << p.result.message;
    EXPECT_EQ(p.trace, rec.trace);
}

// The page reads the data folder in pieces, handing the browser its turns
// between files: its recordings must name the same data as the window's.
TEST(Recording, DigestReadInPiecesIsTheWholeDigest) {
    ScratchDir dir;
    copyStaged(dir);
    dir.write("res/encounter.txt", "left out, so no piece");
    int pieces = 0;
    const uint64_t inPieces = dataFolderDigest(dir.path(), [&] { ++pieces; });
    EXPECT_EQ(inPieces, dataFolderDigest(dir.path()));
    size_t files = 0;
    for (const char* folder : {"res", "tiles"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path() + "/" + folder))
            files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(static_cast<size_t>(pieces), files - 1);
}

// Recordings made before carry the digest of their data, so it keeps its
// value for every folder the game can read whole, a file right at the
// game's limit included. A file past the limit is none of the game's: it
// counts by its name and size, and its bytes are never read.
TEST(Recording, DigestKeepsItsValueAndNeverReadsPastTheGameFileLimit) {
    ScratchDir dir;
    std::string everyByte;
    for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
    dir.write("res/a.txt", "abc\r\n");
    dir.write("res/Sub/b.dat", everyByte);
    dir.write("tiles/t.til", "");
    dir.write("res/encounter.txt", "left out");
    dir.write("res/.~temporary", "left out");
    makeSparseFile(dir.path() + "/res/atlimit.bin", kMaxGameFileBytes);
    // Worked out apart from the code, from the bytes above.
    EXPECT_EQ(dataFolderDigest(dir.path()), 0x2ca8b8f17fcdbbcdull);

    const std::string huge = dir.path() + "/res/huge.bin";
    const uint64_t without = dataFolderDigest(dir.path());
    makeSparseFile(huge, kMaxGameFileBytes + 1);
    const uint64_t with = dataFolderDigest(dir.path());
    EXPECT_NE(with, without);
    {
        std::fstream out(pathOf(huge), std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(1000);
        out << "changed where the game never looks";
    }
    EXPECT_EQ(dataFolderDigest(dir.path()), with);
    fs::resize_file(pathOf(huge), kMaxGameFileBytes + 2);
    EXPECT_NE(dataFolderDigest(dir.path()), with);
}

#ifdef _WIN32
TEST(Recording, AHugeDataFileCostsNoMemory) {
    GTEST_SKIP() << "caps a fork()ed child's address space; the limit itself is checked by "
                    "DigestKeepsItsValueAndNeverReadsPastTheGameFileLimit";
}
#else
// A sparse file of 20 GB in res/ (it takes no disk), under a cap of 1 GiB:
// the digest, a replay and a window start each go through.
TEST(Recording, AHugeDataFileCostsNoMemory) {
    if (!kMemoryCanBeCapped) GTEST_SKIP() << "the address sanitizer leaves no room under a cap on memory";
    ScratchDir dir;
    copyStaged(dir);
    const std::string recordingPath = dir.path() + "/game.rec";
    record(dir.path(), aGame("@5\r"), recordingPath);
    makeSparseFile(dir.path() + "/res/huge.bin", uint64_t{20} << 30);
    constexpr uint64_t cap = uint64_t{1} << 30;

    EXPECT_EQ(exitStatusUnderMemoryCap(cap,
                                       [&] {
                                           const uint64_t digest = dataFolderDigest(dir.path());
                                           return digest == 0 ? 1 : 0;
                                       }),
              0);
    // Played back whole: the game reads none of the file.
    EXPECT_EQ(exitStatusUnderMemoryCap(cap,
                                       [&] {
                                           const std::string tool = DELVE_TOOL_DIR "/delve-replay";
                                           const int null = ::open("/dev/null", O_WRONLY);
                                           ::dup2(null, 2);
                                           ::execl(tool.c_str(), tool.c_str(), "--dir", dir.path().c_str(),
                                                   "--recording", recordingPath.c_str(), nullptr);
                                           return 127;
                                       }),
              0);
    EXPECT_EQ(exitStatusUnderMemoryCap(cap,
                                       [&] {
                                           BatchBackend window(aGame("@5\r"), true);
                                           WindowRunOptions options;
                                           options.dataRoot = dir.path();
                                           return runWindowGame(window, options);
                                       }),
              0);
    const std::vector<KeptRecording> kept = keptRecordings(dir.path() + "/recordings");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].kind, KeptKind::Game);
}
#endif

// A changed tile file caught at turn 50 is shown by scripts/recording-e2e.
TEST(Recording, ChangedDataStopsAtTheFirstCheckpointNamingTheCause) {
    ScratchDir dir;
    copyStaged(dir);
    const Recorded rec = record(dir.path(), aGame("@5\r"));
    // The encounter file the game rewrites is no part of the data.
    const uint64_t before = dataFolderDigest(dir.path());
    dir.write("res/encounter.txt", "anything");
    EXPECT_EQ(dataFolderDigest(dir.path()), before);

    // A picture the play screen shows: the rules see no change, the page does.
    {
        ScratchDir changed;
        copyStaged(changed);
        const std::string tile = "tiles/font/font_065.til";
        std::string bytes = changed.read(tile);
        bytes[bytes.size() - 1] = static_cast<char>(bytes.back() ^ 0x55);
        changed.write(tile, bytes);
        const Played p = play(changed.path(), rec.text);
        EXPECT_EQ(p.result.kind, PlaybackResult::Mismatch);
        EXPECT_EQ(p.result.turn, 50);
        EXPECT_NE(p.result.message.find("recorded with other data files"), std::string::npos) << p.result.message;
    }
    // The same data and another program version: that is the likely cause.
    std::string otherProgram = rec.text;
    otherProgram.replace(otherProgram.find("\nprogram ") + 9, std::string(programVersion()).size(), "0.0.1-old");
    std::string error;
    auto recording = parseRecording(otherProgram, error);
    ASSERT_TRUE(recording) << error;
    EXPECT_NE(likelyMismatchCause(*recording, dataFolderDigest(dir.path())).find("0.0.1-old"), std::string::npos);
    // A forged checkpoint is caught at its turn with nothing to blame.
    std::string forged = rec.text;
    const size_t at = forged.find("\np 100 ") + 7;
    forged[at] = forged[at] == '0' ? '1' : '0';
    const Played p = play(dir.path(), forged);
    EXPECT_EQ(p.result.kind, PlaybackResult::Mismatch);
    EXPECT_EQ(p.result.turn, 100);
    EXPECT_EQ(p.result.message.find("("), std::string::npos) << p.result.message;
}

// The page plays a long game a few frames at a time: a slice boundary must
// change nothing of what is checked, found or shown.
TEST(Recording, PlayedInSlicesIsPlayedWhole) {
    ScratchDir dir;
    copyStaged(dir);
    const Recorded rec = record(dir.path(), aGame("@5\r"));
    std::string forged = rec.text;
    const size_t at = forged.find("\np 100 ") + 7;
    forged[at] = forged[at] == '0' ? '1' : '0';
    for (const std::string& text : {rec.text, forged}) {
        const Played whole = play(dir.path(), text);
        int slices = 0;
        const Played sliced = playInSlices(dir.path(), text, 0, 7, slices);
        EXPECT_EQ(sliced.result.kind, whole.result.kind);
        EXPECT_EQ(sliced.result.turn, whole.result.turn);
        EXPECT_EQ(sliced.result.message, whole.result.message);
        EXPECT_EQ(sliced.trace, whole.trace);
        EXPECT_EQ(sliced.shownHash, whole.shownHash);
        EXPECT_GT(slices, 100 / 7);
    }
    EXPECT_EQ(play(dir.path(), forged).result.turn, 100);
    // Stopped at a frame inside a slice: that frame, no further.
    int slices = 0;
    const Played stopped = playInSlices(dir.path(), rec.text, 60, 7, slices);
    EXPECT_EQ(stopped.result.kind, PlaybackResult::Stopped);
    EXPECT_EQ(std::count(stopped.trace.begin(), stopped.trace.end(), '\n'), 60);
    // The start-up and the first level are slices of their own.
    EXPECT_EQ(slices, 2 + (60 + 6) / 7);
}

TEST(Recording, ACutFilePlaysToItsLastWholeKey) {
    ScratchDir dir;
    copyStaged(dir);
    const Recorded rec = record(dir.path(), aGame("@9\r"));
    // Cut in the middle of a key line some way in.
    const size_t cut = rec.text.find("\nk ", rec.text.size() / 2) + 3;
    const Played p = play(dir.path(), rec.text.substr(0, cut));
    EXPECT_EQ(p.result.kind, PlaybackResult::Finished) << p.result.message;
    ASSERT_FALSE(p.trace.empty());
    EXPECT_EQ(rec.trace.compare(0, p.trace.size(), p.trace), 0);
    EXPECT_LT(p.trace.size(), rec.trace.size());
}

TEST(Recording, ReaderRefusesMalformedFilesWhole) {
    const std::string head = "delve-recording 1\nprogram 1.0\ndata 0123456789abcdef\n";
    struct Case {
        const char* name;
        std::string text;
        const char* error;  // part of the message
    };
    const Case cases[] = {
        {"empty", "", "not a Delve recording"},
        {"other file", "P6\n960 720\n", "not a Delve recording"},
        {"newer format", "delve-recording 2\nprogram 1\ndata 0123456789abcdef\n", "format 2 is not supported"},
        {"header cut", "delve-recording 1\nprogram 1.0\n", "line 3"},
        {"no program", "delve-recording 1\ndata 0123456789abcdef\n", "line 2"},
        {"short digest", "delve-recording 1\nprogram 1\ndata 0123\n", "line 3"},
        {"digest not hex", "delve-recording 1\nprogram 1\ndata 0123456789abcdeg\n", "line 3"},
        {"unknown line", head + "z 1\n", "line 4: not a recording line"},
        {"empty line", head + "\n", "line 4"},
        {"timer nan", head + "t nan\n", "line 4: a timer reading"},
        {"timer inf", head + "t inf\n", "timer"},
        {"timer text", head + "t 12abc\n", "timer"},
        {"timer blank", head + "t  1\n", "timer"},
        {"keys no turn", head + "k x 6\n", "turn"},
        {"keys negative turn", head + "k -1 6\n", "turn"},
        {"keys huge turn", head + "k 99999999999 6\n", "turn"},
        {"keys none", head + "k 5\n", "without keys"},
        {"keys double blank", head + "k 5 6  6\n", "empty"},
        {"keys too long", head + "k 5 abcdefghi\n", "too long"},
        {"bad escape", head + "k 5 \\q\n", "unknown escape"},
        {"cut escape", head + "k 5 \\x4\n", "unknown escape"},
        {"lone backslash", head + "k 5 \\\n", "lone backslash"},
        {"raw control", head + "c 12:00\x01\n", "control"},
        {"long clock", head + "c " + std::string(65, '1') + "\n", "too long"},
        {"checkpoint short", head + "p 50 abc\n", "checkpoint"},
        {"checkpoint no turn", head + "p fedcba9876543210\n", "checkpoint"},
        {"bad line late", head + "t 0x1p+3\nk 0 x\nc 12:00:00\nwhat\n", "line 7"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseRecording(c.text, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
    // What the reader takes: comments, CR LF ends, any byte escaped, and a
    // last line without its LF (cut short) left out.
    std::string error;
    auto r = parseRecording(head + "# note\r\nt 0x1.8p+0\nc \\x20\\\\\\e\nk 7 6 \\x20 \\xff\\xfe\nk 9 8\np 50 FEDCBA9876543210\nk 12 6",
                            error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->program, "1.0");
    EXPECT_EQ(r->dataDigest, 0x0123456789abcdefull);
    EXPECT_EQ(r->keyLines, 2u);
    EXPECT_EQ(r->lastTurn, 9);
    EXPECT_EQ(r->checkpoints, 1u);
    RecordingCursor c = openCursor(*r);
    EXPECT_EQ(nextEvent(c)->seconds, 1.5);
    EXPECT_EQ(nextEvent(c)->text, " \\\x1b");
    EXPECT_EQ(nextEvent(c)->keys, (std::vector<std::string>{"6", " ", "\xff\xfe"}));
    EXPECT_EQ(nextEvent(c)->keys, (std::vector<std::string>{"8"}));
    EXPECT_EQ(nextEvent(c)->digest, 0xfedcba9876543210ull);
    EXPECT_FALSE(nextEvent(c));
}

TEST(RecordingFiles, NamedByTimeAndSeed) {
    ScratchDir dir;
    RecordingFile f;
    ASSERT_TRUE(createRecordingFile(dir.path(), f));
    RecordingFile second;
    ASSERT_TRUE(createRecordingFile(dir.path(), second));  // same second: a name of its own
    EXPECT_NE(f.path, second.path);
    std::fputs("abc\n", f.file);
    nameRecordingBySeed(f, 317.0f);
    std::fputs("def\n", f.file);
    closeRecordingFile(f);
    closeRecordingFile(second);
    EXPECT_NE(f.path.find("_seed-317.rec"), std::string::npos) << f.path;
    EXPECT_EQ(dir.read("recordings/" + fs::path(f.path).filename().string()), "abc\ndef\n");
}

std::string fileName(const std::string& path) { return textOf(pathOf(path).filename()); }

// Two starts in one second with one seed: the first, named by its seed,
// frees its time's name, which the second then gets. Both games stay.
TEST(RecordingFiles, TwoGamesInOneSecondWithOneSeedAreBothKept) {
    for (int attempt = 0;; ++attempt) {
        ScratchDir dir;
        RecordingFile first, second;
        ASSERT_TRUE(createRecordingFile(dir.path(), first));
        nameRecordingBySeed(first, 17.0f);
        std::fputs("first game\n", first.file);
        ASSERT_TRUE(createRecordingFile(dir.path(), second));
        if (fileName(first.path).substr(0, 17) != fileName(second.path).substr(0, 17)) {
            ASSERT_LT(attempt, 5) << "never two starts in one second";
            closeRecordingFile(first);
            closeRecordingFile(second);
            continue;  // a second began between them
        }
        nameRecordingBySeed(second, 17.0f);
        std::fputs("second game\n", second.file);
        closeRecordingFile(first);
        closeRecordingFile(second);
        EXPECT_NE(first.path, second.path);
        EXPECT_NE(fileName(second.path).find("_seed-17.rec"), std::string::npos) << second.path;
        EXPECT_EQ(dir.read("recordings/" + fileName(first.path)), "first game\n");
        EXPECT_EQ(dir.read("recordings/" + fileName(second.path)), "second game\n");
        break;
    }
}

// With the clock set back (a time zone, the hour repeated in autumn) a new
// start's time is an earlier game's: that game and its kept picture stay as
// they are, and the new start's own picture goes with its recording.
TEST(RecordingFiles, AStartAtAnEarlierGamesTimeTakesNoneOfItsFiles) {
    ScratchDir dir;
    RecordingFile f;
    ASSERT_TRUE(createRecordingFile(dir.path(), f));
    const std::string stem = fileName(f.path).substr(0, fileName(f.path).size() - 4);
    const std::string earlier = "recordings/" + stem + "_seed-17.rec";
    dir.write(earlier, "the earlier game");
    dir.write(earlier + ".picture", "the earlier game's picture");
    // And a picture left behind by a game long gone, with no recording.
    const std::string next = "recordings/" + stem + "-2_seed-17.rec";
    dir.write(next + ".picture", "a picture of no game");
    dir.write("recordings/" + fileName(f.path) + ".picture", "the new start's title");
    std::fputs("the new game\n", f.file);
    nameRecordingBySeed(f, 17.0f);
    std::fputs("on the way\n", f.file);
    closeRecordingFile(f);

    EXPECT_EQ(dir.read(earlier), "the earlier game");
    EXPECT_EQ(dir.read(earlier + ".picture"), "the earlier game's picture");
    EXPECT_EQ(dir.read(next + ".picture"), "a picture of no game");
    EXPECT_FALSE(dir.exists(next));
    EXPECT_NE(f.path, dir.path() + "/" + earlier);
    EXPECT_NE(fileName(f.path).find("_seed-17.rec"), std::string::npos) << f.path;
    EXPECT_EQ(dir.read("recordings/" + fileName(f.path)), "the new game\non the way\n");
    EXPECT_EQ(dir.read("recordings/" + fileName(f.path) + ".picture"), "the new start's title");
    EXPECT_FALSE(dir.exists("recordings/" + stem + ".rec.picture"));

    // Nor does a start take a name whose picture is left: here, those of
    // the next minute's unseeded names, as older versions left them.
    const std::time_t now = std::time(nullptr);
    for (int second = 0; second < 60; ++second) {
        const std::tm t = localTimeOf(now + second);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M%S", &t);
        dir.write(std::string("recordings/") + stamp + ".rec.picture", "left behind");
    }
    RecordingFile another;
    ASSERT_TRUE(createRecordingFile(dir.path(), another));
    closeRecordingFile(another);
    EXPECT_FALSE(dir.exists("recordings/" + fileName(another.path) + ".picture")) << another.path;
}

// Pruning goes by when a game was last played, never by its name (when it
// started); starts that never got past the title go first, and nothing a
// program holds open goes at all.
TEST(RecordingFiles, PruningKeepsTheGamesPlayedLast) {
    ScratchDir dir;
    const std::string folder = dir.path() + "/recordings";
    const std::string head = recordingHeader("test", 0) + timerLine(1.0) + keysLine(0, {"x"});
    const std::string game = head + keysLine(0, {"@", "5", "\r"}) + "# seed 5\n# level 1\n" + keysLine(1, {"6"});
    const auto now = fs::file_time_type::clock::now();
    struct File {
        const char* name;
        std::string text;
        int minutesAgo;
    };
    const std::vector<File> files = {
        {"2001-01-01_000000_seed-1.rec", game, 1},    // started first, played last
        {"2026-06-01_000000_seed-2.rec", game, 50},   // the game played longest ago
        {"2026-06-02_000000_seed-3.rec", game, 5},
        {"2026-06-03_000000_seed-4.rec", game, 20},
        {"2026-06-04_000000.rec", "garbage\n", 30},    // no telling: kept as a game
        {"2026-06-05_000000.rec", head + "# end closed\n", 0},  // starts closed on the first screen
        {"2026-06-05_000001.rec", "", 100},                      // killed before its first line
        {"2026-06-05_000002.rec", head, 200},                   // a program still at the title
        {"2000-01-01_000000_seed-9.rec", game, 300},            // a game still being played
    };
    for (const File& f : files) {
        dir.write(std::string("recordings/") + f.name, f.text);
        fs::last_write_time(folder + "/" + f.name, now - std::chrono::minutes(f.minutesAgo));
    }
    for (const char* name : {"2001-01-01_000000_seed-1.rec", "2026-06-01_000000_seed-2.rec", "2026-06-05_000000.rec"})
        dir.write(std::string("recordings/") + name + ".picture", "a picture");
    dir.write("recordings/notes.txt", "mine");
    dir.write("recordings/1999-bug.rec", "kept by hand");
    FileLock atTheTitle, playing;
    ASSERT_EQ(lockFile(atTheTitle, folder + "/2026-06-05_000002.rec", LockWait::DontWait), LockResult::Taken);
    ASSERT_EQ(lockFile(playing, folder + "/2000-01-01_000000_seed-9.rec", LockWait::DontWait), LockResult::Taken);
    const auto left = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string text;
        for (const std::string& n : names) text += n + "\n";
        return text;
    };

    // Seven not held open: one over six goes, the empty start played longest ago.
    pruneRecordings(folder, 6);
    EXPECT_FALSE(dir.exists("recordings/2026-06-05_000001.rec"));
    EXPECT_TRUE(dir.exists("recordings/2026-06-05_000000.rec"));
    // Then the other empty start, and only then the game played longest ago,
    // each with its picture.
    pruneRecordings(folder, 4);
    EXPECT_EQ(left(),
              "1999-bug.rec\n"
              "2000-01-01_000000_seed-9.rec\n"
              "2001-01-01_000000_seed-1.rec\n"
              "2001-01-01_000000_seed-1.rec.picture\n"
              "2026-06-02_000000_seed-3.rec\n"
              "2026-06-03_000000_seed-4.rec\n"
              "2026-06-04_000000.rec\n"
              "2026-06-05_000002.rec\n"
              "notes.txt\n");
    // Within the limit nothing goes, not even an empty start.
    const std::string before = left();
    pruneRecordings(folder, 4);
    EXPECT_EQ(left(), before);
    dir.write("recordings/2026-06-06_000000.rec", head);
    pruneRecordings(folder, 5);
    EXPECT_TRUE(dir.exists("recordings/2026-06-06_000000.rec"));
    // Let go, they are files like the others: the empty starts first.
    atTheTitle.release();
    playing.release();
    pruneRecordings(folder, 6);
    EXPECT_FALSE(dir.exists("recordings/2026-06-05_000002.rec"));
    EXPECT_TRUE(dir.exists("recordings/2026-06-06_000000.rec"));
    EXPECT_TRUE(dir.exists("recordings/2000-01-01_000000_seed-9.rec"));
    pruneRecordings(folder, 4);
    EXPECT_FALSE(dir.exists("recordings/2026-06-06_000000.rec"));
    EXPECT_FALSE(dir.exists("recordings/2000-01-01_000000_seed-9.rec"));
    EXPECT_TRUE(dir.exists("recordings/2001-01-01_000000_seed-1.rec"));
    EXPECT_TRUE(dir.exists("recordings/1999-bug.rec"));
    EXPECT_TRUE(dir.exists("recordings/notes.txt"));
}

}  // namespace
}  // namespace delve::test
