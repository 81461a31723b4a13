#include "platform/png/png_writer.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/palette.h"
#include "platform/system.h"

namespace delve {

namespace {

// libpng reports errors by a long jump back to setjmp; no variable of this
// function changes between the two, so none can be clobbered.
bool encodeRows(png_structp png, png_infop info, FILE* file, const uint8_t* pixels, int width,
                int height, std::vector<uint8_t>& row) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto& pal = defaultPalette();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = pal[pixels[static_cast<size_t>(y) * width + x]];
            row[3 * x] = c.r;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const uint8_t* pixels, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    const std::string temp = path + ".part";
    FILE* file = openFile(temp, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    bool ok = png && info && encodeRows(png, info, file, pixels, width, height, row);
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(file) != 0) ok = false;
    // Over an existing picture, on Windows as well.
    if (ok && !replaceFileWith(temp, path)) ok = false;
    if (!ok) removeFile(temp);
    return ok;
}

}  // namespace delve
