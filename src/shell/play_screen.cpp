// Placeholder until this part is written; replace the whole file.
#include "shell/play_screen.h"

namespace delve {

void redrawPlayScreen(Game&) {}

}  // namespace delve
