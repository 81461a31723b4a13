#include "data/check/data_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/system.h"

namespace delve::check {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Shop item texts carry their own blanks on purpose: the offer joins them to
// the count without adding any.
bool blanksBelongToValue(const std::string& key) {
    const std::string k = toLowerAscii(key);
    return k.size() >= 5 && k.compare(k.size() - 5, 5, "/m1s$") == 0;
}

bool readBytes(const std::string& path, std::string& bytes) {
    FileStatus st;
    if (!statusOf(path, st) || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

// Where the editor's lines start: a line ends at CR LF, and also at a lone
// LF or CR, which an editor shows as a line break but the game does not.
std::vector<size_t> editorLineStarts(const std::string& bytes) {
    std::vector<size_t> starts{0};
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            starts.push_back(i + 2);
            ++i;
        } else if (bytes[i] == '\r' || bytes[i] == '\n') {
            starts.push_back(i + 1);
        }
    }
    return starts;
}

int lineNumberAt(const std::vector<size_t>& starts, size_t offset) {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin());
}

// The offsets where the game's pairs begin, split exactly as the game splits.
std::vector<size_t> pairOffsets(const std::string& bytes) {
    std::vector<size_t> offsets;
    auto take = [&](size_t begin, size_t end) {
        const size_t eq = bytes.find('=', begin);
        if (eq != std::string::npos && eq < end) offsets.push_back(begin);
    };
    size_t begin = 0;
    for (size_t crlf; (crlf = bytes.find("\r\n", begin)) != std::string::npos; begin = crlf + 2) take(begin, crlf);
    take(begin, bytes.size());
    return offsets;
}

void checkLineEnds(DataFile& file, const std::vector<size_t>& starts, Report& report) {
    size_t crlf = 0, lf = 0, cr = 0;
    std::vector<std::pair<int, const char*>> lone;
    for (size_t i = 0; i < file.bytes.size(); ++i) {
        const char c = file.bytes[i];
        if (c == '\r' && i + 1 < file.bytes.size() && file.bytes[i + 1] == '\n') {
            ++crlf;
            ++i;
        } else if (c == '\r' || c == '\n') {
            c == '\r' ? ++cr : ++lf;
            lone.push_back({lineNumberAt(starts, i), c == '\r' ? "CR" : "LF"});
        }
    }
    if (lone.empty()) return;
    if (crlf == 0) {
        file.oneLine = true;
        const std::string kind = cr == 0 ? "LF alone" : lf == 0 ? "CR alone" : "LF or CR alone";
        addFinding(report, file.shownName, 1,
                   "lines end with " + kind + " (" + std::to_string(lf + cr) +
                       " times); the game splits lines only at CR LF, so it reads the whole file as one "
                       "line and finds none of its keys");
        return;
    }
    for (const auto& [line, kind] : lone)
        addFinding(report, file.shownName, line,
                   std::string("line ends with a lone ") + kind +
                       "; the game splits lines only at CR LF and reads this line and the next as one");
}

void checkBlanks(const DataFile& file, Report& report) {
    for (size_t i = 0; i < file.store.pairs.size(); ++i) {
        const KeyValuePair& pair = file.store.pairs[i];
        const bool keyBlank = !pair.key.empty() && (isBlank(pair.key.front()) || isBlank(pair.key.back()));
        const bool valueBlank = !pair.value.empty() && !blanksBelongToValue(pair.key) &&
                                (isBlank(pair.value.front()) || isBlank(pair.value.back()));
        if (keyBlank)
            addFinding(report, file.shownName, file.pairLines[i],
                       "blank around '=': the key is " + quotedText(pair.key) +
                           ", blanks included, and no lookup of the game matches it");
        else if (valueBlank)
            addFinding(report, file.shownName, file.pairLines[i],
                       "blank around '=': the value of " + quotedText(pair.key) + " is " + quotedText(pair.value) +
                           ", blanks included");
    }
}

void indexKeys(DataFile& file, Report& report) {
    for (size_t i = 0; i < file.store.pairs.size(); ++i) {
        const std::string key = toLowerAscii(file.store.pairs[i].key);
        const auto [it, fresh] = file.firstPair.emplace(key, i);
        if (!fresh)
            addFinding(report, file.shownName, file.pairLines[i],
                       "key " + quotedText(file.store.pairs[i].key) + " repeats line " +
                           std::to_string(file.pairLines[it->second]) + "; the game reads only the first");
    }
}

}  // namespace

DataFile readDataFile(const std::string& root, const std::string& gameName, const std::string& shownName,
                      Report& report) {
    DataFile file;
    file.shownName = shownName;
    Files files;
    files.root = root;
    const std::string path = resolveGameFile(files, gameName);
    if (path.empty() || !readBytes(path, file.bytes)) {
        addFinding(report, shownName, 0, "missing; the game would create it empty and read every key as \"%%\" or 0");
        return file;
    }
    file.present = true;
    const std::vector<size_t> starts = editorLineStarts(file.bytes);
    checkLineEnds(file, starts, report);

    std::string text = file.bytes;
    parseStoreText(text, file.store);
    for (size_t offset : pairOffsets(file.bytes)) file.pairLines.push_back(lineNumberAt(starts, offset));
    file.pairLines.resize(file.store.pairs.size(), 0);
    file.pairRead.assign(file.store.pairs.size(), false);
    checkBlanks(file, report);
    indexKeys(file, report);
    return file;
}

int64_t findKey(DataFile& file, const std::string& key) {
    const auto it = file.firstPair.find(toLowerAscii(key));
    if (it == file.firstPair.end()) return -1;
    file.pairRead[it->second] = true;
    return static_cast<int64_t>(it->second);
}

int lineOfKey(const DataFile& file, const std::string& key) {
    const auto it = file.firstPair.find(toLowerAscii(key));
    return it == file.firstPair.end() ? 0 : file.pairLines[it->second];
}

std::string requireText(DataFile& file, const std::string& key, Report& report) {
    if (findKey(file, key) < 0 && file.reportedMissing.insert(toLowerAscii(key)).second)
        addFinding(report, file.shownName, 0, "missing key " + quotedText(key) + "; the game shows \"%%\"");
    return lookupValue(key, file.store);
}

double requireNumber(DataFile& file, const std::string& key, Report& report) {
    MissingKeys missing;
    const double value = collectNumber(file, key, missing, report);
    tellMissing(file, missing, "", report);
    return value;
}

double collectNumber(DataFile& file, const std::string& key, MissingKeys& missing, Report& report) {
    const int64_t index = findKey(file, key);
    const std::string value = lookupValue(key, file.store);
    if (index < 0) {
        if (file.reportedMissing.insert(toLowerAscii(key)).second) missing.keys.push_back(key);
    } else if (!beginsWithNumber(value)) {
        addFinding(report, file.shownName, file.pairLines[static_cast<size_t>(index)],
                   "the value of " + quotedText(key) + " is " + quotedText(value) + ", not a number; the game reads 0");
    }
    return readLeadingNumber(value);
}

void tellMissing(DataFile& file, const MissingKeys& missing, const std::string& whose, Report& report) {
    constexpr size_t kToldOneByOne = 3;
    if (missing.keys.size() <= kToldOneByOne) {
        for (const std::string& key : missing.keys)
            addFinding(report, file.shownName, 0, "missing key " + quotedText(key) + "; the game reads 0");
        return;
    }
    addFinding(report, file.shownName, 0,
               "missing " + std::to_string(missing.keys.size()) + " keys of " + whose + ", " +
                   quotedText(missing.keys.front()) + " to " + quotedText(missing.keys.back()) + "; the game reads 0 for each");
}

std::vector<size_t> unreadPairs(const DataFile& file) {
    std::vector<size_t> unread;
    for (size_t i = 0; i < file.store.pairs.size(); ++i) {
        if (file.pairRead[i]) continue;
        const std::string& key = file.store.pairs[i].key;
        if (file.firstPair.at(toLowerAscii(key)) != i) continue;              // reported as a repeat
        if (!key.empty() && (isBlank(key.front()) || isBlank(key.back()))) continue;  // reported as blanks
        unread.push_back(i);
    }
    return unread;
}

void reportUnread(const DataFile& file, const std::vector<std::pair<size_t, std::string>>& unread, Report& report) {
    std::vector<std::pair<std::string, std::vector<size_t>>> groups;
    for (const auto& entry : unread) {
        // Named, not a structured binding: a lambda may not capture one in every compiler.
        const size_t pair = entry.first;
        const std::string& why = entry.second;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == why; });
        if (group == groups.end()) groups.push_back({why, {pair}});
        else group->second.push_back(pair);
    }
    for (const auto& [why, pairs] : groups) {
        std::string keys = quotedText(file.store.pairs[pairs[0]].key);
        if (pairs.size() > 1) keys += " and " + std::to_string(pairs.size() - 1) + " more keys";
        addFinding(report, file.shownName, file.pairLines[pairs[0]], keys + ": " + why);
    }
}

bool beginsWithNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    auto digitAt = [&](size_t j) { return j < text.size() && text[j] >= '0' && text[j] <= '9'; };
    if (i + 1 < text.size() && text[i] == '&' && (text[i + 1] == 'h' || text[i + 1] == 'H')) {
        const char c = i + 2 < text.size() ? text[i + 2] : 0;
        return digitAt(i + 2) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digitAt(i)) return true;
    return i < text.size() && text[i] == '.' && digitAt(i + 1);
}

}  // namespace delve::check
