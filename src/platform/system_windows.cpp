#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <algorithm>
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

// A stream of the C runtime (1 or 2) whose handle is a console is given a
// pipe instead; a thread reads the pipe and writes what comes, decoded from
// UTF-8, with WriteConsoleW. The runtime's own console output would decode
// the bytes with its locale's code page (Latin-1 in the "C" locale: Wine's
// msvcrt and the UCRT both do), and the console's code page would stay the
// player's to set.
struct ConsoleRelay {
    int fd = -1;
    HANDLE console = nullptr;
    HANDLE pipe = nullptr;  // the end the thread reads
    HANDLE thread = nullptr;
};
ConsoleRelay relays[2];
bool relaying = false;

DWORD WINAPI relayToConsole(void* argument) {
    ConsoleRelay& relay = *static_cast<ConsoleRelay*>(argument);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(relay.pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        // Up to the last whole UTF-8 character; the rest waits for its bytes.
        size_t whole = pending.size();
        for (size_t back = 1; back <= 3 && back <= pending.size(); ++back) {
            const unsigned char c = static_cast<unsigned char>(pending[pending.size() - back]);
            if ((c & 0xC0) == 0x80) continue;
            const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > back) whole = pending.size() - back;
            break;
        }
        const std::wstring text = widen(pending.substr(0, whole));
        pending.erase(0, whole);
        DWORD written = 0;
        if (!text.empty()) WriteConsoleW(relay.console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return 0;
}

// Everything written before the end reaches the console: the streams are
// flushed, the pipes closed, and the threads given time to write the rest.
void endConsoleRelays() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (ConsoleRelay& relay : relays) {
        if (!relay.thread) continue;
        ::_close(relay.fd);
        WaitForSingleObject(relay.thread, 2000);
    }
}

bool startConsoleRelay(ConsoleRelay& relay, int fd, DWORD which) {
    DWORD mode = 0;
    const HANDLE console = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return false;
    const int writeFd = ::_open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    if (writeFd < 0) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return false;
    }
    // The console's handle stays open for the thread: _dup2 closes only the
    // runtime's descriptor of it, so it is duplicated first.
    HANDLE kept = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), console, GetCurrentProcess(), &kept, 0, FALSE, DUPLICATE_SAME_ACCESS) ||
        ::_dup2(writeFd, fd) != 0) {
        if (kept) CloseHandle(kept);
        ::_close(writeFd);
        CloseHandle(readEnd);
        return false;
    }
    ::_close(writeFd);
    SetStdHandle(which, reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
    relay.fd = fd;
    relay.console = kept;
    relay.pipe = readEnd;
    relay.thread = CreateThread(nullptr, 0, relayToConsole, &relay, 0, nullptr);
    return relay.thread != nullptr;
}

}  // namespace

void useUtf8Console() {
    // Files and pipes take the UTF-8 bytes as they are.
    if (relaying) return;
    relaying = true;
    std::fflush(stdout);
    std::fflush(stderr);
    const bool out = startConsoleRelay(relays[0], 1, STD_OUTPUT_HANDLE);
    const bool err = startConsoleRelay(relays[1], 2, STD_ERROR_HANDLE);
    if (out || err) std::atexit(endConsoleRelays);
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

bool pathNamesDescriptor(const std::string& path, int fd) {
    BY_HANDLE_FILE_INFORMATION open {}, named {};
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &open)) return false;
    // A file removed while open may keep its name until it is closed, but
    // cannot be opened again: that answers false, as it should.
    const HANDLE n = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (n == INVALID_HANDLE_VALUE) return false;
    const bool got = GetFileInformationByHandle(n, &named) != 0;
    CloseHandle(n);
    return got && open.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           open.nFileIndexHigh == named.nFileIndexHigh && open.nFileIndexLow == named.nFileIndexLow;
}

bool replaceFileWith(const std::string& from, const std::string& to) {
    // rename() refuses an existing target on Windows.
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

RenameResult renameWithoutReplacing(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target is refused. A
    // recording is opened shared for deletion, so it moves while open.
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_WRITE_THROUGH)) return RenameResult::Renamed;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameResult::NameTaken
                                                                        : RenameResult::Failed;
}

bool descriptorStatus(int fd, FileStatus& status) { return ::_fstat64(fd, &status) == 0; }

void syncFileToDisk(std::FILE* file) { ::_commit(::_fileno(file)); }

size_t writeToFile(std::FILE* file, const char* data, size_t size) {
    const int fd = ::_fileno(file);
    size_t done = 0;
    while (done < size) {
        // _write takes an unsigned count; a gigabyte at a time is plenty.
        const unsigned piece = static_cast<unsigned>((std::min<size_t>)(size - done, 1u << 30));
        const int put = ::_write(fd, data + done, piece);
        if (put <= 0) {
            if (put == 0) errno = EIO;
            break;
        }
        done += static_cast<size_t>(put);
    }
    return done;
}

void refuseOversizeWrites() {}

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
