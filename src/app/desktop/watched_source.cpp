#include "app/desktop/watched_source.h"

// The shared links' reader (share/) is its own part of the program, made
// apart from this one; until it is in, every argument is a file's path.
// Named through a macro so that the include is only seen once the header
// exists (the layer check learns of share/ with it).
#define DELVE_SHARED_LINK_HEADER "share/shared_link.h"
#if __has_include(DELVE_SHARED_LINK_HEADER)
#include DELVE_SHARED_LINK_HEADER
#define DELVE_SHARED_LINKS 1
#endif

namespace delve {

namespace {

bool isLink(const std::string& given) {
#ifdef DELVE_SHARED_LINKS
    return looksLikeSharedLink(given);
#else
    (void)given;
    return false;
#endif
}

}  // namespace

std::optional<WatchedSource> openWatchedSource(const std::string& given, std::string& problem) {
    WatchedSource source;
#ifdef DELVE_SHARED_LINKS
    if (isLink(given)) {
        auto shared = openSharedLink(given, problem);
        if (!shared) return std::nullopt;
        source.recording = std::move(shared->recording);
        source.turn = shared->turn;
        source.fromLink = true;
        return source;
    }
#endif
    auto recording = loadRecording(given, problem);
    if (!recording) return std::nullopt;
    source.recording = std::move(*recording);
    return source;
}

std::string watchedSourceName(const std::string& given) { return isLink(given) ? "the link" : given; }

}  // namespace delve
