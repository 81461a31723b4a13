// Any bytes as a PNG for from-png: the reader either refuses them or gives
// RGBA of a sane size, and the palette rules then take a tile from it or
// refuse, whole or as a sheet's area, with or without the nearest colours.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/png/png_reader.h"
#include "render/tile_picture.h"

namespace {

void checkTaken(const delve::TileFromPicture& taken, int width, int height, bool nearest) {
    using delve::PictureRefusal;
    if (taken.refusal != PictureRefusal::None) {
        if (taken.problem.empty() || !taken.tile.pixels.empty()) std::abort();
        if (nearest && taken.refusal == PictureRefusal::NotATileColour) std::abort();
        return;
    }
    if (taken.tile.width != width || taken.tile.height != height) std::abort();
    if (taken.tile.pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) std::abort();
    for (uint8_t p : taken.tile.pixels)
        if (p > 15) std::abort();
    if (taken.changed < 0 || (!nearest && taken.changed != 0) || taken.changed > width * height) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    // An exact-size copy, so AddressSanitizer sees any read past the end.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const PngPicture picture = readPng(bytes);
    if (!picture.problem.empty()) {
        if (!picture.rgba.empty()) std::abort();
        return 0;
    }
    if (picture.width <= 0 || picture.height <= 0 || picture.width > kMaxPngSide || picture.height > kMaxPngSide)
        std::abort();
    if (picture.rgba.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4)
        std::abort();
    const RgbaView view{picture.rgba.data(), picture.width, picture.height};
    for (bool nearest : {false, true}) {
        // The picture's own size always fits at scale 1; 8 by 8 at whatever
        // scale the picture has; a sheet's area at the picture's middle.
        const int w = picture.width < 64 ? picture.width : 64, h = picture.height < 64 ? picture.height : 64;
        checkTaken(tileFromPictureArea(view, 0, 0, 1, w, h, nearest), w, h, nearest);
        checkTaken(tileFromPicture(view, 8, 8, nearest), 8, 8, nearest);
        checkTaken(tileFromPictureArea(view, picture.width / 2, picture.height / 2, 2, 3, 3, nearest), 3, 3, nearest);
    }
    return 0;
}
