#include "recording/recording_format.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "delve_version.h"
#include "platform/system.h"
#include "recording/key_escapes.h"

namespace delve {

namespace {

constexpr const char* kMagic = "delve-recording ";

// Digits only, no sign, within 32 bits.
std::optional<int32_t> parseTurn(const std::string& s) {
    if (s.empty() || s.size() > 10) return std::nullopt;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(v);
}

std::vector<std::string> splitBlanks(const std::string& s) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t blank = s.find(' ', start);
        parts.push_back(s.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos) return parts;
        start = blank + 1;
    }
}

// One body line (without its LF, CR already removed). Comments give an
// event-less success through `comment`.
std::optional<RecordedEvent> parseEventLine(const std::string& line, bool& comment, std::string& error) {
    comment = false;
    if (!line.empty() && line[0] == '#') {
        comment = true;
        return std::nullopt;
    }
    if (line.size() < 2 || line[1] != ' ') {
        error = "not a recording line";
        return std::nullopt;
    }
    const std::string rest = line.substr(2);
    RecordedEvent e;
    switch (line[0]) {
        case 't': {
            if (rest.empty() || rest[0] == ' ' || rest.size() > 64) {
                error = "a timer reading is not a number";
                return std::nullopt;
            }
            char* end = nullptr;
            const double v = std::strtod(rest.c_str(), &end);
            if (!end || *end != 0 || !std::isfinite(v)) {
                error = "a timer reading is not a number";
                return std::nullopt;
            }
            e.kind = RecordedKind::Timer;
            e.seconds = v;
            return e;
        }
        case 'c':
        case 'd': {
            auto text = unescapeKeyText(rest, error, RawControlBytes::Refused);
            if (!text) return std::nullopt;
            if (text->size() > kRecordingMaxClockText) {
                error = "a clock reading is too long";
                return std::nullopt;
            }
            e.kind = line[0] == 'c' ? RecordedKind::ClockTime : RecordedKind::ClockDate;
            e.text = std::move(*text);
            return e;
        }
        case 'k': {
            const std::vector<std::string> parts = splitBlanks(rest);
            const auto turn = parseTurn(parts[0]);
            if (!turn) {
                error = "a key line without its turn";
                return std::nullopt;
            }
            if (parts.size() < 2) {
                error = "a key line without keys";
                return std::nullopt;
            }
            e.kind = RecordedKind::Keys;
            e.turn = *turn;
            for (size_t i = 1; i < parts.size(); ++i) {
                auto key = unescapeKeyText(parts[i], error, RawControlBytes::Refused);
                if (!key) return std::nullopt;
                if (key->empty() || key->size() > kRecordingMaxKeyBytes) {
                    error = "a key that is empty or too long";
                    return std::nullopt;
                }
                e.keys.push_back(std::move(*key));
            }
            return e;
        }
        case 'p': {
            const std::vector<std::string> parts = splitBlanks(rest);
            const auto turn = parts.size() == 2 ? parseTurn(parts[0]) : std::nullopt;
            bool hex = parts.size() == 2 && parts[1].size() == 16;
            uint64_t digest = 0;
            for (size_t i = 0; hex && i < 16; ++i) {
                const int d = hexDigit(parts[1][i]);
                if (d < 0) hex = false;
                digest = digest * 16 + static_cast<uint64_t>(d < 0 ? 0 : d);
            }
            if (!turn || !hex) {
                error = "a checkpoint is not a turn and 16 hex digits";
                return std::nullopt;
            }
            e.kind = RecordedKind::Checkpoint;
            e.turn = *turn;
            e.digest = digest;
            return e;
        }
        default:
            error = "not a recording line";
            return std::nullopt;
    }
}

// The complete line starting at `pos` (CR before the LF dropped) and where
// the next one starts; nothing at the end or before an unfinished line.
std::optional<std::string> lineAt(const std::string& text, size_t pos, size_t end, size_t& next) {
    if (pos >= end) return std::nullopt;
    const size_t lf = text.find('\n', pos);
    if (lf == std::string::npos || lf >= end) return std::nullopt;
    next = lf + 1;
    size_t stop = lf;
    if (stop > pos && text[stop - 1] == '\r') --stop;
    return text.substr(pos, stop - pos);
}

}  // namespace

const char* programVersion() { return DELVE_VERSION; }

uint64_t fnv1a64(const uint8_t* bytes, size_t size, uint64_t hash) {
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

uint64_t fnv1a64(const std::string& bytes, uint64_t hash) {
    return fnv1a64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), hash);
}

std::string hex16(uint64_t v) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string escapeRecordedKey(const std::string& key) { return escapeKeyText(key); }

std::string recordingHeader(const std::string& program, uint64_t dataDigest) {
    return std::string(kMagic) + std::to_string(kRecordingFormat) + "\nprogram " + escapeKeyText(program) +
           "\ndata " + hex16(dataDigest) +
           "\n# A Delve game as it was played: watch it with delve --play FILE, check it with\n"
           "# delve-replay --recording FILE. The format is described in the README.\n";
}

std::string timerLine(double seconds) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "t %a\n", seconds);
    return buf;
}

std::string clockTimeLine(const std::string& text) { return "c " + escapeKeyText(text) + "\n"; }
std::string clockDateLine(const std::string& text) { return "d " + escapeKeyText(text) + "\n"; }

std::string keysLine(int32_t turn, const std::vector<std::string>& keys) {
    std::string line = "k " + std::to_string(turn < 0 ? 0 : turn);
    for (const auto& key : keys) line += " " + escapeKeyText(key);
    return line + "\n";
}

std::string checkpointLine(int32_t turn, uint64_t digest) {
    return "p " + std::to_string(turn < 0 ? 0 : turn) + " " + hex16(digest) + "\n";
}

std::optional<Recording> parseRecording(std::string text, std::string& error) {
    Recording r;
    const size_t lastLf = text.rfind('\n');
    r.bodyEnd = lastLf == std::string::npos ? 0 : lastLf + 1;
    size_t pos = 0, next = 0;
    auto header = lineAt(text, pos, r.bodyEnd, next);
    if (!header || header->rfind(kMagic, 0) != 0) {
        error = "not a Delve recording";
        return std::nullopt;
    }
    const std::string version = header->substr(std::string(kMagic).size());
    if (version != std::to_string(kRecordingFormat)) {
        error = "recording format " + version.substr(0, 20) + " is not supported (this program reads " +
                std::to_string(kRecordingFormat) + ")";
        return std::nullopt;
    }
    pos = next;
    auto program = lineAt(text, pos, r.bodyEnd, next);
    std::string why;
    std::optional<std::string> programText;
    if (program && program->rfind("program ", 0) == 0) programText = unescapeKeyText(program->substr(8), why);
    if (!programText || programText->size() > 64) {
        error = "line 2: not the program line";
        return std::nullopt;
    }
    r.program = *programText;
    pos = next;
    auto data = lineAt(text, pos, r.bodyEnd, next);
    bool dataOk = data && data->size() == 21 && data->rfind("data ", 0) == 0;
    for (size_t i = 5; dataOk && i < 21; ++i) {
        const int d = hexDigit((*data)[i]);
        if (d < 0) dataOk = false;
        r.dataDigest = r.dataDigest * 16 + static_cast<uint64_t>(d < 0 ? 0 : d);
    }
    if (!dataOk) {
        error = "line 3: not the data digest line";
        return std::nullopt;
    }
    pos = next;
    r.bodyStart = pos;
    size_t lineNumber = 3;
    while (auto line = lineAt(text, pos, r.bodyEnd, next)) {
        ++lineNumber;
        bool comment = false;
        auto event = parseEventLine(*line, comment, why);
        if (!event && !comment) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        }
        if (event && event->kind == RecordedKind::Keys) {
            ++r.keyLines;
            r.lastTurn = event->turn;
        }
        if (event && event->kind == RecordedKind::Checkpoint) ++r.checkpoints;
        pos = next;
    }
    r.text = std::move(text);
    return r;
}

std::optional<Recording> loadRecording(const std::string& path, std::string& error) {
    FileStatus st;
    if (!statusOf(path, st)) {
        error = "cannot read it";
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a file";
        return std::nullopt;
    }
    if (static_cast<uint64_t>(st.st_size) > kRecordingMaxBytes) {
        error = "too large for a recording (over " + std::to_string(kRecordingMaxBytes >> 20) + " MiB)";
        return std::nullopt;
    }
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in) {
        error = "cannot read it";
        return std::nullopt;
    }
    // As much as the file holds, and whatever it grew by while being read,
    // up to one byte past the limit.
    std::string text;
    text.resize(static_cast<size_t>(st.st_size) + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    char buffer[1 << 16];
    while (text.size() <= kRecordingMaxBytes && in) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<size_t>(in.gcount()));
    }
    if (text.size() > kRecordingMaxBytes) {  // it grew while being read
        error = "too large for a recording";
        return std::nullopt;
    }
    return parseRecording(std::move(text), error);
}

RecordingCursor openCursor(const Recording& r) { return RecordingCursor{&r, r.bodyStart}; }

std::optional<RecordedEvent> peekEvent(const RecordingCursor& c) {
    RecordingCursor copy = c;
    return nextEvent(copy);
}

std::optional<RecordedEvent> nextEvent(RecordingCursor& c) {
    if (!c.recording) return std::nullopt;
    size_t next = 0;
    while (auto line = lineAt(c.recording->text, c.position, c.recording->bodyEnd, next)) {
        c.position = next;
        bool comment = false;
        std::string error;
        auto event = parseEventLine(*line, comment, error);
        if (event) return event;
        // A checked recording holds nothing but events and comments.
    }
    return std::nullopt;
}

size_t nextEventStart(const RecordingCursor& c) {
    if (!c.recording) return 0;
    size_t at = c.position, next = 0;
    while (auto line = lineAt(c.recording->text, at, c.recording->bodyEnd, next)) {
        bool comment = false;
        std::string error;
        if (parseEventLine(*line, comment, error)) return at;
        at = next;
    }
    return at;
}

const char* recordedKindName(RecordedKind kind) {
    switch (kind) {
        case RecordedKind::Timer: return "a timer reading";
        case RecordedKind::ClockTime: return "a clock time";
        case RecordedKind::ClockDate: return "a clock date";
        case RecordedKind::Keys: return "keys";
        case RecordedKind::Checkpoint: return "a checkpoint";
    }
    return "?";
}

}  // namespace delve
