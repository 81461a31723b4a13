#include "recording/kept_picture.h"

#include <algorithm>
#include <cstring>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/system.h"

namespace delve {

namespace {

constexpr const char* kPictureMagic = "delve-picture 1\n";
// Far above the window's 960 x 720, far below what would strain memory.
constexpr int64_t kMaxSide = 4096;
constexpr int64_t kMaxPagePixels = int64_t{2} << 20;
// A page's rows, each at most one flag byte and two bytes a pixel.
constexpr uint64_t kMaxFileBytes = kPageCount * (2 * uint64_t{kMaxPagePixels} + kMaxSide) + 4096;

// Rows are kept as runs of one value, or as "the row above again": the
// game draws everything at double size, so most rows repeat the one above.
enum RowKind : uint8_t { kRepeatRow = 0, kRunsRow = 1 };

void encodePageRows(const Page& page, int width, int height, std::string& out) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = page.data() + static_cast<size_t>(y) * width;
        if (y > 0 && std::equal(row, row + width, row - width)) {
            out += static_cast<char>(kRepeatRow);
            continue;
        }
        out += static_cast<char>(kRunsRow);
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && run < 256 && row[x + run] == row[x]) ++run;
            out += static_cast<char>(run - 1);
            out += static_cast<char>(row[x]);
            x += run;
        }
    }
}

// Reads one page's rows from `in` at `at` into a page of width x height;
// false on anything out of shape.
bool decodeRows(const std::string& in, size_t& at, int width, int height, const Page& page) {
    if (page.size() != static_cast<size_t>(width) * height) return false;
    for (int y = 0; y < height; ++y) {
        if (at >= in.size()) return false;
        uint8_t* row = page.data() + static_cast<size_t>(y) * width;
        const auto kind = static_cast<uint8_t>(in[at++]);
        if (kind == kRepeatRow && y > 0) {
            std::copy(row - width, row, row);
            continue;
        }
        if (kind != kRunsRow) return false;
        for (int x = 0; x < width;) {
            if (in.size() - at < 2) return false;
            const int run = static_cast<uint8_t>(in[at]) + 1;
            const auto value = static_cast<uint8_t>(in[at + 1]);
            at += 2;
            if (run > width - x) return false;
            std::fill(row + x, row + x + run, value);
            x += run;
        }
    }
    return true;
}

// A line of blank-separated words up to LF, taken from `in` at `at`.
std::optional<std::vector<std::string>> takeLine(const std::string& in, size_t& at) {
    const size_t lf = in.find('\n', at);
    if (lf == std::string::npos || lf - at > 200) return std::nullopt;
    std::vector<std::string> words;
    for (size_t i = at; i < lf;) {
        const size_t blank = std::min(in.find(' ', i), lf);
        words.push_back(in.substr(i, blank - i));
        i = blank + 1;
    }
    at = lf + 1;
    return words;
}

bool readNumber(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && !text.empty() && out >= low && out <= high;
}

bool hexNumber(const std::string& text, uint64_t& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out, 16);
    return r.ec == std::errc() && r.ptr == end && text.size() == 16;
}

}  // namespace

uint64_t playedTextDigest(const Recording& recording, uint64_t keepBytes, const std::string& extra) {
    const size_t kept = static_cast<size_t>(std::min<uint64_t>(keepBytes, recording.text.size()));
    const uint64_t head = fnv1a64(reinterpret_cast<const uint8_t*>(recording.text.data()), kept);
    return fnv1a64(extra, head);
}

std::string keptPicturePath(const std::string& recordingPath) { return recordingPath + ".picture"; }

std::string encodeKeptPicture(const KeptPicture& picture) {
    return encodeKeptPicture(picture.program, picture.playedBytes, picture.playedDigest, picture.screen);
}

std::string encodeKeptPicture(const std::string& program, uint64_t playedBytes, uint64_t playedDigest,
                              const Screen& s) {
    std::string out = kPictureMagic;
    out.reserve(1 << 19);
    out += "program " + program + "\n";
    out += "played " + std::to_string(playedBytes) + " " + hex16(playedDigest) + "\n";
    out += "screen " + std::to_string(s.width) + " " + std::to_string(s.height) + " " + std::to_string(s.workPage) +
           " " + std::to_string(s.visiblePage) + " " + std::to_string(s.cursorRow) + " " +
           std::to_string(s.cursorColumn) + "\n";
    for (int i = 0; i < kPageCount; ++i) {
        int same = -1;
        for (int j = 0; j < i && same < 0; ++j)
            if (s.pages[j] == s.pages[i]) same = j;
        if (same >= 0) {
            out += "page " + std::to_string(i) + " same " + std::to_string(same) + "\n";
            continue;
        }
        out += "page " + std::to_string(i) + " rows\n";
        encodePageRows(s.pages[i], s.width, s.height, out);
        out += "\n";
    }
    out += "end\n";
    return out;
}

std::optional<KeptPicture> decodeKeptPicture(const std::string& in) {
    if (in.rfind(kPictureMagic, 0) != 0) return std::nullopt;
    size_t at = std::string(kPictureMagic).size();
    KeptPicture p;
    const auto program = takeLine(in, at);
    if (!program || program->size() != 2 || (*program)[0] != "program" || (*program)[1].empty())
        return std::nullopt;
    p.program = (*program)[1];
    const auto played = takeLine(in, at);
    int64_t bytes = 0;
    if (!played || played->size() != 3 || (*played)[0] != "played" ||
        !readNumber((*played)[1], 0, int64_t{kRecordingMaxBytes}, bytes) || !hexNumber((*played)[2], p.playedDigest))
        return std::nullopt;
    p.playedBytes = static_cast<uint64_t>(bytes);
    const auto screen = takeLine(in, at);
    if (!screen || screen->size() != 7 || (*screen)[0] != "screen") return std::nullopt;
    int64_t v[6];
    const int64_t low[6] = {0, 0, 0, 0, INT32_MIN, INT32_MIN};
    const int64_t high[6] = {kMaxSide, kMaxSide, kPageCount - 1, kPageCount - 1, INT32_MAX, INT32_MAX};
    for (int i = 0; i < 6; ++i)
        if (!readNumber((*screen)[i + 1], low[i], high[i], v[i])) return std::nullopt;
    if (v[0] * v[1] > kMaxPagePixels) return std::nullopt;
    Screen& s = p.screen;
    s.width = static_cast<int>(v[0]);
    s.height = static_cast<int>(v[1]);
    s.workPage = static_cast<int>(v[2]);
    s.visiblePage = static_cast<int>(v[3]);
    s.cursorRow = static_cast<int>(v[4]);
    s.cursorColumn = static_cast<int>(v[5]);
    if (!s.pages.reset(static_cast<size_t>(s.width) * s.height)) return std::nullopt;
    for (int i = 0; i < kPageCount; ++i) {
        const auto head = takeLine(in, at);
        if (!head || head->size() < 3 || (*head)[0] != "page" || (*head)[1] != std::to_string(i))
            return std::nullopt;
        int64_t same = 0;
        if (head->size() == 4 && (*head)[2] == "same" && readNumber((*head)[3], 0, i - 1, same)) {
            if (!s.pages[i].empty()) std::memcpy(s.pages[i].data(), s.pages[same].data(), s.pages[i].size());
            continue;
        }
        if (head->size() != 3 || (*head)[2] != "rows") return std::nullopt;
        if (!decodeRows(in, at, s.width, s.height, s.pages[i])) return std::nullopt;
        if (at >= in.size() || in[at++] != '\n') return std::nullopt;
    }
    const auto end = takeLine(in, at);
    if (!end || end->size() != 1 || (*end)[0] != "end" || at != in.size()) return std::nullopt;
    return p;
}

bool writeKeptPicture(const std::string& path, const KeptPicture& picture) {
    return writeKeptPictureBytes(path, encodeKeptPicture(picture));
}

bool writeKeptPictureBytes(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(pathOf(temporary), std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
            out.close();
            removeFile(temporary);
            return false;
        }
    }
    if (replaceFileWith(temporary, path)) return true;
    removeFile(temporary);
    return false;
}

std::optional<KeptPicture> readKeptPicture(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
        if (bytes.size() > kMaxFileBytes) return std::nullopt;
    }
    return decodeKeptPicture(bytes);
}

}  // namespace delve
