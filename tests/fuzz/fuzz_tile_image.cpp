// Any bytes as a tile file: the loader either refuses them or gives a doubled
// 16-colour picture of a sane size, and never reads past what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/tile_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so AddressSanitizer sees any read past the end.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto image = delve::decodeTileImage(bytes);
    if (!image) return 0;
    if (image->width <= 0 || image->height <= 0 || image->width % 2 != 0 || image->height % 2 != 0) std::abort();
    if (image->width > 2 * delve::kMaxTileSide || image->height > 2 * delve::kMaxTileSide) std::abort();
    if (image->pixels.size() != static_cast<size_t>(image->width) * static_cast<size_t>(image->height)) std::abort();
    for (uint8_t p : image->pixels)
        if (p > 15) std::abort();
    return 0;
}
