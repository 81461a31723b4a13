#include "app/start/command_line.h"

#include <cstdlib>
#include <vector>

#include "platform/numbers.h"

namespace delve {

namespace {

constexpr int kLargestWindowScale = 8;
constexpr size_t kLongestSeed = 40;

// Returns the mistake, or "" when the value was taken.
using SetOption = std::string (*)(CommandLine&, const std::string& value);

struct OptionRow {
    const char* name;
    const char* valueName;  // nullptr: the option takes no value; "[NAME]": it may have one
    const char* help;
    SetOption set;
};

// A seed as delve-replay takes it (a number and nothing after it),
// no longer than the seed prompt lets a player type.
bool plausibleSeed(const std::string& s) { return s.size() <= kLongestSeed && isWholeNumberText(s); }

const std::vector<OptionRow>& optionTable() {
    static const std::vector<OptionRow> table = {
        {"--help", nullptr, "show this help and exit",
         [](CommandLine& o, const std::string&) {
             o.help = true;
             return std::string();
         }},
        {"--version", nullptr, "show the version and the data folder in use, and exit",
         [](CommandLine& o, const std::string&) {
             o.version = true;
             return std::string();
         }},
        {"--data", "DIR", "play from DIR (it holds res/ and tiles/)",
         [](CommandLine& o, const std::string& v) {
             if (v.empty()) return std::string("--data: the folder name is empty");
             o.dataDir = v;
             return std::string();
         }},
        {"--seed", "N", "type the seed N at the title, as a player would",
         [](CommandLine& o, const std::string& v) {
             if (!plausibleSeed(v)) return "--seed: not a seed (a number of up to 40 characters): " + v;
             o.seed = v;
             return std::string();
         }},
        {"--fullscreen", nullptr, "start in full screen (Alt+Enter toggles it)",
         [](CommandLine& o, const std::string&) {
             o.fullscreen = true;
             return std::string();
         }},
        {"--window-scale", "N", "open the window at N times 960x720 (1 to 8) where the screen has room",
         [](CommandLine& o, const std::string& v) {
             const bool digits = !v.empty() && v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
             const int n = digits ? std::atoi(v.c_str()) : 0;
             if (n < 1 || n > kLargestWindowScale) return "--window-scale: not a whole number from 1 to 8: " + v;
             o.windowScale = n;
             return std::string();
         }},
        {"--play", "FILE|LINK", "watch the recording FILE, or a shared game's LINK (keys below)",
         [](CommandLine& o, const std::string& v) {
             if (v.empty()) return std::string("--play: the file name is empty");
             o.playPath = v;
             return std::string();
         }},
        {"--continue", "[FILE]", "play on the last game (or the recording FILE) where it was left",
         [](CommandLine& o, const std::string& v) {
             o.continueGame = true;
             o.continuePath = v;
             return std::string();
         }},
        {"--games", nullptr, "list the kept games, the last played first, and exit",
         [](CommandLine& o, const std::string&) {
             o.listGames = true;
             return std::string();
         }},
        {"--no-record", nullptr, "do not keep a recording of this game",
         [](CommandLine& o, const std::string&) {
             o.record = false;
             return std::string();
         }},
    };
    return table;
}

bool valueOptional(const OptionRow& row) { return row.valueName && row.valueName[0] == '['; }

const OptionRow* findOption(const std::string& name) {
    for (const OptionRow& row : optionTable())
        if (name == row.name) return &row;
    return nullptr;
}

}  // namespace

CommandLineResult parseCommandLine(int argc, const char* const* argv) {
    CommandLineResult result;
    CommandLine options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        // --name=value as well as --name value.
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            inlineValue = true;
        }
        const OptionRow* row = findOption(arg);
        if (!row) {
            result.error = (arg.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + std::string(argv[i]);
            return result;
        }
        if (valueOptional(*row) && !inlineValue) {
            // The next argument is its value unless it is another option.
            if (i + 1 < argc && argv[i + 1][0] != '-') value = argv[++i];
        } else if (row->valueName && !inlineValue) {
            if (i + 1 >= argc) {
                result.error = arg + " needs a value (" + row->valueName + ")";
                return result;
            }
            value = argv[++i];
        } else if (!row->valueName && inlineValue) {
            result.error = arg + " takes no value";
            return result;
        }
        result.error = row->set(options, value);
        if (!result.error.empty()) return result;
    }
    // A recording brings its own keys; a typed seed would be a second game.
    if (!options.playPath.empty() && !options.seed.empty()) {
        result.error = "--seed and --play cannot be used together";
        return result;
    }
    // A continued game brings its own seed and its own recording.
    if (options.continueGame && (!options.seed.empty() || !options.playPath.empty() || !options.record)) {
        result.error = "--continue cannot be used with --seed, --play or --no-record";
        return result;
    }
    result.options = options;
    return result;
}

std::string usageLine() {
    std::string line = "usage: delve";
    for (const OptionRow& row : optionTable()) {
        line += " [";
        line += row.name;
        if (row.valueName) line += std::string(" ") + row.valueName;
        line += "]";
    }
    return line;
}

std::string helpText() {
    std::string text = usageLine() + "\n\nDelve, a turn-based dungeon game for one player at the keyboard.\n\n";
    for (const OptionRow& row : optionTable()) {
        std::string left = std::string("  ") + row.name + (row.valueName ? std::string(" ") + row.valueName : "");
        if (left.size() < 22) left.resize(22, ' ');
        else left += "  ";
        text += left + row.help + "\n";
    }
    text +=
        "\nWatching (--play): Space pause/play, + - speed (x1/4 to x64), Escape stop;\n"
        "while paused . or Right one turn on, Left one turn back, p play on from here (a new kept game).\n"
        "PageUp/PageDown the start of this (or the previous) / the next level, Home/End the first / last turn;\n"
        "type a turn's number, then Enter, to go there (Backspace corrects, Escape drops it);\n"
        "click or drag on the timeline under the picture to go anywhere.\n"
        "\nThe data folder is DIR from --data, else the program's own folder when it holds res/,\n"
        "else $XDG_DATA_HOME/delve (~/.local/share/delve), filled from the installed data on first run.\n";
    return text;
}

}  // namespace delve
