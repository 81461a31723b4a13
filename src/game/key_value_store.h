#pragma once
// Ordered key/value pairs read from data files of key=value lines joined by
// CR LF. Lookups ignore ASCII case, return values in lower case, and give
// "%%" for a missing key; nothing is ever trimmed, sorted or removed.
#include <string>
#include <vector>

#include "platform/files.h"

namespace delve {

struct KeyValuePair {
    std::string key;
    std::string value;
};

struct KeyValueStore {
    std::vector<KeyValuePair> pairs;
};

const std::string kMissingValue = "%%";

// Appends every key=value line of `text` to the store; `text` is left empty.
void parseStoreText(std::string& text, KeyValueStore& store);
// Appends the pairs of a file; a file that cannot be opened changes nothing.
void loadStoreFile(Files& files, const std::string& fileName, KeyValueStore& store);
// Replaces the file with the store's pairs. The old file stays whole when the
// new one cannot be written. Returns whether it was written.
bool saveStoreFile(Files& files, const std::string& fileName, const KeyValueStore& store);
std::string storeText(const KeyValueStore& store);

std::string lookupValue(const std::string& key, const KeyValueStore& store);

std::string toLowerAscii(std::string text);
std::string toUpperAscii(std::string text);
// Lower-cases the text, then upper-cases its first character and every one
// after a blank; rewrites `text` and returns it.
std::string toTitleCase(std::string& text);
// Drops enclosing double quotes, then title-cases.
std::string toDisplayName(std::string text);

}  // namespace delve
