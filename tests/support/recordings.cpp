#include "support/recordings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "recording/data_digest.h"
#include "recording/recording_backend.h"
#include "recording/recording_format.h"
#include "kept/recorded_run.h"

namespace delve::test {

namespace fs = std::filesystem;

void BatchBackend::pumpKeys(KeyQueue& queue, KeyWait wait) {
    // Now and then a poll brings nothing, as a real one does.
    if (wait == KeyWait::Brief && (++polls_ % 3) != 0) return;
    if (batches_.empty()) {
        if (closeAtEnd_) throw EndRequested();
        throw RunEnded();
    }
    for (char c : batches_.front()) pushKey(queue, std::string(1, c));
    batches_.pop_front();
}

Batches joined(Batches a, const Batches& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void copyStaged(const ScratchDir& dir) {
    for (const char* folder : {"res", "tiles"})
        fs::copy(fs::path(stagedGameDir()) / folder, fs::path(dir.path()) / folder, fs::copy_options::recursive);
}

std::string readWhole(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    return text;
}

Recorded record(const std::string& root, std::deque<std::string> batches, const std::string& path, bool closeAtEnd) {
    BatchBackend window(std::move(batches), closeAtEnd);
    std::FILE* out = path.empty() ? std::tmpfile() : std::fopen(path.c_str(), "w+b");
    RecordingBackend rec(window, out);
    rec.write(recordingHeader(programVersion(), dataFolderDigest(root)));
    Platform platform(rec);
    platform.files.root = root;
    auto game = std::make_unique<Game>(platform);
    std::ostringstream trace;
    runRecorded(*game, rec, nullptr, &trace);
    Recorded r{readWhole(out), trace.str(), window.shownHash};
    std::fclose(out);
    return r;
}

Played playInSlices(const std::string& root, const std::string& text, int32_t lastFrame, int32_t frameBudget,
                    int& slices) {
    std::string error;
    auto recording = parseRecording(text, error);
    EXPECT_TRUE(recording) << error;
    if (!recording) return {};
    BatchBackend screen({});
    PlaybackBackend pb(screen, *recording);
    Platform platform(pb);
    platform.files.root = root;
    auto game = std::make_unique<Game>(platform);
    std::ostringstream trace;
    PlaybackSteps steps;
    Played p;
    for (slices = 1;; slices++) {
        auto result = stepRecording(*game, pb, *recording, dataFolderDigest(root), steps, &trace, lastFrame, frameBudget);
        if (result) {
            p.result = *result;
            break;
        }
    }
    p.trace = trace.str();
    p.shownHash = screen.shownHash;
    return p;
}

Played play(const std::string& root, const std::string& text) {
    int slices = 0;
    return playInSlices(root, text, 0, 0, slices);  // no budget: one slice, the whole game
}

}  // namespace delve::test
