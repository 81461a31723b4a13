#pragma once
// Tile files: a 16-colour picture in four bit planes after an 11-byte header
// (signature 253, width at 7 and height at 9). Loading doubles the picture.
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/image.h"

namespace delve {

constexpr unsigned char kTileSignature = 253;
// Tiles wider or taller than this are refused as "no image": the art is 8 by 8
// and 24 by 24, and a corrupt header must not become a huge allocation.
constexpr int kMaxTileSide = 512;

// Decodes the bytes of a tile file: the doubled image, or no image when the
// bytes are not a tile file.
std::optional<Image> decodeTileImage(std::string_view bytes);
// The 24 by 24 dotted picture shown for a tile file that cannot be opened.
Image tilePlaceholder();
// Reads the file fresh every time: the placeholder when it cannot be opened,
// no image when it is empty or not a tile file.
std::optional<Image> loadTileImage(Files& files, const std::string& fileName);

}  // namespace delve
