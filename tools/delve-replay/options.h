#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace delve {

struct ReplayOptions {
    std::string dir = ".";
    std::string keys;  // one key event per byte
    std::string tracePath;
    std::string screenshotPath;
    double timer = 1000.5;
    std::string recordingPath;  // play this recording instead of keys
    int32_t turn = 0;           // with a recording: stop once its Nth frame is shown
};

// Parses the command line; on a mistake returns nothing and sets `error`.
std::optional<ReplayOptions> parseReplayOptions(int argc, char** argv, std::string& error);
// The --keys escapes: \e Escape, \r Enter, \\ a backslash, \xHH any byte.
std::optional<std::string> unescapeKeys(const std::string& text, std::string& error);

}  // namespace delve
