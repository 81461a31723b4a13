#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/system.h"

namespace delve {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "";
}

}  // namespace

fs::path pathOf(const std::string& utf8) { return fs::path(utf8); }

std::string textOf(const fs::path& path) { return path.string(); }

std::string genericTextOf(const fs::path& path) { return path.generic_string(); }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int openDescriptor(const std::string& path, int flags, int permissions) {
    return ::open(path.c_str(), flags, permissions);
}

bool statusOf(const std::string& path, FileStatus& status) { return ::stat(path.c_str(), &status) == 0; }

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool folderEntries(const std::string& folder, std::vector<std::string>& names) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return false;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    return true;
}

std::optional<std::string> environmentValue(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}

// argv is already the bytes the program was given.
ProgramArguments::ProgramArguments(int count, char** given) : argc(count), argv(given) {}

void useUtf8Console() {}

std::string runningProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string playerDataFolder() {
    // A relative XDG_DATA_HOME is ignored, as desktops do: it would land
    // the player's data wherever the game happened to be started.
    std::string dataHome = environment("XDG_DATA_HOME");
    if (dataHome.empty() || dataHome[0] != '/') {
        const std::string home = homeFolder();
        dataHome = home.empty() ? std::string() : home + "/.local/share";
    }
    return dataHome.empty() ? std::string() : dataHome + "/delve";
}

std::string installedDataFolder(const std::string& programFolder) {
    return (fs::path(programFolder).parent_path() / "share" / "delve").string();
}

bool canReadFolder(const std::string& path) { return ::access(path.c_str(), R_OK | X_OK) == 0; }

std::tm localTimeOf(std::time_t when) {
    std::tm t{};
    if (!localtime_r(&when, &t)) t = std::tm{};
    return t;
}

int createNewFile(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
}

bool pathNamesDescriptor(const std::string& path, int fd) {
    struct stat open {}, named {};
    if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool replaceFileWith(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

RenameResult renameWithoutReplacing(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return RenameResult::Renamed;
    if (errno == EEXIST) return RenameResult::NameTaken;
    // Only a file system or kernel without the flag goes on to the link.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return RenameResult::Failed;
#endif
    // A link refuses an existing name as well; the old name goes after it.
    if (::link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? RenameResult::NameTaken : RenameResult::Failed;
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());  // one file under two names would be listed twice
        return RenameResult::Failed;
    }
    return RenameResult::Renamed;
}

bool descriptorStatus(int fd, FileStatus& status) { return ::fstat(fd, &status) == 0; }

void syncFileToDisk(std::FILE* file) { ::fdatasync(::fileno(file)); }

size_t writeToFile(std::FILE* file, const char* data, size_t size) {
    const int fd = ::fileno(file);
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            break;
        }
        done += static_cast<size_t>(put);
    }
    return done;
}

void refuseOversizeWrites() { std::signal(SIGXFSZ, SIG_IGN); }

void useParentConsole() {}

}  // namespace delve
#endif
