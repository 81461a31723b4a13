// A kept game played again by the page's studio on other data: the game run
// on the recording with its checkpoint checks, exactly as `delve-replay
// --recording` runs it, so the turn it names and the words it says are the
// tool's. A long game is played a slice of frames per call, so the page can
// let the browser have its turn in between.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "kept/playback.h"
#include "platform/headless/headless_backend.h"
#include "platform/palette.h"
#include "platform/system.h"
#include "recording/data_digest.h"
#include "recording/playback_backend.h"
#include "recording/recording_format.h"

namespace {

// One playback and everything it runs on; its parts refer to each other,
// so it stays where it was made.
struct ReplayJob {
    ReplayJob(delve::Recording r, const std::string& root, int32_t last)
        : recording(std::move(r)), playback(quiet, recording), platform(playback), lastFrame(last) {
        platform.files.root = root;
        digest = delve::dataFolderDigest(root);
        game = std::make_unique<delve::Game>(platform);
    }
    delve::Recording recording;
    delve::HeadlessBackend quiet{""};
    delve::PlaybackBackend playback;
    delve::Platform platform;
    std::unique_ptr<delve::Game> game;
    delve::PlaybackSteps steps;
    uint64_t digest = 0;
    int32_t lastFrame = 0;
    std::optional<delve::PlaybackResult> result;
};

std::map<int, std::unique_ptr<ReplayJob>> replayJobs;
int lastReplayJob = 0;
std::string replayText;  // the latest problem, message or digest, read by the page before the next call

ReplayJob* replayJob(int id) {
    const auto found = replayJobs.find(id);
    return found == replayJobs.end() ? nullptr : found->second.get();
}

}  // namespace

extern "C" {

// Starts playing the recording `bytes` on the data at `root`, stopping once
// `lastFrame` frames were shown (0: to its end). The job's number, or 0 when
// the bytes are no recording (then why, as the tool says it, is the text;
// else the digest of the data it was played on). out: its last turn.
EMSCRIPTEN_KEEPALIVE int delve_web_studio_replay_start(const char* root, const uint8_t* bytes, double size,
                                                       double lastFrame, double* out) {
    std::string error;
    if (size > static_cast<double>(delve::kRecordingMaxBytes)) {
        replayText = "larger than a recording can be";
        return 0;
    }
    std::optional<delve::Recording> recording =
        delve::parseRecording(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)), error);
    if (!recording) {
        replayText = error;
        return 0;
    }
    out[0] = recording->lastTurn;
    replayText = delve::hex16(recording->dataDigest);
    const int id = ++lastReplayJob;
    replayJobs[id] = std::make_unique<ReplayJob>(std::move(*recording), root, static_cast<int32_t>(lastFrame));
    return id;
}

// Plays up to `frames` more frames: 0 while it goes on, else how it ended:
// 1 played to its end and matched, 2 stopped matching (the text then has
// delve-replay's line), 3 stopped at the frame asked for. out: the turn and
// the frames shown so far.
EMSCRIPTEN_KEEPALIVE int delve_web_studio_replay_step(int id, double frames, double* out) {
    ReplayJob* job = replayJob(id);
    if (!job) return -1;
    if (!job->result)
        job->result = delve::stepRecording(*job->game, job->playback, job->recording, job->digest, job->steps,
                                           nullptr, job->lastFrame, static_cast<int32_t>(frames));
    out[0] = job->result ? job->result->turn : job->game->turnCount;
    out[1] = job->steps.frames;
    if (!job->result) return 0;
    replayText = job->result->message;
    switch (job->result->kind) {
        case delve::PlaybackResult::Finished: return 1;
        case delve::PlaybackResult::Mismatch: return 2;
        case delve::PlaybackResult::Stopped: return 3;
    }
    return 1;
}

// What the job's game shows now: palette indices for the page to free, as
// the preview gives them; out: width and height. Null when nothing is shown.
EMSCRIPTEN_KEEPALIVE uint8_t* delve_web_studio_replay_page(int id, double* out) {
    ReplayJob* job = replayJob(id);
    if (!job) return nullptr;
    const delve::Screen& screen = job->platform.screen;
    const auto& page = screen.pages[screen.visiblePage];
    if (page.empty()) return nullptr;
    auto* copy = static_cast<uint8_t*>(std::malloc(page.size()));
    if (!copy) return nullptr;
    std::memcpy(copy, page.data(), page.size());
    out[0] = screen.width;
    out[1] = screen.height;
    return copy;
}

EMSCRIPTEN_KEEPALIVE void delve_web_studio_replay_end(int id) { replayJobs.erase(id); }

// The latest text of a replay call.
EMSCRIPTEN_KEEPALIVE const char* delve_web_studio_replay_text() { return replayText.c_str(); }

// The digest a recording names its data by, of the data at `root`.
EMSCRIPTEN_KEEPALIVE const char* delve_web_studio_digest(const char* root) {
    replayText = delve::hex16(delve::dataFolderDigest(root));
    return replayText.c_str();
}

}  // extern "C"
