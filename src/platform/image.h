#pragma once
// Palettized pictures and the software drawing primitives shared by every
// backend: pages and images are both plain 8-bit pixel buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace delve {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // row after row, one palette index each
};

// A view of something to draw on: a page of the screen or an image.
struct Surface {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

enum class LineShape { Line, Box, FilledBox };
enum class Combine { Pset, Preset, And, Or, Xor };

// Sizes below 0 give an empty image; every pixel starts at index 0.
Image createImage(int width, int height);
Surface surfaceOf(Image& image);

// -1 outside the image.
int getPixel(const Image& image, int x, int y);
// Outside the image nothing happens.
void setPixel(Image& image, int x, int y, int index);

// Corners included, clipped to the target. The pattern is used from its most
// significant bit, one bit per pixel step, repeating (lines and outlines).
void drawLine(Surface target, int x1, int y1, int x2, int y2, int index, LineShape shape,
              uint16_t pattern = 0xFFFF);

// The whole image with its top-left corner at (x, y), clipped to the target.
void drawImage(Surface target, int x, int y, const Image& image, Combine mode);
// One row of a picture put onto `count` pixels of a page by `mode`: the
// whole of drawing an image, shared by drawing and by composing noted draws.
void combineRow(uint8_t* onto, const uint8_t* from, size_t count, Combine mode);

}  // namespace delve
