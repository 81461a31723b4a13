#include "data/check/definition_check.h"

#include <algorithm>

#include "data/game_definition.h"
#include "platform/numbers.h"
#include "render/text_printer.h"

namespace delve::check {

namespace {

// The intro centres a text on column 20 at round-half-even(20 - length / 2);
// from 39 characters on it starts in column 0 and loses its first character.
constexpr size_t kIntroWidth = 38;
// The spell panel shows a member's name from column 44 up to its frame.
constexpr size_t kNameWidth = 16;
// Spell rows 2k + 4 stay inside the spell panel's frame up to this k.
constexpr int32_t kSpellRowsShown = 10;

void add(Report& report, const DataFile& file, int line, const std::string& problem) {
    addFinding(report, file.shownName, line, problem);
}

int32_t readWhole(DataFile& file, const std::string& key, Report& report) {
    return roundHalfEven(requireNumber(file, key, report));
}

void checkTitles(DataFile& file, Report& report) {
    const std::string framed = "{ " + toDisplayName(requireText(file, "gametitle", report)) + " }";
    if (framed.size() > kIntroWidth)
        add(report, file, lineOfKey(file, "gametitle"),
            "the framed title " + quotedText(framed) + " is " + std::to_string(framed.size()) +
                " characters; the intro shows at most " + std::to_string(kIntroWidth) +
                " before its first character falls off the screen");
    const std::string credit = toDisplayName(requireText(file, "copyright", report));
    if (credit.size() > kIntroWidth)
        add(report, file, lineOfKey(file, "copyright"),
            "the credit line " + quotedText(credit) + " is " + std::to_string(credit.size()) +
                " characters; the intro shows at most " + std::to_string(kIntroWidth));
    const int32_t randomizer = readWhole(file, "randomizer", report);
    if (randomizer <= 0 && lineOfKey(file, "randomizer") > 0)
        add(report, file, lineOfKey(file, "randomizer"),
            "randomizer is " + std::to_string(randomizer) +
                "; the start-up seed is then 0 or below every run, so runs repeat their levels");
}

int32_t readBound(DataFile& file, const std::string& key, Report& report) {
    const int32_t raw = readWhole(file, key, report);
    const int32_t bound = clampedBound(raw);
    if (bound != raw)
        add(report, file, lineOfKey(file, key),
            key + " is " + std::to_string(raw) + "; the game holds it to " + std::to_string(bound));
    return bound;
}

void checkRose(DataFile& file, Definition& d, Report& report) {
    d.cardMin = readBound(file, "rose/card/min", report);
    d.cardMax = readBound(file, "rose/card/max", report);
    d.axisMin = readBound(file, "rose/axis/min", report);
    d.axisMax = readBound(file, "rose/axis/max", report);
    if (d.cardMin > 1 || d.cardMax < 4)
        add(report, file, lineOfKey(file, d.cardMin > 1 ? "rose/card/min" : "rose/card/max"),
            "the rose table holds cards " + std::to_string(d.cardMin) + " to " + std::to_string(d.cardMax) +
                ", but monsters step by cards 1 to 4; a card outside the table is no step at all");
    if (d.axisMin > 1 || d.axisMax < 2)
        add(report, file, lineOfKey(file, d.axisMin > 1 ? "rose/axis/min" : "rose/axis/max"),
            "the rose table holds axes " + std::to_string(d.axisMin) + " to " + std::to_string(d.axisMax) +
                ", but every step reads axis 1 (rows) and axis 2 (columns)");
    MissingKeys missing;
    std::vector<std::string> missingNames;
    for (int32_t c = d.cardMin; c <= d.cardMax; ++c) {
        bool moves = false, complete = true;
        for (int32_t a = d.axisMin; a <= d.axisMax; ++a) {
            if (lineOfKey(file, roseEntryKey(c, a)) == 0) complete = false;
            if (roundHalfEven(collectNumber(file, roseEntryKey(c, a), missing, report)) != 0) moves = true;
        }
        const std::string nameKey = "rose/key/" + decimalText(c);
        if (findKey(file, nameKey) < 0) missingNames.push_back(nameKey);
        if (c >= 1 && c <= 4 && complete && !moves)
            add(report, file, lineOfKey(file, roseEntryKey(c, d.axisMin)),
                "rose card " + std::to_string(c) + " is a step of 0 rows and 0 columns; monsters never move that way");
    }
    tellMissing(file, missing, "the rose table", report);
    if (missingNames.size() == 1)
        add(report, file, 0, "missing key " + quotedText(missingNames[0]) + "; the overview shows \"%%\"");
    else if (!missingNames.empty())
        add(report, file, 0,
            "missing " + std::to_string(missingNames.size()) + " rose card names, " + quotedText(missingNames.front()) +
                " to " + quotedText(missingNames.back()) + "; the overview shows \"%%\"");
}

int32_t readCount(DataFile& file, const std::string& key, int32_t needed, const std::string& what,
                  Report& report) {
    const int32_t raw = readWhole(file, key, report);
    const int line = lineOfKey(file, key);
    if (raw > kMaxTableCount)
        add(report, file, line, key + " is " + std::to_string(raw) + "; the game reads it as " +
                                    std::to_string(kMaxTableCount));
    else if (raw < needed && line > 0)
        add(report, file, line, key + " is " + std::to_string(raw) + ", but the rules need at least " +
                                    std::to_string(needed) + " " + what);
    return std::max(0, cappedCount(raw));
}

// Names of numbered entries; a missing one is kept as "%%", as in the game.
// Missing names in a row are told as one range: a count far above the names
// written would otherwise bury every other finding.
std::vector<std::string> readNames(DataFile& file, const std::string& kind, int32_t count, const std::string& what,
                                   Report& report) {
    std::vector<std::string> names;
    int32_t firstMissing = 0;
    auto tellMissing = [&](int32_t last) {
        if (firstMissing == 0) return;
        const std::string first = quotedText(numberedKey(kind, firstMissing, "name"));
        add(report, file, 0,
            firstMissing == last
                ? "missing key " + first + "; the game shows \"%%\""
                : "missing keys " + first + " to " + quotedText(numberedKey(kind, last, "name")) + " (" +
                      std::to_string(last - firstMissing + 1) + " " + what + "s); the game shows \"%%\"");
        firstMissing = 0;
    };
    for (int32_t i = 1; i <= count; ++i) {
        const std::string key = numberedKey(kind, i, "name");
        if (findKey(file, key) < 0) {
            if (firstMissing == 0) firstMissing = i;
        } else {
            tellMissing(i - 1);
        }
        const std::string name = toDisplayName(lookupValue(key, file.store));
        for (size_t j = 0; j < names.size(); ++j)
            if (name == names[j] && name != kMissingValue)
                add(report, file, lineOfKey(file, key),
                    key + " repeats the name " + quotedText(name) + " of " + what + " " + std::to_string(j + 1) +
                        "; the two share every property keyed by that name");
        names.push_back(name);
    }
    tellMissing(count);
    return names;
}

bool named(const std::string& name) { return name != kMissingValue; }

void collectUncountedMembers(const DataFile& file, Definition& d) {
    for (const KeyValuePair& pair : file.store.pairs) {
        const std::string key = toLowerAscii(pair.key);
        if (key.rfind("party/", 0) != 0 || key.size() < 11 || key.compare(key.size() - 5, 5, "/name") != 0) continue;
        const std::string number = key.substr(6, key.size() - 11);
        if (number.empty() || number.find_first_not_of("-0123456789") != std::string::npos) continue;
        const double n = readLeadingNumber(number);
        if (n >= 1 && n <= d.partyCount) continue;
        d.uncountedMembers.push_back({toLowerAscii(toDisplayName(toLowerAscii(pair.value))), pair.key});
    }
}

void checkMembers(DataFile& file, Definition& d, Report& report) {
    collectUncountedMembers(file, d);
    d.memberNames = readNames(file, "party", d.partyCount, "member", report);
    for (size_t i = 0; i < d.memberNames.size(); ++i) {
        const std::string& name = d.memberNames[i];
        if (!named(name)) {
            d.memberImages.push_back("");
            continue;
        }
        if (name.size() > kNameWidth)
            add(report, file, lineOfKey(file, numberedKey("party", static_cast<int64_t>(i) + 1, "name")),
                "the member name " + quotedText(name) + " is " + std::to_string(name.size()) +
                    " characters; the spell panel has room for " + std::to_string(kNameWidth));
        const std::string key = memberKey(name, "image");
        const std::string image = requireText(file, key, report);
        d.memberImages.push_back(image);
        if (lineOfKey(file, key) > 0 && image.size() != 4)
            add(report, file, lineOfKey(file, key),
                "the image " + quotedText(image) +
                    " is not four characters; the panels then draw the placeholder instead of a portrait");
    }
}

void checkStatsAndSpells(DataFile& file, Definition& d, Report& report) {
    d.statNames = readNames(file, "stat", d.statCount, "stat", report);
    d.spellNames = readNames(file, "spell", d.spellCount, "spell", report);
    for (const std::string& spell : d.spellNames)
        if (named(spell)) readWhole(file, "spell/" + spell + "/difficulty", report);
}

void checkMemberValues(DataFile& file, const Definition& d, Report& report) {
    for (const std::string& member : d.memberNames) {
        if (!named(member)) continue;
        MissingKeys missing;
        for (const std::string& spell : d.spellNames) {
            if (!named(spell)) continue;
            collectNumber(file, memberKey(member, "spell/" + spell + "/knw"), missing, report);
            collectNumber(file, memberKey(member, "spell/" + spell + "/exp"), missing, report);
        }
        for (const std::string& stat : d.statNames) {
            if (!named(stat)) continue;
            collectNumber(file, memberKey(member, "stat/" + stat + "/initial"), missing, report);
            collectNumber(file, memberKey(member, "stat/" + stat + "/current"), missing, report);
        }
        tellMissing(file, missing, "the member " + quotedText(member), report);
    }
}

// The first join brings one or two fallen members; with nobody fallen the
// game starts without a join.
void checkFallen(DataFile& file, const Definition& d, Report& report) {
    if (d.statNames.empty() || !named(d.statNames[0])) return;
    const std::string hp = "stat/" + d.statNames[0] + "/";
    bool anyFallen = false;
    const size_t members = std::min<size_t>(d.memberNames.size(), kMembersNeeded);
    for (size_t i = 0; i < members; ++i) {
        const std::string& member = d.memberNames[i];
        if (!named(member)) continue;
        if (readInteger(lookupValue(memberKey(member, hp + "current"), file.store)) <= 0) anyFallen = true;
        const std::string initialKey = memberKey(member, hp + "initial");
        const int32_t initial = readInteger(lookupValue(initialKey, file.store));
        if (initial <= 0 && lineOfKey(file, initialKey) > 0)
            add(report, file, lineOfKey(file, initialKey),
                member + " has an initial " + d.statNames[0] + " of " + std::to_string(initial) +
                    "; every join brings this member back fallen");
    }
    if (!anyFallen && members > 0)
        add(report, file, lineOfKey(file, "party/count"),
            "no member starts fallen (current " + d.statNames[0] +
                " 0 or less), so the first join of a game has nobody to bring");
}

void checkCaption(DataFile& file, const std::string& key, const std::string& shown, int room,
                  const std::string& next, Report& report) {
    const int cells = markupCellCount(shown);
    if (cells > room && lineOfKey(file, key) > 0)
        add(report, file, lineOfKey(file, key),
            "the caption " + quotedText(shown) + " takes " + std::to_string(cells) + " cells; " + std::to_string(room) +
                " fit before " + next);
}

void checkCaptions(DataFile& file, Report& report) {
    std::string spell = requireText(file, "hud/spell", report);
    checkCaption(file, "hud/spell", toTitleCase(spell), 8, "the knowledge caption", report);
    checkCaption(file, "hud/knowledge", toUpperAscii(requireText(file, "hud/knowledge", report)), 7,
                 "the experience caption", report);
    checkCaption(file, "hud/experience", toUpperAscii(requireText(file, "hud/experience", report)), 3,
                 "the panel's frame", report);
}

}  // namespace

Definition checkDefinition(DataFile& file, Report& report) {
    Definition d;
    if (!file.present || file.oneLine) return d;
    checkTitles(file, report);
    checkRose(file, d, report);
    d.partyCount = readCount(file, "party/count", kMembersNeeded, "members", report);
    d.spellCount = readCount(file, "spell/count", kSpellsNeeded, "spells", report);
    d.statCount = readCount(file, "stat/count", kStatsNeeded, "stats", report);
    if (d.spellCount > kSpellRowsShown)
        add(report, file, lineOfKey(file, "spell/count"),
            "spell/count is " + std::to_string(d.spellCount) + "; the spell panel shows " +
                std::to_string(kSpellRowsShown) + " spells before its frame");
    checkMembers(file, d, report);
    checkStatsAndSpells(file, d, report);
    checkMemberValues(file, d, report);
    checkFallen(file, d, report);
    checkCaptions(file, report);
    reportUnreadDefinitionKeys(file, d, report);
    return d;
}

}  // namespace delve::check
