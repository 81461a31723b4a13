// Placeholder until this part is written; replace the whole file.
#include "rules/movement.h"

namespace delve {

void moveParty(Game&) {}

}  // namespace delve
