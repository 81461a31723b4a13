// The options of the game program: a table of command lines, each with what
// the parser makes of it, and the real program's exit status and message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "delve_version.h"
#include "shell/command_line.h"
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
        {{"--play"}, "--play needs a value (FILE)"},
        {{"--play", "a.rec", "--seed", "3"}, "--seed and --play cannot be used together"},
        // The first mistake stops the parse, even after good options.
        {{"--fullscreen", "--seed", "x", "--bogus"}, "--seed: not a seed"},
    };
    for (const auto& [args, want] : rows) {
        const CommandLineResult r = parse(args);
        EXPECT_FALSE(r.options.has_value()) << args[0];
        EXPECT_EQ(r.error.rfind(want, 0), 0u) << args[0] << " gave: " << r.error;
    }
}

}  // namespace
}  // namespace delve::test
