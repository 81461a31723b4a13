#pragma once
// Reads a PNG of any colour type and depth (palette, grey, RGB, with or
// without alpha, 1 to 16 bits) into plain 8-bit RGBA, the form a browser's
// canvas gives, so what is done with the pixels is the same on both.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace delve {

// Larger pictures are refused before anything is allocated for them: the
// biggest sheet of tiles is far smaller, and a hostile header must not
// become a huge allocation.
constexpr int kMaxPngSide = 8192;
constexpr int64_t kMaxPngPixels = int64_t{16} * 1024 * 1024;

struct PngPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4, row after row
    std::string problem;        // why the bytes were refused; "" when read
};

// Colours are taken as stored: no gamma or colour profile is applied, and
// 16-bit samples are scaled to 8 bits with rounding. Transparency (an alpha
// channel or a tRNS chunk) comes through as alpha; opaque pictures get 255.
PngPicture readPng(std::string_view bytes);

}  // namespace delve
