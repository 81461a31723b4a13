#include "platform/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace delve {

int32_t saturateInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t roundHalfEven(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return static_cast<int32_t>(std::nearbyint(v));
}

float toSingle(double v) {
    if (std::isnan(v)) return 0.0f;
    const double limit = std::numeric_limits<float>::max();
    if (v > limit) return std::numeric_limits<float>::max();
    if (v < -limit) return -std::numeric_limits<float>::max();
    return static_cast<float>(v);
}

int64_t truncToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

int32_t addSaturated(int32_t a, int64_t b) { return saturateInt32(int64_t{a} + b); }

std::string decimalText(int64_t v) { return std::to_string(v); }

static std::string trimPoint(std::string s) {
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string singleText(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v));
    return trimPoint(buf);
}

std::string doubleText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16g", v);
    return trimPoint(buf);
}

}  // namespace delve

namespace delve {

double readLeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i + 1 < text.size() && text[i] == '&' && (text[i + 1] == 'H' || text[i + 1] == 'h')) {
        double v = 0;
        for (i += 2; i < text.size(); ++i) {
            const char c = text[i];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else break;
            v = v * 16 + d;
        }
        return v;
    }
    // Take the longest prefix that forms sign, digits, point, exponent.
    size_t j = i;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t digits = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++digits;
    if (j < text.size() && text[j] == '.') {
        ++j;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++digits;
    }
    if (digits == 0) return 0;
    if (j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
        size_t k = j + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < text.size() && text[k] >= '0' && text[k] <= '9') {
            while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
            j = k;
        }
    }
    const std::string number = text.substr(i, j - i);
    const double v = std::strtod(number.c_str(), nullptr);
    return std::isfinite(v) ? v : (v > 0 ? 1e308 : -1e308);
}

int32_t readInteger(const std::string& text) { return roundHalfEven(readLeadingNumber(text)); }

bool isWholeNumberText(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    return end && *end == 0 && errno == 0 && std::isfinite(v);
}

}  // namespace delve
