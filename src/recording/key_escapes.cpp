#include "recording/key_escapes.h"

#include <cstdio>

namespace delve {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string escapeKeyText(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == 27) {
            out += "\\e";
        } else if (c == 13) {
            out += "\\r";
        } else if (c <= 32 || c >= 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> unescapeKeyText(const std::string& text, std::string& error, RawControlBytes raw) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (raw == RawControlBytes::Refused && (c < 32 || c == 127)) {
            error = "a raw control byte";
            return std::nullopt;
        }
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (i + 1 >= text.size()) {
            error = "a lone backslash at the end";
            return std::nullopt;
        }
        const char e = text[++i];
        if (e == 'e') out += '\x1b';
        else if (e == 'r') out += '\r';
        else if (e == '\\') out += '\\';
        else if (e == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            error = std::string("unknown escape \\") + e;
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace delve
