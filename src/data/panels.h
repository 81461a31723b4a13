#pragma once
// The three side panels of the play screen.
#include <string>

#include "game/key_value_store.h"
#include "game/game_state.h"

namespace delve {

// Living members' stats under the headings of res\stats.dat (read each time).
void drawStatPanel(Game& g);
// The active member's portrait, name and spell table.
void drawSpellPanel(Game& g);
// The message, word-wrapped in lower case under "Encounter".
void drawMessagePanel(Game& g, const std::string& text);
// The words of the text as a store; also written to res\encounter.txt.
KeyValueStore buildEncounterWords(Game& g, const std::string& text);

}  // namespace delve
