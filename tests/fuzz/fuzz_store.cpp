// Any bytes as a data file: parsing, the lookups the game makes with keys
// taken from the file itself, display names, and writing the store back out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "game/key_value_store.h"

namespace {

bool hasUpper(const std::string& s) {
    for (char c : s)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    std::string text(reinterpret_cast<const char*>(data), size);
    KeyValueStore store;
    parseStoreText(text, store);
    if (!text.empty()) std::abort();

    for (const auto& pair : store.pairs) {
        // The first pair under a key (in any case) answers, in lower case.
        const std::string found = lookupValue(toUpperAscii(pair.key), store);
        if (hasUpper(found)) std::abort();
        if (lookupValue(pair.key, store) != found) std::abort();
        std::string title = pair.value;
        toTitleCase(title);
        if (toLowerAscii(title) != toLowerAscii(pair.value)) std::abort();
        const std::string shown = toDisplayName(found);
        if (shown.size() > found.size()) std::abort();
    }
    // Keys made from parts of the input that are not keys: prefixes of values.
    for (const auto& pair : store.pairs) lookupValue(pair.value.substr(0, pair.value.size() / 2), store);
    // Written back and read again, a store is the same list of pairs: a key
    // never holds "=" and neither part holds a CR LF.
    std::string written = storeText(store);
    KeyValueStore again;
    parseStoreText(written, again);
    if (again.pairs.size() != store.pairs.size()) std::abort();
    for (size_t i = 0; i < store.pairs.size(); ++i)
        if (again.pairs[i].key != store.pairs[i].key || again.pairs[i].value != store.pairs[i].value) std::abort();
    return 0;
}
