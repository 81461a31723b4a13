#pragma once
// Where the game's data lives. In order: the folder given with --data; the
// program's own folder when it holds res/ (a staged build, the unzipped
// Windows game); the player's folder ($XDG_DATA_HOME/delve, %APPDATA%\Delve),
// which the first run fills by copying the installed data
// (<prefix>/share/delve, <install folder>\data) so that the player can change
// it and the game can write its files there. The installed data is only ever
// read.
#include <optional>
#include <string>
#include <vector>

namespace delve {

// Everything the choice depends on, so tests can stage it in a scratch folder.
struct DataFolderPlaces {
    std::string given;        // --data, or empty
    std::string programDir;   // the folder of the running program
    std::string playerDir;    // $XDG_DATA_HOME/delve, %APPDATA%\Delve; empty when no home is known
    std::string installedDir; // <programDir>/../share/delve, <programDir>\data
};

DataFolderPlaces dataFolderPlaces(const std::string& given);

enum class DataFolderKind { Given, Program, Player, PlayerToFill, None };

struct DataFolderChoice {
    DataFolderKind kind = DataFolderKind::None;
    std::string path;                // the folder the game will use
    std::vector<std::string> tried;  // every folder looked at, for the message
};

// Looks without changing anything (for --version as well as start-up).
DataFolderChoice chooseDataFolder(const DataFolderPlaces& places);

// The folder the game runs in, made ready: the player's folder is filled from
// the installed data first when it needs to be (`note` then says so, once).
// Nothing when no usable folder exists; `error` then names what was tried.
std::optional<std::string> openDataFolder(const DataFolderPlaces& places, std::string& note, std::string& error);

}  // namespace delve
