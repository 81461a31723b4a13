#ifdef _WIN32
#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/system.h"

namespace delve {

namespace fs = std::filesystem;

std::string runningProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return fs::path(path).parent_path().string();
}

std::string playerDataFolder() {
    // Only an absolute APPDATA: a relative one would land the player's data
    // wherever the game happened to be started.
    const char* appData = std::getenv("APPDATA");
    if (!appData || !*appData || !fs::path(appData).is_absolute()) return "";
    return (fs::path(appData) / "Delve").string();
}

std::string installedDataFolder(const std::string& programFolder) {
    return (fs::path(programFolder) / "data").string();
}

bool canReadFolder(const std::string& path) { return ::_access(path.c_str(), 4) == 0; }

std::tm localTimeOf(std::time_t when) {
    std::tm t{};
    if (localtime_s(&t, &when) != 0) t = std::tm{};
    return t;
}

int createNewFile(const std::string& path) {
    // Shared for deletion, so that it can be renamed while it is written.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

bool replaceFileWith(const std::string& from, const std::string& to) {
    // rename() refuses an existing target on Windows.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void syncFileToDisk(std::FILE* file) { ::_commit(::_fileno(file)); }

void useParentConsole() {
    // Output already going somewhere (a pipe, a file) stays there.
    const auto unset = [](DWORD which) {
        const HANDLE h = GetStdHandle(which);
        return h == nullptr || h == INVALID_HANDLE_VALUE;
    };
    const bool noOut = unset(STD_OUTPUT_HANDLE), noErr = unset(STD_ERROR_HANDLE);
    if (!noOut && !noErr) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (noOut) (void)std::freopen("CONOUT$", "w", stdout);
    if (noErr) (void)std::freopen("CONOUT$", "w", stderr);
}

}  // namespace delve
#endif
