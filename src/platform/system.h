#pragma once
// The few things that differ between POSIX systems and Windows, each a small
// function with one definition per system (system_posix.cpp,
// system_windows.cpp). Everything else is the same code everywhere.
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>

namespace delve {

#ifdef _WIN32
// Windows accepts "/" too, but the paths it is shown are its own kind.
constexpr char kPathSeparator = '\\';
// Files are bytes: no CR/LF translation, ever. Windows has no symbolic
// links a game file could be, and handles are not inherited by default.
constexpr int kOpenBinary = O_BINARY;
constexpr int kOpenNoFollow = 0;
constexpr int kOpenCloseOnExec = 0;
constexpr int kOpenNonBlocking = 0;
#else
constexpr char kPathSeparator = '/';
constexpr int kOpenBinary = 0;
constexpr int kOpenNoFollow = O_NOFOLLOW;
constexpr int kOpenCloseOnExec = O_CLOEXEC;
constexpr int kOpenNonBlocking = O_NONBLOCK;
#endif

// The folder of the running program; empty when it cannot be found.
std::string runningProgramFolder();

// The player's own data folder: $XDG_DATA_HOME/delve or
// ~/.local/share/delve; %APPDATA%\Delve on Windows. Empty when there is no
// home to put it in.
std::string playerDataFolder();

// Where an installation keeps its read-only data, given the program's
// folder: <prefix>/share/delve beside <prefix>/bin, or <install>\data.
std::string installedDataFolder(const std::string& programFolder);

// Whether the folder's entries can be listed and read.
bool canReadFolder(const std::string& path);

// Local time, safe to call from any thread.
std::tm localTimeOf(std::time_t when);

// A new file opened for writing bytes, or -1 (errno EEXIST when the name
// is taken). It can be renamed while open, on Windows as well.
int createNewFile(const std::string& path);

// Replaces `to` with `from` in one step (a rename over an existing file).
bool replaceFileWith(const std::string& from, const std::string& to);

// Pushes what was written to the file onto the disk.
void syncFileToDisk(std::FILE* file);

// A program without a console of its own (the windowed game on Windows)
// writes to the console it was started from, when there is one, so that
// --help and --version show their text there. Nothing to do elsewhere.
void useParentConsole();

}  // namespace delve
