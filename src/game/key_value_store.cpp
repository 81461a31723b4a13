#include "game/key_value_store.h"

namespace delve {

namespace {

void addLine(const std::string& text, size_t begin, size_t end, KeyValueStore& store) {
    const size_t eq = text.find('=', begin);
    if (eq == std::string::npos || eq >= end) return;
    store.pairs.push_back({text.substr(begin, eq - begin), text.substr(eq + 1, end - eq - 1)});
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

void parseStoreText(std::string& text, KeyValueStore& store) {
    size_t begin = 0;
    while (true) {
        const size_t crlf = text.find("\r\n", begin);
        if (crlf == std::string::npos) break;
        addLine(text, begin, crlf, store);
        begin = crlf + 2;
    }
    addLine(text, begin, text.size(), store);
    text.clear();
}

void loadStoreFile(Files& files, const std::string& fileName, KeyValueStore& store) {
    auto bytes = readGameFile(files, fileName);
    if (bytes) parseStoreText(*bytes, store);
}

std::string storeText(const KeyValueStore& store) {
    std::string out;
    for (size_t i = 0; i < store.pairs.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += store.pairs[i].key;
        out += '=';
        out += store.pairs[i].value;
    }
    return out;
}

bool saveStoreFile(Files& files, const std::string& fileName, const KeyValueStore& store) {
    return replaceGameFile(files, fileName, storeText(store));
}

std::string lookupValue(const std::string& key, const KeyValueStore& store) {
    for (const auto& pair : store.pairs)
        if (sameIgnoringCase(pair.key, key)) return toLowerAscii(pair.value);
    return kMissingValue;
}

std::string toLowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

std::string toUpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

std::string toTitleCase(std::string& text) {
    text = toLowerAscii(std::move(text));
    for (size_t i = 0; i < text.size(); ++i) {
        if ((i == 0 || text[i - 1] == ' ') && text[i] >= 'a' && text[i] <= 'z')
            text[i] = static_cast<char>(text[i] - 32);
    }
    return text;
}

std::string toDisplayName(std::string text) {
    if (!text.empty() && text.front() == '"' && text.back() == '"') {
        // A lone quote is both first and last: it goes, leaving nothing.
        text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
    }
    return toTitleCase(text);
}

}  // namespace delve
