#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

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

bool replaceFileWith(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void syncFileToDisk(std::FILE* file) { ::fdatasync(::fileno(file)); }

void useParentConsole() {}

}  // namespace delve
#endif
