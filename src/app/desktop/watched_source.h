#pragma once
// What `delve --play` watches: a kept game's file, or a shared link that
// carries a whole game and the turn to show.
#include <cstdint>
#include <optional>
#include <string>

#include "recording/recording_format.h"

namespace delve {

struct WatchedSource {
    Recording recording;
    int32_t turn = 1;       // the turn shown first
    bool fromLink = false;  // a link starts paused at its turn
};

// The file or link read and checked, or nothing with the one-line reason.
std::optional<WatchedSource> openWatchedSource(const std::string& given, std::string& problem);

// How messages name it: a file by its path, a link as "the link" (a link
// is long, and its game means nothing to read).
std::string watchedSourceName(const std::string& given);

}  // namespace delve
