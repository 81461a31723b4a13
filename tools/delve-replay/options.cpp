#include "options.h"

#include "platform/numbers.h"
#include "platform/system.h"
#include "recording/key_escapes.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace delve {

std::optional<std::string> unescapeKeys(const std::string& text, std::string& error) {
    std::string problem;
    auto keys = unescapeKeyText(text, problem);
    if (!keys) error = "--keys: " + problem;
    return keys;
}

std::optional<ReplayOptions> parseReplayOptions(int argc, char** argv, std::string& error) {
    ReplayOptions o;
    std::string seed;
    bool haveKeys = false;
    bool timerGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--dir" || arg == "--seed" || arg == "--keys" || arg == "--keys-file" || arg == "--trace" ||
            arg == "--screenshot" || arg == "--timer" || arg == "--recording" || arg == "--turn") {
            v = value();
            if (!v) return std::nullopt;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (arg == "--dir") {
            o.dir = *v;
        } else if (arg == "--seed") {
            if (!isWholeNumberText(*v)) {
                error = "--seed: not a number: " + *v;
                return std::nullopt;
            }
            seed = *v;
        } else if (arg == "--keys" || arg == "--keys-file") {
            if (haveKeys) {
                error = "give --keys or --keys-file once";
                return std::nullopt;
            }
            haveKeys = true;
            if (arg == "--keys") {
                auto keys = unescapeKeys(*v, error);
                if (!keys) return std::nullopt;
                o.keys = *keys;
            } else {
                std::ifstream in(pathOf(*v), std::ios::binary);
                if (!in) {
                    error = *v + ": cannot read the key file";
                    return std::nullopt;
                }
                std::ostringstream s;
                s << in.rdbuf();
                o.keys = s.str();
            }
        } else if (arg == "--recording") {
            o.recordingPath = *v;
        } else if (arg == "--turn") {
            const long long turn = isWholeNumberText(*v) && v->size() <= 9 ? std::stoll(*v) : 0;
            if (turn < 1) {
                error = "--turn: not a turn (1 to 999999999): " + *v;
                return std::nullopt;
            }
            o.turn = static_cast<int32_t>(turn);
        } else if (arg == "--trace") {
            o.tracePath = *v;
        } else if (arg == "--screenshot") {
            o.screenshotPath = *v;
        } else if (arg == "--timer") {
            char* end = nullptr;
            timerGiven = true;
            o.timer = std::strtod(v->c_str(), &end);
            if (v->empty() || !end || *end != 0 || !std::isfinite(o.timer)) {
                error = "--timer: not a number: " + *v;
                return std::nullopt;
            }
        }
    }
    if (!o.recordingPath.empty() && (haveKeys || !seed.empty() || timerGiven)) {
        error = "--recording brings its own keys and clock: no --keys, --keys-file, --seed or --timer";
        return std::nullopt;
    }
    if (o.turn > 0 && o.recordingPath.empty()) {
        error = "--turn counts the turns of a recording: give --recording";
        return std::nullopt;
    }
    if (!seed.empty()) o.keys = "@" + seed + "\r" + o.keys;
    return o;
}

}  // namespace delve
