#pragma once
#include <string>

#include "game/game_state.h"

namespace delve {

// On a quiet turn (empty message line) the shop of this level shows its offer.
void shopOffer(Game& g);
// The offer's item text with its count and plural ending.
std::string offerText(const std::string& item, float count);

}  // namespace delve
