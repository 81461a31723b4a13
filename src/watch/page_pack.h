#pragma once
// Pages kept small while a watcher holds hundreds of moments of a game: a
// page is packed as its difference from a reference page (runs of bytes
// that are the same, then the bytes that differ), so a page that moved on
// by a few dozen turns costs the cells that changed. Against an empty
// reference (all zero) a page packs as runs of colour 0 and the rest.
#include <cstdint>
#include <string>

namespace delve {

// `page` and `reference` (nullptr: all zero) are `bytes` long.
std::string packPage(const uint8_t* page, const uint8_t* reference, size_t bytes);
// Writes the page into `out` (`bytes` long), which holds the reference
// already. False when `packed` is not a packing of that many bytes.
bool unpackPage(const std::string& packed, uint8_t* out, size_t bytes);

}  // namespace delve
