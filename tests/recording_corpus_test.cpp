// The kept recordings of tests/recordings/: games played in the window, long
// scripted games, games on other data folders, a continued game and games
// with new games begun by "~". Each is replayed as delve-replay replays it,
// checking every checkpoint, the trace of every frame is compared with the
// one it had when it was made, and a few turns are shown as the watcher
// shows them and compared pixel for pixel. A rule, a trace line or a pixel that changes
// fails here; so does a program that no longer plays what earlier versions
// recorded.
//
// The expected values are tests/recordings/corpus.txt. After a deliberate
// change, scripts/make-recordings makes the corpus again (or, to keep the
// recordings and take their new values, DELVE_REMAKE_CORPUS=1 on this test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "kept/playback.h"
#include "recording/data_digest.h"
#include "recording/playback_backend.h"
#include "recording/recording_format.h"
#include "support/recordings.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace delve::test {
namespace {

const std::string kCorpus = DELVE_SOURCE_DIR "/tests/recordings";

// One line of corpus.txt: the recording, the data folder it was made on
// ("shipped", or an overlay under data/), the digest of its whole trace, and
// turns with the digest of the page shown there.
struct Entry {
    std::string name;
    std::string data;
    std::string trace;
    std::vector<std::pair<int32_t, std::string>> turns;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A line that does not read is a failure of its own, never a recording
// quietly left unchecked.
std::vector<Entry> readCorpus() {
    std::vector<Entry> entries;
    std::istringstream lines(readFile(kCorpus + "/corpus.txt"));
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        Entry e;
        words >> e.name >> e.data >> e.trace;
        for (std::string word; words >> word;) {
            const size_t equals = word.find('=');
            const int32_t turn = equals == std::string::npos ? 0 : std::atoi(word.substr(0, equals).c_str());
            EXPECT_GT(turn, 0) << "corpus.txt line " << number << ": " << word << " is not TURN=DIGEST";
            if (turn > 0) e.turns.emplace_back(turn, word.substr(equals + 1));
        }
        EXPECT_FALSE(e.trace.empty()) << "corpus.txt line " << number << ": " << line;
        if (!e.trace.empty()) entries.push_back(e);
    }
    return entries;
}

TEST(RecordingCorpus, EveryKeptRecordingIsListedOnce) {
    std::map<std::string, int> listed;
    for (const Entry& e : readCorpus()) ++listed[e.name];
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(kCorpus))
        if (entry.path().extension() == ".rec") kept.push_back(entry.path().filename().string());
    EXPECT_GE(kept.size(), 6u) << "the corpus has lost recordings";
    for (const std::string& name : kept) EXPECT_EQ(listed[name], 1) << name << " in corpus.txt";
    for (const auto& [name, times] : listed) EXPECT_TRUE(fs::exists(kCorpus + "/" + name)) << name << " is listed";
}

#ifdef _WIN32
TEST(RecordingCorpus, EveryRecordingPlaysAsItDidWhenMade) {
    GTEST_SKIP() << "runs delve-replay through a POSIX shell; the native run replays the corpus";
}
TEST(RecordingCorpus, ARecordingPlayedOnOtherDataStopsAndSaysSo) {
    GTEST_SKIP() << "runs delve-replay through a POSIX shell";
}
#else
std::string hex(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

uint64_t fnv(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

void writeCorpus(const std::vector<Entry>& entries) {
    std::ostringstream out;
    out << "# The kept recordings and what replaying them gives (recording_corpus_test).\n"
           "# NAME DATA TRACE-DIGEST TURN=PAGE-DIGEST...; DATA is \"shipped\" or a folder of data/.\n";
    for (const Entry& e : entries) {
        out << e.name << ' ' << e.data << ' ' << e.trace;
        for (const auto& [turn, digest] : e.turns) out << ' ' << turn << '=' << digest;
        out << '\n';
    }
    std::ofstream(kCorpus + "/corpus.txt", std::ios::binary) << out.str();
}

// The data folder a recording was made on: the shipped one, or a copy of it
// with an overlay's files put over it. (A file is never taken away: the game
// creates a missing data file empty, which changes the folder's digest
// after the first play; an overlay holds the empty file instead.)
std::string dataFolder(const Entry& e, std::unique_ptr<ScratchDir>& scratch) {
    if (e.data == "shipped") return stagedGameDir();
    const fs::path overlay = fs::path(kCorpus) / "data" / e.data;
    EXPECT_TRUE(fs::is_directory(overlay)) << e.name << ": no data folder " << overlay;
    scratch = std::make_unique<ScratchDir>();
    copyStaged(*scratch);
    for (const char* part : {"res", "tiles"}) {
        if (fs::exists(overlay / part))
            fs::copy(overlay / part, fs::path(scratch->path()) / part,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    return scratch->path();
}

struct ReplayRun {
    int status = -1;
    std::string said;  // stderr
};

// delve-replay itself, as a player checking a recording would run it.
ReplayRun replayTool(const std::string& data, const std::string& recording, int32_t turn) {
    ScratchDir out;
    const std::string command = "\"" DELVE_TOOL_DIR "/delve-replay\" --dir \"" + data + "\" --recording \"" +
                                recording + "\"" + (turn > 0 ? " --turn " + std::to_string(turn) : "") + " 2>\"" +
                                out.path() + "/said\"";
    const int raw = std::system(command.c_str());
    ReplayRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.said = out.exists("said") ? out.read("said") : "";
    return run;
}

struct Replayed {
    PlaybackResult result;
    std::string trace;
    uint64_t page = 0;  // the page shown where it stopped
};

// The recording played as delve-replay plays it, to its end or up to
// `turn` (as --turn and the watcher show it). Tile files are read once:
// the same game, without a thousand file reads a turn.
Replayed replay(const std::string& data, const std::string& recordingPath, int32_t turn = 0) {
    std::string error;
    auto recording = loadRecording(recordingPath, error);
    EXPECT_TRUE(recording) << recordingPath << ": " << error;
    if (!recording) return {};
    BatchBackend window({});
    PlaybackBackend pb(window, *recording);
    Platform platform(pb);
    platform.files.root = data;
    platform.files.memo = std::make_shared<Files::Memo>();
    auto game = std::make_unique<Game>(platform);
    std::ostringstream trace;
    Replayed r;
    r.result = playRecording(*game, pb, *recording, dataFolderDigest(data), turn ? nullptr : &trace, turn);
    r.trace = trace.str();
    r.page = pageHash(platform.screen, platform.screen.visiblePage);
    return r;
}

TEST(RecordingCorpus, EveryRecordingPlaysAsItDidWhenMade) {
    const bool remake = std::getenv("DELVE_REMAKE_CORPUS") != nullptr;
    std::vector<Entry> entries = readCorpus();
    for (Entry& e : entries) {
        SCOPED_TRACE(e.name);
        std::unique_ptr<ScratchDir> scratch;
        const std::string data = dataFolder(e, scratch);
        const std::string path = kCorpus + "/" + e.name;
        // Every checkpoint matched, to the end, on the data it was made on.
        const Replayed whole = replay(data, path);
        EXPECT_EQ(whole.result.kind, PlaybackResult::Finished) << whole.result.message;
        ASSERT_FALSE(whole.trace.empty());
        const std::string trace = hex(fnv(whole.trace));
        if (remake) e.trace = trace;
        EXPECT_EQ(trace, e.trace) << "the trace of some frame changed";
        for (auto& [turn, digest] : e.turns) {
            const Replayed seek = replay(data, path, turn);
            EXPECT_EQ(seek.result.kind, PlaybackResult::Stopped) << "turn " << turn << ": " << seek.result.message;
            if (remake) digest = hex(seek.page);
            EXPECT_EQ(hex(seek.page), digest) << "the picture at turn " << turn << " changed";
        }
        // And from the command line, as a bug report is checked: its first
        // checkpoints (the whole game is the same code, played above), exit
        // 0 and nothing said about other data files.
        const auto frames = static_cast<int32_t>(std::count(whole.trace.begin(), whole.trace.end(), '\n'));
        const ReplayRun run = replayTool(data, path, std::min(frames, 160));
        EXPECT_EQ(run.status, 0) << run.said;
        EXPECT_EQ(run.said, "");
    }
    if (remake && !HasFailure()) writeCorpus(entries);
}

// The digest in a recording names its data folder: played on another, a
// game that the difference changes stops at a checkpoint, and delve-replay
// says why, with status 3.
TEST(RecordingCorpus, ARecordingPlayedOnOtherDataStopsAndSaysSo) {
    int others = 0;
    for (const Entry& e : readCorpus()) {
        if (e.data == "shipped") continue;
        SCOPED_TRACE(e.name);
        ++others;
        const ReplayRun run = replayTool(stagedGameDir(), kCorpus + "/" + e.name, 0);
        EXPECT_EQ(run.status, 3) << run.said;
        EXPECT_NE(run.said.find("recorded with other data files"), std::string::npos) << run.said;
    }
    EXPECT_GE(others, 2) << "the corpus should hold games of other data folders";
}
#endif

}  // namespace
}  // namespace delve::test
