// The options of the game program: a table of command lines, each with what
// the parser makes of it, and the real program's exit status and message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "delve_version.h"
#include "app/start/command_line.h"
#include "support/support.h"

namespace delve::test {
namespace {

CommandLineResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "delve");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, GoodLinesSetTheirOptions) {
    struct Row {
        std::vector<const char*> args;
        CommandLine want;
    };
    auto with = [](auto set) {
        CommandLine o;
        set(o);
        return o;
    };
    const std::vector<Row> rows = {
        {{}, CommandLine{}},
        {{"--help"}, with([](CommandLine& o) { o.help = true; })},
        {{"--version"}, with([](CommandLine& o) { o.version = true; })},
        {{"--data", "/srv/my game"}, with([](CommandLine& o) { o.dataDir = "/srv/my game"; })},
        {{"--data=rel/dir"}, with([](CommandLine& o) { o.dataDir = "rel/dir"; })},
        {{"--seed", "17"}, with([](CommandLine& o) { o.seed = "17"; })},
        // A negative seed is a value, not an option (-1 seeds from the clock).
        {{"--seed", "-1"}, with([](CommandLine& o) { o.seed = "-1"; })},
        {{"--seed=2.5"}, with([](CommandLine& o) { o.seed = "2.5"; })},
        {{"--seed", "1234567890123456789012345678901234567890"},
         with([](CommandLine& o) { o.seed = "1234567890123456789012345678901234567890"; })},
        {{"--fullscreen", "--window-scale", "2"}, with([](CommandLine& o) {
             o.fullscreen = true;
             o.windowScale = 2;
         })},
        {{"--window-scale=8"}, with([](CommandLine& o) { o.windowScale = 8; })},
        // The last of a repeated option counts.
        {{"--seed", "1", "--seed", "2"}, with([](CommandLine& o) { o.seed = "2"; })},
        {{"--play", "game.rec", "--no-record"}, with([](CommandLine& o) {
             o.playPath = "game.rec";
             o.record = false;
         })},
        // --continue takes a file when one follows, and no option for one.
        {{"--continue"}, with([](CommandLine& o) { o.continueGame = true; })},
        {{"--continue", "--fullscreen"}, with([](CommandLine& o) {
             o.continueGame = true;
             o.fullscreen = true;
         })},
        {{"--continue", "old game.rec"}, with([](CommandLine& o) {
             o.continueGame = true;
             o.continuePath = "old game.rec";
         })},
        {{"--continue=a.rec"}, with([](CommandLine& o) {
             o.continueGame = true;
             o.continuePath = "a.rec";
         })},
        {{"--games", "--data", "d"}, with([](CommandLine& o) {
             o.listGames = true;
             o.dataDir = "d";
         })},
    };
    for (const Row& row : rows) {
        const CommandLineResult r = parse(row.args);
        const std::string line = row.args.empty() ? "(none)" : row.args[0];
        ASSERT_TRUE(r.options.has_value()) << line << ": " << r.error;
        EXPECT_EQ(r.options->help, row.want.help) << line;
        EXPECT_EQ(r.options->version, row.want.version) << line;
        EXPECT_EQ(r.options->fullscreen, row.want.fullscreen) << line;
        EXPECT_EQ(r.options->windowScale, row.want.windowScale) << line;
        EXPECT_EQ(r.options->dataDir, row.want.dataDir) << line;
        EXPECT_EQ(r.options->seed, row.want.seed) << line;
        EXPECT_EQ(r.options->playPath, row.want.playPath) << line;
        EXPECT_EQ(r.options->record, row.want.record) << line;
        EXPECT_EQ(r.options->continueGame, row.want.continueGame) << line;
        EXPECT_EQ(r.options->continuePath, row.want.continuePath) << line;
        EXPECT_EQ(r.options->listGames, row.want.listGames) << line;
    }
}

TEST(CommandLine, BadLinesNameTheMistake) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> rows = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"-h"}, "unknown option -h"},
        {{"play"}, "unexpected argument play"},
        {{"--data"}, "--data needs a value (DIR)"},
        {{"--data="}, "--data: the folder name is empty"},
        {{"--seed"}, "--seed needs a value (N)"},
        {{"--seed", "abc"}, "--seed: not a seed"},
        {{"--seed", "1e999"}, "--seed: not a seed"},
        {{"--seed", "12345678901234567890123456789012345678901"}, "--seed: not a seed"},  // more than the prompt takes
        {{"--window-scale", "0"}, "--window-scale: not a whole number from 1 to 8: 0"},
        {{"--window-scale", "9"}, "--window-scale: not a whole number from 1 to 8: 9"},
        {{"--window-scale", "2x"}, "--window-scale: not a whole number from 1 to 8: 2x"},
        {{"--window-scale", "-1"}, "--window-scale: not a whole number from 1 to 8: -1"},
        {{"--fullscreen=yes"}, "--fullscreen takes no value"},
        {{"--play"}, "--play needs a value (FILE|LINK)"},
        {{"--play", "a.rec", "--seed", "3"}, "--seed and --play cannot be used together"},
        {{"--continue", "a.rec", "--seed", "3"}, "--continue cannot be used with --seed"},
        {{"--continue", "--no-record"}, "--continue cannot be used with --seed, --play or --no-record"},
        {{"--games=all"}, "--games takes no value"},
        // The first mistake stops the parse, even after good options.
        {{"--fullscreen", "--seed", "x", "--bogus"}, "--seed: not a seed"},
    };
    for (const auto& [args, want] : rows) {
        const CommandLineResult r = parse(args);
        EXPECT_FALSE(r.options.has_value()) << args[0];
        EXPECT_EQ(r.error.rfind(want, 0), 0u) << args[0] << " gave: " << r.error;
    }
}

#ifdef _WIN32
// Reported as skipped, so that the Windows run says what it leaves out.
TEST(CommandLine, TheProgramExitsWithTheRightStatusAndMessage) {
    GTEST_SKIP() << "runs the program through a POSIX shell with timeout and a FIFO; scripts/windows-e2e runs "
                    "delve.exe's --version, --help, --games and a refused --continue";
}
#else
struct Ran {
    int status = -1;
    std::string out, err;
};

// The real program, with no display: a line that parses would end with
// status 1 at the display check instead of opening a window. `timeout`
// turns a program that hangs on a hostile file into a failure.
Ran runDelve(const std::string& args, const std::string& environment = "env -u DISPLAY -u WAYLAND_DISPLAY") {
    ScratchDir dir;
    const std::string command = environment + " timeout 20 " DELVE_GAME_DIR "/delve " + args + " >" + dir.path() +
                                "/out 2>" + dir.path() + "/err";
    const int raw = std::system(command.c_str());
    Ran r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("out");
    r.err = dir.read("err");
    return r;
}

TEST(CommandLine, TheProgramExitsWithTheRightStatusAndMessage) {
    ScratchDir files;
    files.write("garbage.rec", "delve-recording 1\nprogram 1.0\n\x01\x02 not a recording\n");
    // A pipe nobody writes to: reading it would wait for ever.
    ASSERT_EQ(::mkfifo((files.path() + "/pipe.rec").c_str(), 0600), 0);
    const std::string usage = usageLine() + "\n";
    struct Row {
        std::string args;
        int status;
        std::string out, err;  // prefixes; err exactly when out is empty
    };
    const std::vector<Row> rows = {
        {"--bogus", 2, "", "delve: unknown option --bogus\n" + usage},
        {"--window-scale 9", 2, "", "delve: --window-scale: not a whole number from 1 to 8: 9\n" + usage},
        {"--seed", 2, "", "delve: --seed needs a value (N)\n" + usage},
        // A recording that cannot be read is refused before any display is
        // needed (without one, the display check would give 1).
        {"--play /nonexistent/x.rec", 2, "", "delve: /nonexistent/x.rec: cannot read it\n"},
        {"--play " + files.path() + "/pipe.rec", 2, "", "delve: " + files.path() + "/pipe.rec: not a file\n"},
        {"--play " + files.path(), 2, "", "delve: " + files.path() + ": not a file\n"},
        {"--help", 0, usage, ""},
        {"--version", 0, "delve " DELVE_VERSION "\ndata folder: " DELVE_GAME_DIR "\n", ""},
        {"--seed 5", 1, "", "delve: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n"},
    };
    for (const Row& row : rows) {
        const Ran r = runDelve(row.args);
        EXPECT_EQ(r.status, row.status) << row.args;
        EXPECT_EQ(r.out.rfind(row.out, 0), 0u) << row.args << " printed: " << r.out;
        if (row.out.empty()) EXPECT_EQ(r.err, row.err) << row.args;
        else EXPECT_EQ(r.err, "") << row.args;
    }
    const Ran garbage = runDelve("--play " + files.path() + "/garbage.rec");
    EXPECT_EQ(garbage.status, 2);
    EXPECT_EQ(garbage.out, "");
    EXPECT_EQ(garbage.err.rfind("delve: " + files.path() + "/garbage.rec: ", 0), 0u) << garbage.err;
    // A display that cannot be reached is tried; a missing data folder is
    // found first and named.
    const Ran missing = runDelve("--data /nonexistent/delve", "env -u WAYLAND_DISPLAY DISPLAY=:12345");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "delve: no game data found (a folder holding res/); tried: /nonexistent/delve\n");
}

#endif

}  // namespace
}  // namespace delve::test
