#include "app/desktop/watched_source.h"

#include "share/shared_link.h"

namespace delve {

std::optional<WatchedSource> openWatchedSource(const std::string& given, std::string& problem) {
    WatchedSource source;
    if (looksLikeSharedLink(given)) {
        auto shared = openSharedLink(given, problem);
        if (!shared) return std::nullopt;
        source.recording = std::move(shared->recording);
        source.turn = shared->turn;
        source.fromLink = true;
        return source;
    }
    auto recording = loadRecording(given, problem);
    if (!recording) return std::nullopt;
    source.recording = std::move(*recording);
    return source;
}

std::string watchedSourceName(const std::string& given) { return looksLikeSharedLink(given) ? "the link" : given; }

}  // namespace delve
