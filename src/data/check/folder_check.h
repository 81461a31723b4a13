#pragma once
// A whole game folder checked the way the game reads it: the three data files,
// stray data files beside them and every tile the game draws. The same checks
// serve delve-check and the page that plays a player's own data.
#include <string>

#include "data/check/report.h"

namespace delve::check {

struct FolderCheck {
    std::string problem;  // why the folder cannot be checked at all ("" when it was)
    int tiles = 0;        // tile files checked
};

// Checks `root` (which must have a res folder) and adds what it finds to `report`.
FolderCheck checkGameFolder(const std::string& root, Report& report);

}  // namespace delve::check
