#pragma once
// Every tile file the game draws: map cells and icons, the font, portraits.
#include <string>

#include "data/check/definition_check.h"
#include "data/check/report.h"

namespace delve::check {

// Checks the tiles below `root` without creating anything (the game's own
// loader would create a missing file empty). Returns how many were checked.
int checkTiles(const std::string& root, const Definition& definition, Report& report);

}  // namespace delve::check
