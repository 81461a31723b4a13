#pragma once
// The game definition file checked the way the game reads it at start-up.
#include <cstdint>
#include <string>
#include <vector>

#include "data/check/data_file.h"
#include "data/check/report.h"

namespace delve::check {

// The least the rules need: seven party slots, six stat and six spell slots.
constexpr int32_t kMembersNeeded = 7;
constexpr int32_t kStatsNeeded = 6;
constexpr int32_t kSpellsNeeded = 6;

// What the other checks need to know of the definition.
struct Definition {
    int32_t partyCount = 0, statCount = 0, spellCount = 0;
    std::vector<std::string> memberNames, memberImages;  // members 1..partyCount
    std::vector<std::string> statNames, spellNames;      // display forms
    int32_t cardMin = 0, cardMax = 0, axisMin = 0, axisMax = 0;
    // Names of "party/<n>/name" keys past party/count, by lower-case name:
    // their property keys are unread because of the count, not of a typo.
    std::vector<std::pair<std::string, std::string>> uncountedMembers;  // name, key
};

Definition checkDefinition(DataFile& file, Report& report);

// Explains the definition's pairs that no lookup of the game reaches: a
// misspelt member, stat or spell name, an entry past its count, or a key of
// no meaning to the game.
void reportUnreadDefinitionKeys(const DataFile& file, const Definition& definition, Report& report);

}  // namespace delve::check
