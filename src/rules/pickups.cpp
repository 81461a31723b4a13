// Placeholder until this part is written; replace the whole file.
#include "rules/pickups.h"

namespace delve {

void pickUpManaPotion(Game&) {}
void pickUpGold(Game&) {}
void pickUpHealthPotion(Game&) {}
void pickUpChest(Game&) {}
void pickUpMysticOrb(Game&) {}

}  // namespace delve
