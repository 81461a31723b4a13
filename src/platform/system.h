#pragma once
// The few things that differ between POSIX systems and Windows, each a small
// function with one definition per system (system_posix.cpp,
// system_windows.cpp). Everything else is the same code everywhere.
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// Paths, arguments and environment values are UTF-8 everywhere inside the
// program. These functions are where they cross to the system: on Windows
// through the wide ("W") calls, so that a name outside the ANSI code page (a
// Cyrillic user name on a Western machine) arrives whole; elsewhere they are
// the plain POSIX calls, unchanged.
//
// A std::filesystem::path made from a std::string, and path::string(), go
// through the ANSI code page on Windows: make paths with pathOf and read
// them back with textOf.
std::filesystem::path pathOf(const std::string& utf8);
std::string textOf(const std::filesystem::path& path);
// The same with "/" between the parts, as path::generic_string().
std::string genericTextOf(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-8 to the wide text of Windows' "W" calls and back.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
#endif

// fopen, open, stat, remove and rename of a UTF-8 path.
std::FILE* openFile(const std::string& path, const char* mode);
int openDescriptor(const std::string& path, int flags, int permissions = 0);
#ifdef _WIN32
using FileStatus = struct _stat64;
#else
using FileStatus = struct stat;
#endif
bool statusOf(const std::string& path, FileStatus& status);
bool removeFile(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);

// The names in a folder (without "." and ".."); false when it cannot be listed.
bool folderEntries(const std::string& folder, std::vector<std::string>& names);

// An environment variable, as UTF-8; nullopt when unset.
std::optional<std::string> environmentValue(const char* name);

// The program's arguments as UTF-8. On Windows `argv` holds them in the
// ANSI code page, with "?" for what it lacks, so they are read again from
// the wide command line (CommandLineToArgvW, as SDL2main does). Each main
// starts with `ProgramArguments args(argc, argv)` and reads args.argc and
// args.argv from then on.
struct ProgramArguments {
    ProgramArguments(int count, char** given);
    ProgramArguments(const ProgramArguments&) = delete;
    ProgramArguments& operator=(const ProgramArguments&) = delete;
    int argc = 0;
    char** argv = nullptr;

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

// Makes standard output and error show UTF-8 text as written where they
// are a Windows console (written with WriteConsoleW, whatever the console's
// code page); files and pipes get the UTF-8 bytes as they are. Nothing to
// do elsewhere.
void useUtf8Console();

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

// Whether `path` still names the file open as `fd` (not removed, nor
// replaced by another file of that name since it was opened).
bool pathNamesDescriptor(const std::string& path, int fd);

// Replaces `to` with `from` in one step (a rename over an existing file).
bool replaceFileWith(const std::string& from, const std::string& to);

// Gives `from` the name `to` only while no file has it, in one step: a file
// that takes the name in the meantime is never replaced. `from` may be open
// (a recording as it is written).
enum class RenameResult { Renamed, NameTaken, Failed };
RenameResult renameWithoutReplacing(const std::string& from, const std::string& to);

// fstat of an open descriptor, with a 64-bit size on every system.
bool descriptorStatus(int fd, FileStatus& status);

// Pushes what was written to the file onto the disk.
void syncFileToDisk(std::FILE* file);

// Writes straight to the file's descriptor, past the stream's buffer, as
// much of `data` as the system takes; returns how much that was. Fewer
// than `size` bytes means it refused the rest, and errno says why. A
// stream's buffer would drop what it could not write, and the caller could
// not tell how much of it reached the file.
size_t writeToFile(std::FILE* file, const char* data, size_t size);

// A write past the file size limit (`ulimit -f`) fails as one on a full
// disk does, with an error, instead of ending the program. Nothing to do on
// Windows, which has no such limit.
void refuseOversizeWrites();

// A program without a console of its own (the windowed game on Windows)
// writes to the console it was started from, when there is one, so that
// --help and --version show their text there. Nothing to do elsewhere.
void useParentConsole();

}  // namespace delve
