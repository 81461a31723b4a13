#include "share/link_text.h"

#include <cstdint>
#include <string_view>

namespace delve {

namespace {

// The keys after a key line's turn, blank between keys.
int64_t keyCount(std::string_view keys) {
    int64_t count = 0;
    bool inKey = false;
    for (char c : keys) {
        if (c == ' ') inKey = false;
        else if (!inKey) inKey = true, ++count;
    }
    return count;
}

// The turn of "k TURN KEYS" when it is written as a plain whole number.
bool plainTurn(std::string_view line, int64_t& turn, size_t& keysAt) {
    size_t i = 2;
    turn = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i < 12) turn = turn * 10 + (line[i++] - '0');
    if (i == 2 || i >= line.size() || line[i] != ' ') return false;
    if (line[2] == '0' && i > 3) return false;  // "057": not as the game writes it
    keysAt = i + 1;
    return true;
}

template <class Line>
std::string eachLine(const std::string& text, Line&& line) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        const size_t stop = end == std::string::npos ? text.size() : end;
        line(std::string_view(text).substr(at, stop - at), out);
        if (end == std::string::npos) break;
        out += '\n';
        at = end + 1;
    }
    return out;
}

}  // namespace

std::string toLinkText(const std::string& recordingText) {
    int64_t expected = 0;
    return eachLine(recordingText, [&](std::string_view line, std::string& out) {
        int64_t turn = 0;
        size_t keysAt = 0;
        if (line.size() < 2 || line.substr(0, 2) != "k " || !plainTurn(line, turn, keysAt)) {
            out += line;
            return;
        }
        const std::string_view keys = line.substr(keysAt);
        if (turn == expected) out += "K ";
        else out += line.substr(0, keysAt);
        out += keys;
        expected = turn + keyCount(keys);
    });
}

std::string fromLinkText(const std::string& linkText) {
    int64_t expected = 0;
    return eachLine(linkText, [&](std::string_view line, std::string& out) {
        int64_t turn = 0;
        size_t keysAt = 0;
        if (line.size() >= 2 && line.substr(0, 2) == "K ") {
            const std::string_view keys = line.substr(2);
            out += "k " + std::to_string(expected) + " ";
            out += keys;
            expected += keyCount(keys);
            return;
        }
        out += line;
        if (line.size() >= 2 && line.substr(0, 2) == "k " && plainTurn(line, turn, keysAt))
            expected = turn + keyCount(line.substr(keysAt));
    });
}

}  // namespace delve
