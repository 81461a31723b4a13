#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/system.h"

namespace delve {

namespace fs = std::filesystem;

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// The path's own text is wide; the wide form of the UTF-8 is exactly it.
fs::path pathOf(const std::string& utf8) { return fs::path(widen(utf8)); }

std::string textOf(const fs::path& path) { return narrow(path.native()); }

std::string genericTextOf(const fs::path& path) { return narrow(path.generic_wstring()); }

std::FILE* openFile(const std::string& path, const char* mode) {
    return ::_wfopen(widen(path).c_str(), widen(mode).c_str());
}

int openDescriptor(const std::string& path, int flags, int permissions) {
    return ::_wopen(widen(path).c_str(), flags, permissions);
}

bool statusOf(const std::string& path, FileStatus& status) { return ::_wstat64(widen(path).c_str(), &status) == 0; }

bool removeFile(const std::string& path) { return ::_wremove(widen(path).c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) {
    return ::_wrename(widen(from).c_str(), widen(to).c_str()) == 0;
}

bool folderEntries(const std::string& folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAW entry;
    const HANDLE h = FindFirstFileW(widen(folder + "\\*").c_str(), &entry);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
        const std::string name = narrow(entry.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(h, &entry));
    FindClose(h);
    return true;
}

std::optional<std::string> environmentValue(const char* name) {
    const wchar_t* v = ::_wgetenv(widen(name).c_str());
    if (!v) return std::nullopt;
    return narrow(v);
}

ProgramArguments::ProgramArguments(int count, char** given) {
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide) {
        for (int i = 0; i < n; ++i) texts_.push_back(narrow(wide[i]));
        LocalFree(wide);
    } else {
        texts_.assign(given, given + count);  // as good as it gets
    }
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
    argc = static_cast<int>(texts_.size());
    argv = pointers_.data();
}

namespace {

UINT consoleCodePageAtStart = 0;

void restoreConsoleCodePage() { SetConsoleOutputCP(consoleCodePageAtStart); }

}  // namespace

void useUtf8Console() {
    // Without a console (0) there is nothing to set: bytes to a file or a
    // pipe are UTF-8 as they are. The console is the one the program was
    // started from, so its own code page comes back when the program ends.
    if (consoleCodePageAtStart != 0) return;
    consoleCodePageAtStart = GetConsoleOutputCP();
    if (consoleCodePageAtStart == 0 || consoleCodePageAtStart == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit(restoreConsoleCodePage);
}

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
    return textOf(fs::path(path).parent_path());
}

std::string playerDataFolder() {
    // Only an absolute APPDATA: a relative one would land the player's data
    // wherever the game happened to be started.
    const std::optional<std::string> appData = environmentValue("APPDATA");
    if (!appData || appData->empty() || !pathOf(*appData).is_absolute()) return "";
    return textOf(pathOf(*appData) / "Delve");
}

std::string installedDataFolder(const std::string& programFolder) {
    return textOf(pathOf(programFolder) / "data");
}

bool canReadFolder(const std::string& path) { return ::_waccess(widen(path).c_str(), 4) == 0; }

std::tm localTimeOf(std::time_t when) {
    std::tm t{};
    if (localtime_s(&t, &when) != 0) t = std::tm{};
    return t;
}

int createNewFile(const std::string& path) {
    // Shared for deletion, so that it can be renamed while it is written.
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
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
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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
