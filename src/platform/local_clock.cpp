#include "platform/local_clock.h"

#include <cstdio>

#include "platform/system.h"

namespace delve {

std::string formatClockTime(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string formatClockDate(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
    return buf;
}

std::tm localNow() {
    return localTimeOf(std::time(nullptr));
}

}  // namespace delve
