#pragma once
// A recording as a link carries it. Most of a recording's bytes after
// packing are the turn numbers of its key lines, which count up: a line
// "k 57 6" after "k 56 8" says nothing a reader cannot work out. In a link,
// a key line whose turn is the one expected (the turn of the key line
// before it plus that line's keys; 0 for the first) is written "K 6", and
// opening the link writes the turn back. Every other line, and a turn
// written in any other way ("k 057 6"), is carried as it is, so the text
// comes back byte for byte. A 10,000-turn game of single keys packs to
// about a third of the size this way.
#include <string>

namespace delve {

std::string toLinkText(const std::string& recordingText);
std::string fromLinkText(const std::string& linkText);

}  // namespace delve
