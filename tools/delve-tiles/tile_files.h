#pragma once
// File access for the tool: whole-file reads and writes that never leave a
// half-written file under the final name.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace delve::tiles {

std::optional<std::string> readWholeFile(const std::filesystem::path& path);
// Writes to a temporary name beside the target, then renames it over the
// target; on failure the temporary file is removed and false returned.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes);
// Regular files below `folder` (recursively when asked) whose extension
// matches `extension` ignoring case, sorted by path.
std::vector<std::filesystem::path> filesWithExtension(const std::filesystem::path& folder,
                                                      const std::string& extension, bool recursive);

}  // namespace delve::tiles
