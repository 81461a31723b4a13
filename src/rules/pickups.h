#pragma once
#include "game/game_state.h"

namespace delve {

void pickUpManaPotion(Game& g);
void pickUpGold(Game& g);
void pickUpHealthPotion(Game& g);
void pickUpChest(Game& g);
void pickUpMysticOrb(Game& g);

}  // namespace delve
