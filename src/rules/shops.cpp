#include "rules/shops.h"

#include "game/key_value_store.h"

namespace delve {

namespace {

bool hasEnding(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

float shopNumber(const std::string& key, const KeyValueStore& store) {
    return toSingle(readLeadingNumber(lookupValue(key, store)));
}

}  // namespace

std::string offerText(const std::string& item, float count) {
    const std::string countText = singleText(count);
    const bool plural = count > 1;
    if (hasEnding(item, "'+")) return item + countText;
    if (hasEnding(item, "+")) {
        // An item text ending in "+" keeps its count behind it, and its plural
        // ending goes before the "+".
        const std::string stem = item.substr(0, item.size() - 1);
        if (plural) return stem + (hasEnding(stem, "x") ? "es+" : "s+") + countText;
        return item + countText;
    }
    if (plural) return countText + item + (hasEnding(item, "x") ? "es" : "s");
    return countText + item;
}

void shopOffer(Game& g) {
    // Any other report of the turn takes precedence over the offer.
    if (!g.messageLine.empty()) return;
    const std::string record = "m0i/" + decimalText(int64_t{1700} + roundHalfEven(g.shopIndex));
    const std::string name = lookupValue(record + "/m0s$", g.shopData);
    const std::string item = lookupValue(record + "/m1s$", g.shopData);
    const float price = shopNumber(record + "/m1i", g.shopData);
    const float count = shopNumber(record + "/m2i", g.shopData);
    g.messageLine = "{" + name + ": " + singleText(price) + "GP for " + offerText(item, count) + "}";
}

}  // namespace delve
