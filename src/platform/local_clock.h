#pragma once
// The wall-clock texts shown on the title screen, in local time.
#include <ctime>
#include <string>

namespace delve {

// "hh:mm:ss", hours 0-23.
std::string formatClockTime(const std::tm& t);
// "mm-dd-yyyy".
std::string formatClockDate(const std::tm& t);
// The current local time (zeroed when the system cannot tell it).
std::tm localNow();

}  // namespace delve
