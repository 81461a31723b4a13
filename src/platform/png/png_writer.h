#pragma once
// Writes a palettized picture as an RGB PNG through the default palette.
#include <cstdint>
#include <string>

namespace delve {

// Returns false (and leaves no partial file) when the file cannot be written.
bool writePng(const std::string& path, const uint8_t* pixels, int width, int height);

}  // namespace delve
