#include "kept/game_list.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string_view>

#include "platform/system.h"
#include "recording/recording_format.h"
#include "kept/recording_files.h"

namespace delve {

namespace fs = std::filesystem;

namespace {

std::string playedAt(const std::string& path) {
    std::error_code ec;
    const auto written = fs::last_write_time(pathOf(path), ec);
    if (ec) return "(date unknown)";
    const auto since = written - fs::file_time_type::clock::now() + std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(since));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
    return buf;
}

// A seed's characters only: the file may hold anything.
std::string seedOnly(const std::string& text) {
    std::string seed;
    for (char c : text)
        if (std::string_view("0123456789.+-e").find(c) != std::string_view::npos) seed += c;
    return seed.empty() ? "?" : seed;
}

// No byte of a file's name or contents may steer the terminal.
std::string printable(std::string line) {
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return line;
}

struct Summary {
    std::string seed = "?";
    int level = 0;
    std::string ended = "cut off";  // killed, a power cut, or never ended
};

// The comments the recorder writes, read line by line; an event after an
// end note means the game was continued, so only a last note counts.
Summary summarize(const Recording& r) {
    Summary s;
    size_t pos = r.bodyStart;
    while (pos < r.bodyEnd) {
        size_t end = r.text.find('\n', pos);
        if (end == std::string::npos || end > r.bodyEnd) end = r.bodyEnd;
        const std::string line = r.text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("# seed ", 0) == 0) s.seed = seedOnly(line.substr(7, 40));
        else if (line.rfind("# level ", 0) == 0) s.level = std::max(s.level, std::atoi(line.c_str() + 8));
        else if (line == "# end quit") s.ended = "quit";
        else if (line == "# end closed") s.ended = "closed";
        else if (!line.empty() && line[0] != '#') s.ended = "cut off";
    }
    return s;
}

}  // namespace

std::string gameListLine(const std::string& path) {
    const std::string name = textOf(pathOf(path).filename());
    std::string error;
    const auto r = loadRecording(path, error);
    if (!r) return printable(playedAt(path) + "  unreadable (" + error + ")  " + name);
    const Summary s = summarize(*r);
    return printable(playedAt(path) + "  seed " + s.seed + "  turn " + std::to_string(r->lastTurn) + "  level " +
           (s.level > 0 ? std::to_string(s.level) : std::string("?")) + "  " + s.ended + "  " + name);
}

std::vector<std::string> gameList(const std::string& dataRoot) {
    std::vector<std::string> lines;
    // A start that never got past the title screen holds no game.
    for (const KeptRecording& r : keptRecordings(textOf(pathOf(dataRoot) / "recordings")))
        if (r.kind != KeptKind::EmptyStart) lines.push_back(gameListLine(r.path));
    return lines;
}

}  // namespace delve
