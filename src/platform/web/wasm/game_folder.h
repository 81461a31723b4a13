#pragma once
// The game's folder in the page's in-memory file system. The file package
// creates its folders read-only; the game writes beside its data files (the
// encounter file, through a temporary file and a rename), as it may in its
// folder on the desktop.
#include <string>

namespace delve {

// Makes `root` and every folder below it writable.
void makeFoldersWritable(const std::string& root);

}  // namespace delve
