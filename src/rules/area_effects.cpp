// Placeholder until this part is written; replace the whole file.
#include "rules/area_effects.h"

namespace delve {

void viewDraw(Game&) {}
void areaReveal(Game&) {}
void tinkerEffect(Game&) {}
void passageEffect(Game&) {}
void healEffect(Game&) {}
void bombBlast(Game&) {}

}  // namespace delve
