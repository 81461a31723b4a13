// Any bytes as a recording: the reader either refuses them or gives events
// that the writer writes back to the same events; a short accepted one is
// then played on the game (shipped data, no tiles), where any mismatch must
// end the playback cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/headless/headless_backend.h"
#include "recording/playback_backend.h"
#include "recording/recording_format.h"
#include "kept/playback.h"

namespace {

// Each key line can be a turn and a turn can be a new level: past this many
// the recording is only read, so every input finishes quickly.
constexpr size_t kMaxPlayedKeyLines = 12;

std::string makeFolder() {
    using namespace delve::fuzz;
    const std::string dir = makeTempFolder();
    for (const char* name : {"gamedata.dat", "shops.dat", "stats.dat"})
        writeFile(dir, std::string("res/") + name, readFile(std::string(DELVE_SOURCE_DIR) + "/res/" + name));
    return dir;
}

std::string written(const delve::RecordedEvent& e) {
    using namespace delve;
    switch (e.kind) {
        case RecordedKind::Timer: return timerLine(e.seconds);
        case RecordedKind::ClockTime: return clockTimeLine(e.text);
        case RecordedKind::ClockDate: return clockDateLine(e.text);
        case RecordedKind::Keys: return keysLine(e.turn, e.keys);
        case RecordedKind::Checkpoint: return checkpointLine(e.turn, e.digest);
    }
    return "";
}

bool same(const delve::RecordedEvent& a, const delve::RecordedEvent& b) {
    return a.kind == b.kind && a.text == b.text && a.turn == b.turn && a.keys == b.keys && a.digest == b.digest &&
           (a.seconds == b.seconds || (a.seconds != a.seconds && b.seconds != b.seconds));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    static const std::string folder = makeFolder();
    std::string error;
    auto recording = parseRecording(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!recording) {
        if (error.empty()) std::abort();
        return 0;
    }
    // Written back, the events read again the same.
    std::string copy = recordingHeader(recording->program, recording->dataDigest);
    size_t keyLines = 0, checkpoints = 0;
    RecordingCursor c = openCursor(*recording);
    while (auto e = nextEvent(c)) {
        copy += written(*e);
        keyLines += e->kind == RecordedKind::Keys;
        checkpoints += e->kind == RecordedKind::Checkpoint;
    }
    if (keyLines != recording->keyLines || checkpoints != recording->checkpoints) std::abort();
    auto again = parseRecording(copy, error);
    if (!again || again->program != recording->program || again->dataDigest != recording->dataDigest) std::abort();
    RecordingCursor a = openCursor(*recording), b = openCursor(*again);
    for (;;) {
        auto x = nextEvent(a), y = nextEvent(b);
        if (x.has_value() != y.has_value()) std::abort();
        if (!x) break;
        if (!same(*x, *y)) std::abort();
    }

    if (recording->keyLines > kMaxPlayedKeyLines) return 0;
    HeadlessBackend screen;
    PlaybackBackend pb(screen, *recording);
    Platform platform(pb);
    platform.files.root = folder;
    auto game = std::make_unique<Game>(platform);
    const PlaybackResult result = playRecording(*game, pb, *recording, 0, nullptr);
    if (result.kind == PlaybackResult::Stopped) std::abort();  // nobody watches here
    if (result.kind == PlaybackResult::Mismatch && result.message.empty()) std::abort();
    return 0;
}
