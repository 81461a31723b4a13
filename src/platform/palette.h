#pragma once
// The 256-entry default palette every backend and every PNG uses: the 16
// classic colours first (0 black, 15 white), then a grey ramp and hue rings.
#include <array>
#include <cstdint>

namespace delve {

struct Rgb {
    uint8_t r, g, b;
};

const std::array<Rgb, 256>& defaultPalette();

}  // namespace delve
