// Placeholder until this part is written; replace the whole file.
#include "data/panels.h"

namespace delve {

void drawStatPanel(Game&) {}
void drawSpellPanel(Game&) {}
void drawMessagePanel(Game&, const std::string&) {}
KeyValueStore buildEncounterWords(Game&, const std::string&) { return {}; }

}  // namespace delve
