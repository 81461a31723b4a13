#pragma once
// Findings of the content checker: one problem each, tied to a file and, where
// one exists, the line an author's editor shows for it.
#include <ostream>
#include <string>
#include <vector>

namespace delve::check {

struct Finding {
    std::string file;  // as shown: "res/gamedata.dat", "tiles/map/map_219.til"
    int line = 0;      // 0 when the problem has no line of its own
    std::string problem;
};

struct Report {
    std::vector<Finding> findings;
};

void addFinding(Report& report, const std::string& file, int line, const std::string& problem);

// "file:line: problem" (or "file: problem"), files in the order they were
// first reported, each file's findings by line.
void printFindings(std::ostream& out, const Report& report);

// A text quoted for a finding, with unprintable bytes escaped.
std::string quotedText(const std::string& text);

}  // namespace delve::check
