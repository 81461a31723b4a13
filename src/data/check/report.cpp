#include "data/check/report.h"

#include <algorithm>
#include <cstdio>

namespace delve::check {

void addFinding(Report& report, const std::string& file, int line, const std::string& problem) {
    report.findings.push_back({file, line, problem});
}

void printFindings(std::ostream& out, const Report& report) {
    std::vector<std::string> files;
    for (const auto& f : report.findings)
        if (std::find(files.begin(), files.end(), f.file) == files.end()) files.push_back(f.file);
    std::vector<Finding> sorted = report.findings;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding& a, const Finding& b) {
        const auto fa = std::find(files.begin(), files.end(), a.file);
        const auto fb = std::find(files.begin(), files.end(), b.file);
        if (fa != fb) return fa < fb;
        return a.line < b.line;
    });
    for (const auto& f : sorted) {
        out << f.file;
        if (f.line > 0) out << ':' << f.line;
        out << ": " << f.problem << '\n';
    }
}

std::string quotedText(const std::string& text) {
    // A value that swallowed half a file must not flood the report.
    constexpr size_t kShown = 60;
    std::string out = "'";
    for (unsigned char c : text.substr(0, kShown)) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c < 32 || c == 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (text.size() > kShown) out += "...";
    return out + "'";
}

}  // namespace delve::check
