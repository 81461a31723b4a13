// Delve: the game in a real window. The data folder is --data, the program's
// own folder when it holds res/ (a staged build), or the player's folder
// filled from the installed data (see app/start/data_folder.h). Every game is
// recorded under the data folder's recordings/ unless --no-record is given;
// --continue plays on from such a recording, --games lists them.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "delve_version.h"
#include "platform/sdl/sdl_backend.h"
#include "recording/recording_format.h"
#include "app/start/command_line.h"
#include "kept/continue_game.h"
#include "app/start/data_folder.h"
#include "kept/game_list.h"
#include "kept/recorded_run.h"
#include "platform/system.h"
#include "watch/watch_window.h"
#include "app/desktop/watched_source.h"

int main(int argc, char** given) {
    delve::useParentConsole();
    delve::useUtf8Console();
    // A recording that meets a file size limit waits for room as on a full disk.
    delve::refuseOversizeWrites();
    const delve::ProgramArguments args(argc, given);
    argc = args.argc;
    char** argv = args.argv;
    const delve::CommandLineResult parsed = delve::parseCommandLine(argc, argv);
    if (!parsed.options) {
        std::fprintf(stderr, "delve: %s\n%s\n", parsed.error.c_str(),
                     delve::usageLine().c_str());
        return 2;
    }
    const delve::CommandLine& options = *parsed.options;
    if (options.help) {
        std::fputs(delve::helpText().c_str(), stdout);
        return 0;
    }
    const delve::DataFolderPlaces places = delve::dataFolderPlaces(options.dataDir);
    if (options.version) {
        const delve::DataFolderChoice choice = delve::chooseDataFolder(places);
        std::printf("delve %s\n", DELVE_VERSION);
        if (choice.kind == delve::DataFolderKind::PlayerToFill)
            std::printf("data folder: %s (filled from %s when the game starts)\n", choice.path.c_str(),
                        places.installedDir.c_str());
        else if (choice.kind != delve::DataFolderKind::None)
            std::printf("data folder: %s\n", choice.path.c_str());
        else
            std::printf("data folder: none found\n");
        return 0;
    }
    if (options.listGames) {
        const delve::DataFolderChoice choice = delve::chooseDataFolder(places);
        const std::vector<std::string> lines =
            choice.kind == delve::DataFolderKind::None ? std::vector<std::string>() : delve::gameList(choice.path);
        for (const std::string& line : lines) std::printf("%s\n", line.c_str());
        if (lines.empty()) std::fprintf(stderr, "delve: no games kept yet\n");
        return 0;
    }
    // A recording (or a shared link) that cannot be read is refused before
    // a window opens.
    std::optional<delve::WatchedSource> watched;
    if (!options.playPath.empty()) {
        std::string error;
        watched = delve::openWatchedSource(options.playPath, error);
        if (!watched) {
            std::fprintf(stderr, "delve: %s: %s\n", delve::watchedSourceName(options.playPath).c_str(),
                         error.c_str());
            return 2;
        }
    }
    // Before any file is copied: without a display nothing else matters.
    if (const std::string problem = delve::displayProblem(); !problem.empty()) {
        std::fprintf(stderr, "delve: %s\n", problem.c_str());
        return 1;
    }
    std::string note, error;
    const auto dataFolder = delve::openDataFolder(places, note, error);
    if (!dataFolder) {
        std::fprintf(stderr, "delve: %s\n", error.c_str());
        return 1;
    }
    if (!note.empty()) std::fprintf(stderr, "delve: %s\n", note.c_str());
    // The game to continue is found, locked and checked before a window opens.
    delve::ContinueTarget continued;
    if (options.continueGame) {
        if (const int status = delve::openToContinue(*dataFolder, options.continuePath, continued, error)) {
            std::fprintf(stderr, "delve: %s\n", error.c_str());
            return status;
        }
    }

    delve::WindowSettings window;
    window.fullscreen = options.fullscreen;
    window.scale = options.windowScale;
    // The seed typed at the title as a player would: the first key also ends
    // the definition overview and stays queued for the title screen.
    if (!options.seed.empty()) window.typedKeys = "@" + options.seed + "\r";
    std::string problem;
    std::unique_ptr<delve::Backend> backend = delve::createSdlBackend(window, &problem);
    if (!backend) {
        std::fprintf(stderr, "delve: %s\n", problem.c_str());
        return 1;
    }
    const std::optional<std::string> trace = delve::environmentValue("DELVE_TRACE");
    if (watched) {
        delve::WatchWindowOptions watching;
        watching.path = delve::watchedSourceName(options.playPath);
        watching.dataRoot = *dataFolder;
        watching.startTurn = watched->turn;
        watching.startPaused = watched->fromLink;
        watching.tracePath = trace.value_or("");
        return delve::watchInWindow(*backend, std::move(watched->recording), watching);
    }
    if (options.continueGame) return delve::continueGame(*backend, continued, *dataFolder, trace.value_or(""));
    delve::WindowRunOptions run;
    run.dataRoot = *dataFolder;
    run.record = options.record;
    // A trace of every frame, as delve-replay writes it: for the tests that
    // compare a window run with its recording.
    if (trace) run.tracePath = *trace;
    return delve::runWindowGame(*backend, run);
}
