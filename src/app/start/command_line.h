#pragma once
// The options of the game program. Each option is one row of a table (its
// name, its value's name, its help line and how it sets the options), so the
// parser, the usage line and --help all come from the same place.
#include <optional>
#include <string>

namespace delve {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool fullscreen = false;
    int windowScale = 0;  // 0: the usual window size
    std::string dataDir;  // empty: found as the program starts
    std::string seed;     // empty: the seed comes from the clock
    std::string playPath; // a recording to watch instead of playing
    bool record = true;   // keep a recording of the game
    bool continueGame = false;  // play on from a recording
    std::string continuePath;   // empty: the most recently played one
    bool listGames = false;     // list the kept games and exit
};

struct CommandLineResult {
    std::optional<CommandLine> options;  // nothing on a mistake
    std::string error;                   // the mistake, one line
};

CommandLineResult parseCommandLine(int argc, const char* const* argv);

// "usage: delve [--help] ..." on one line, from the table.
std::string usageLine();
// The usage line and one line per option.
std::string helpText();

}  // namespace delve
