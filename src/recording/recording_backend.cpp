#include "recording/recording_backend.h"

#include <vector>

#include "platform/system.h"
#include "recording/recording_format.h"

namespace delve {

void RecordingBackend::write(const std::string& line) {
    if (failed_ || !out_) return;
    if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::fflush(out_) != 0) {
        failed_ = true;
        // The game itself never shows errors; the terminal may want to know.
        std::fprintf(stderr, "delve: the recording could not be written further\n");
    }
}

void RecordingBackend::pumpKeys(KeyQueue& queue, KeyWait wait) {
    std::vector<std::string> pushed;
    queue.pushed = &pushed;
    try {
        inner_.pumpKeys(queue, wait);
    } catch (const EndRequested&) {
        queue.pushed = nullptr;
        endedWaitingForKeys_ = true;
        throw;
    } catch (...) {
        queue.pushed = nullptr;
        throw;
    }
    queue.pushed = nullptr;
    if (pushed.empty()) return;
    write(keysLine(turn_, pushed));
    // A key is a player's whole move: it should survive a power cut too.
    if (!failed_ && out_) syncFileToDisk(out_);
}

double RecordingBackend::timerSeconds() {
    const double v = inner_.timerSeconds();
    write(timerLine(v));
    return v;
}

std::string RecordingBackend::clockTime() {
    std::string v = inner_.clockTime();
    write(clockTimeLine(v));
    return v;
}

std::string RecordingBackend::clockDate() {
    std::string v = inner_.clockDate();
    write(clockDateLine(v));
    return v;
}

}  // namespace delve
