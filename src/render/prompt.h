#pragma once
#include <string>

#include "platform/platform.h"

namespace delve {

// Shows prompt + "? " at the text cursor and echoes the typed line until
// Enter (Backspace removes the last character); then moves the cursor to the
// start of the next row and returns the line's leading number (0 when none).
float promptNumber(Platform& p, const std::string& prompt);

}  // namespace delve
