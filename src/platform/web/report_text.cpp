#include "platform/web/report_text.h"

namespace delve {

namespace {

bool endsSentence(char c) { return c == '.' || c == '!' || c == '?' || c == ':'; }

// Appends one bracketed part, trimmed and with its inner runs of blanks made
// one space, as a sentence of its own.
void addSentence(std::string& out, const std::string& part) {
    std::string sentence;
    for (char c : part) {
        if (c == ' ') {
            if (!sentence.empty() && sentence.back() != ' ') sentence += ' ';
        } else {
            sentence += c;
        }
    }
    while (!sentence.empty() && sentence.back() == ' ') sentence.pop_back();
    if (sentence.empty()) return;
    if (!endsSentence(sentence.back())) sentence += '.';
    if (!out.empty()) out += ' ';
    out += sentence;
}

}  // namespace

std::string speakableReport(const std::string& report) {
    std::string out, part;
    for (size_t i = 0; i < report.size(); ++i) {
        const char c = report[i];
        if (c == '{' && report.compare(i, 2, "{{") == 0) {
            const size_t end = report.find("}}", i + 2);
            if (end == std::string::npos) break;  // a cut-off icon: nothing more to say
            i = end + 1;
            part += ' ';
            continue;
        }
        if (c == '[' || c == ']' || c == '{' || c == '}') {
            addSentence(out, part);
            part.clear();
            continue;
        }
        // Control characters are no text; anything else (UTF-8 too) is kept.
        const auto byte = static_cast<unsigned char>(c);
        part += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    addSentence(out, part);
    return out;
}

}  // namespace delve
