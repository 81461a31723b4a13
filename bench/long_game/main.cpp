// delve-long-game: makes a long recorded game for the continue budget, the
// way the window records one, in seconds rather than minutes: a game of
// TURNS turns of moves, stairs and spells, then "~" and a few turns of a new
// game, closed as with the close button. Its recording and the picture kept
// beside it go to DATA/recordings/; the shown page to PICTURE.
//
// Drawing is skipped until the "~": a new game opens the window afresh, so
// the pages from then on are exactly those of a game drawn throughout, and
// the game record never depends on drawing. The checkpoints written before
// the "~" digest undrawn pages, though: the recording continues through its
// kept picture (which is what it is for) but a drawn replay of it stops at
// turn 50, so it is no recording to replay or to share.
//
// With MORE keys the same game is played again with MORE typed after the
// recorded ones, and its last picture goes to PICTURE2: what a continued
// game must show after typing them.
//
// With --killed the game goes on for a few dozen keys after the "~", keeps
// a picture along the way every few batches from there, and then ends as a
// killed program's does: no picture of its end, no closing line, and half
// a key line. A continue then replays it without drawing up to the last
// picture kept along the way and draws the rest.
//
// With --drawn the game is drawn throughout, as a window draws it: slower to
// make, but a recording every checkpoint of which a drawn replay matches, to
// watch, seek in and share.
//
//   delve-long-game [--killed | --drawn] DATA TURNS SEED PICTURE [MORE PICTURE2]
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>

#include "platform/png/png_writer.h"
#include "recording/data_digest.h"
#include "recording/kept_picture.h"
#include "recording/recording_format.h"
#include "kept/continue_picture.h"
#include "kept/recorded_run.h"
#include "kept/recording_files.h"

namespace {

using namespace delve;

// A steady clock, and the close button once the keys are used up. Drawing
// starts again with the batch that holds the key "~".
class ScriptedWindow final : public Backend {
public:
    explicit ScriptedWindow(std::deque<std::string> keys) : keys_(std::move(keys)) {}
    void drawFromTilde(Screen& screen) { screen_ = &screen; }
    // Pictures along the way from the "~" on, every `every` batches.
    void picturesFromTilde(RecordingBackend& rec, const RecordingFile& file, int every) {
        rec_ = &rec, file_ = &file, every_ = every;
    }
    void windowOpened(int, int) override {}
    void setTitle(const std::string&) override {}
    void present(const Screen&) override {}
    // Keys come eight at a time, as a fast typist's do, so that the file is
    // pushed to the disk once a batch rather than once a key.
    void pumpKeys(KeyQueue& queue, KeyWait) override {
        if (keys_.empty()) throw EndRequested();
        for (int i = 0; i < 8 && !keys_.empty(); ++i) {
            if (keys_.front() == "~" && screen_) screen_->skipDrawing = false;
            if (keys_.front() == "~" && rec_) rec_->keepPictures(keptPicturePath(file_->path), every_);
            pushKey(queue, keys_.front());
            keys_.pop_front();
        }
    }
    double timerSeconds() override { return timer_ += 0.0137; }
    std::string clockTime() override { return "21:04:05"; }
    std::string clockDate() override { return "12-07-2026"; }

private:
    std::deque<std::string> keys_;
    Screen* screen_ = nullptr;
    RecordingBackend* rec_ = nullptr;
    const RecordingFile* file_ = nullptr;
    int every_ = 1;
    double timer_ = 4000.25;
};

std::deque<std::string> gameKeys(int turns, const std::string& seed, bool killed) {
    std::deque<std::string> keys = {"x", "@"};
    for (char c : seed) keys.emplace_back(1, c);
    keys.emplace_back("\r");
    keys.emplace_back(" ");  // past the intro
    // Mostly walking, now and then the stairs, a spell or the next member.
    const std::string moves = "8888666622224444  vh+f";
    uint32_t state = 12345;
    for (int i = 0; i < turns; ++i) {
        state = state * 1103515245u + 12345u;
        keys.emplace_back(1, moves[(state >> 16) % moves.size()]);
    }
    for (const char* k : {"~", " ", "6", "6", "2", "2", "4", "8", "v", "6"}) keys.emplace_back(k);
    for (int i = 0; killed && i < 40; ++i) keys.emplace_back(1, "6622448866"[i % 10]);
    return keys;
}

bool writeShown(const Screen& s, const std::string& path) {
    const auto& page = s.pages[s.visiblePage];
    return !page.empty() && writePng(path, page.data(), s.width, s.height);
}

int fail(const std::string& what) {
    std::fprintf(stderr, "delve-long-game: %s\n", what.c_str());
    return 1;
}

}  // namespace

// A killed program's end: the closing line gone, half a key line written.
bool endAsKilled(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::string text;
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    const std::string closing = "# end closed\n";
    if (text.size() < closing.size() || text.compare(text.size() - closing.size(), closing.size(), closing) != 0)
        return false;
    text.resize(text.size() - closing.size());
    // The next batch, at the turn of the last, cut off after its first key.
    const size_t last = text.rfind("\nk ");
    if (last == std::string::npos) return false;
    text += text.substr(last + 1, text.find(' ', last + 3) - last - 1) + " 6";
    file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

int main(int argc, char** argv) {
    const bool killed = argc > 1 && std::string(argv[1]) == "--killed";
    if (killed) --argc, ++argv;
    const bool drawn = !killed && argc > 1 && std::string(argv[1]) == "--drawn";
    if (drawn) --argc, ++argv;
    if (argc != 5 && argc != 7) {
        std::fprintf(stderr, "usage: delve-long-game [--killed | --drawn] DATA TURNS SEED PICTURE [MORE PICTURE2]\n");
        return 2;
    }
    const std::string data = argv[1];
    const int turns = std::atoi(argv[2]);
    const std::string seed = argv[3];
    const std::deque<std::string> keys = gameKeys(turns, seed, killed);

    // The recorded game, closed after its last key as the close button does.
    RecordingFile file;
    if (!createRecordingFile(data, file)) return fail(data + ": cannot write recordings there");
    ScriptedWindow window(keys);
    RecordingBackend rec(window, file.file);
    rec.write(recordingHeader(programVersion(), dataFolderDigest(data)));
    Platform platform(rec);
    platform.files.root = data;
    platform.keepScreenAtEscape = true;
    platform.screen.skipDrawing = !drawn;
    // Drawing reads a thousand tile files a turn: from memory, the game is
    // the same and is made in seconds rather than minutes.
    if (drawn) platform.files.memo = std::make_shared<Files::Memo>();
    if (!drawn) window.drawFromTilde(platform.screen);
    if (killed) window.picturesFromTilde(rec, file, 4);
    auto game = std::make_unique<Game>(platform);
    runRecorded(*game, rec, &file, nullptr);
    if (!killed) keepPictureForContinuing(file.path, *game, rec);
    closeRecordingFile(file);
    if (killed && !endAsKilled(file.path)) return fail(file.path + ": cannot end it as a killed program would");
    if (!writeShown(platform.screen, argv[4])) return fail(std::string(argv[4]) + ": cannot write the picture");
    std::printf("%s\n", file.path.c_str());
    if (argc == 5) return 0;

    // The same game with more keys after the recorded ones, unrecorded.
    std::deque<std::string> more = keys;
    for (const char* k = argv[5]; *k; ++k) more.emplace_back(1, *k);
    ScriptedWindow again(more);
    RecordingBackend unrecorded(again, nullptr);
    Platform platform2(unrecorded);
    platform2.files.root = data;
    platform2.screen.skipDrawing = true;
    again.drawFromTilde(platform2.screen);
    auto game2 = std::make_unique<Game>(platform2);
    runRecorded(*game2, unrecorded, nullptr, nullptr);
    if (!writeShown(platform2.screen, argv[6])) return fail(std::string(argv[6]) + ": cannot write the picture");
    return 0;
}
