#include <optional>

#include "data/game_definition.h"
#include "data/check/definition_check.h"
#include "platform/numbers.h"

namespace delve::check {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A whole decimal number (with "-") making up all of the text.
std::optional<int64_t> wholeNumber(const std::string& text) {
    size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() - i > 9) return std::nullopt;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return std::nullopt;
    return std::stoll(text);
}

// The longest of the names (compared in lower case) that `text` starts with,
// followed by "/"; empty when none.
std::string leadingName(const std::string& text, const std::vector<std::string>& names) {
    std::string best;
    for (const std::string& name : names) {
        const std::string lower = toLowerAscii(name);
        if (name != kMissingValue && lower.size() > best.size() && startsWith(text, lower + "/")) best = lower;
    }
    return best;
}

std::string firstPart(const std::string& text) { return text.substr(0, text.find('/')); }

std::string neverRead() { return "never read by the game"; }

std::string unknownName(const std::string& name, const std::string& kind) {
    if (wholeNumber(name))
        return "a " + kind + " is numbered only in " + kind + "/<n>/name; its other keys use its name, not " + name;
    return "names the " + kind + " " + quotedText(name) + ", which no " + (kind == "member" ? "party" : kind) +
           "/<n>/name defines";
}

// "<kind>/<n>/name" past the count, or the empty text when the key is not one.
std::string pastCount(const std::string& key, const std::string& kind, int32_t count) {
    if (!startsWith(key, kind + "/")) return "";
    const std::string rest = key.substr(kind.size() + 1);
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || rest.substr(slash) != "/name") return "";
    const auto n = wholeNumber(rest.substr(0, slash));
    if (!n) return "";
    if (*n >= 1 && *n <= count) return neverRead() + " (numbers in keys are written without leading zeros or '+')";
    return kind + "/count is " + std::to_string(count) + ", so the game never reads this name";
}

std::string explainMemberKey(const std::string& rest, const Definition& d) {
    const std::string member = leadingName(rest, d.memberNames);
    if (member.empty()) {
        for (const auto& [name, key] : d.uncountedMembers)
            if (startsWith(rest, name + "/"))
                return "names the member " + quotedText(name) + " of " + quotedText(key) +
                       ", which the game never reads: party/count is " + std::to_string(d.partyCount);
        return unknownName(firstPart(rest), "member");
    }
    const std::string after = rest.substr(member.size() + 1);
    for (const auto& [kind, names, fields] :
         {std::tuple{std::string("stat"), &d.statNames, std::string("initial or current")},
          std::tuple{std::string("spell"), &d.spellNames, std::string("knw or exp")}}) {
        if (!startsWith(after, kind + "/")) continue;
        const std::string tail = after.substr(kind.size() + 1);
        const std::string name = leadingName(tail, *names);
        if (name.empty()) return unknownName(firstPart(tail), kind);
        return neverRead() + " (a member's " + kind + " keys end in " + fields + ")";
    }
    return neverRead();
}

std::string explainRoseKey(const std::string& key, const Definition& d) {
    const std::string bounds = "outside the rose table (cards " + std::to_string(d.cardMin) + " to " +
                               std::to_string(d.cardMax) + ", axes " + std::to_string(d.axisMin) + " to " +
                               std::to_string(d.axisMax) + "), so never read";
    if (startsWith(key, "rose/key/") && wholeNumber(key.substr(9))) return bounds;
    if (startsWith(key, "rose(") && key.back() == ')') {
        const std::string inner = key.substr(5, key.size() - 6);
        const size_t comma = inner.find(',');
        if (comma != std::string::npos && wholeNumber(inner.substr(0, comma)) && wholeNumber(inner.substr(comma + 1)))
            return bounds;
        return neverRead() + " (rose entries are written rose(card,axis), no blanks, no leading zeros)";
    }
    return neverRead();
}

std::string explainUnread(const std::string& key, const Definition& d) {
    for (const auto& [kind, count] :
         {std::pair{std::string("party"), d.partyCount}, std::pair{std::string("stat"), d.statCount},
          std::pair{std::string("spell"), d.spellCount}}) {
        const std::string past = pastCount(key, kind, count);
        if (!past.empty()) return past;
    }
    if (startsWith(key, "party/")) return explainMemberKey(key.substr(6), d);
    if (startsWith(key, "spell/")) {
        const std::string rest = key.substr(6);
        const std::string spell = leadingName(rest, d.spellNames);
        if (spell.empty()) return unknownName(firstPart(rest), "spell");
        return neverRead() + " (a spell's own key is spell/<name>/difficulty)";
    }
    if (startsWith(key, "rose")) return explainRoseKey(key, d);
    return neverRead();
}

}  // namespace

void reportUnreadDefinitionKeys(const DataFile& file, const Definition& definition, Report& report) {
    std::vector<std::pair<size_t, std::string>> unread;
    for (size_t i : unreadPairs(file))
        unread.push_back({i, explainUnread(toLowerAscii(file.store.pairs[i].key), definition)});
    reportUnread(file, unread, report);
}

}  // namespace delve::check
