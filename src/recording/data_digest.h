#pragma once
// A digest of the data a game is made of: every file under res/ and tiles/
// of a data folder, by relative path and contents. Two folders with the
// same digest make the same game from the same keys. The encounter file the
// game itself rewrites at every frame, and the temporary files of such
// rewrites, are left out. A file over the game's limit on what it reads
// (kMaxGameFileBytes) is taken by its name and size alone, as the game
// takes none of its bytes; files are read a piece at a time.
#include <cstdint>
#include <functional>
#include <string>

namespace delve {

uint64_t dataFolderDigest(const std::string& root);
// The same, calling `betweenFiles` after each file it has read: the page
// lets the browser have its turn there.
uint64_t dataFolderDigest(const std::string& root, const std::function<void()>& betweenFiles);

}  // namespace delve
