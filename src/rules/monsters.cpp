// Placeholder until this part is written; replace the whole file.
#include "rules/monsters.h"

namespace delve {

void monsterTurn(Game&) {}
void monsterStep(Game&, int, int, int, int) {}

}  // namespace delve
