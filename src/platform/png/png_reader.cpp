#include "platform/png/png_reader.h"

#include <png.h>

#include <cstring>

namespace delve {

namespace {

struct Reader {
    std::string_view bytes;
    size_t next = 0;
    std::string error;
    PngPicture picture;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> row;
};

void onError(png_structp png, png_const_charp message) {
    auto* reader = static_cast<Reader*>(png_get_error_ptr(png));
    reader->error = message ? message : "unknown error";
    png_longjmp(png, 1);
}

// Warnings are about chunks libpng skips (a bad checksum on a text chunk,
// say); the picture itself is still whole.
void onWarning(png_structp, png_const_charp) {}

void readPngBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (count > reader->bytes.size() - reader->next) png_error(png, "the file ends early");
    std::memcpy(out, reader->bytes.data() + reader->next, count);
    reader->next += count;
}

// libpng reports errors by a long jump back to setjmp. Nothing local to this
// function changes between the two, and every object that owns memory lives
// in the Reader, outside the frames the jump leaves.
bool decode(png_structp png, png_infop info, Reader& reader) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_read_fn(png, &reader, readPngBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > static_cast<png_uint_32>(kMaxPngSide) ||
        height > static_cast<png_uint_32>(kMaxPngSide) ||
        int64_t{width} * int64_t{height} > kMaxPngPixels) {
        reader.picture.problem = "the picture is " + std::to_string(width) + " by " + std::to_string(height) +
                                 " pixels; at most " + std::to_string(kMaxPngSide) + " along a side and " +
                                 std::to_string(kMaxPngPixels / (1024 * 1024)) + " million pixels are taken";
        return false;
    }
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) png_error(png, "unexpected pixel layout");
    reader.picture.width = static_cast<int>(width);
    reader.picture.height = static_cast<int>(height);
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) {
        // Row by row, so that a file claiming a big picture it does not hold
        // ends before the memory for all of it is taken.
        reader.row.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, reader.row.data(), nullptr);
            reader.picture.rgba.insert(reader.picture.rgba.end(), reader.row.begin(), reader.row.end());
        }
        return true;
    }
    // Interlaced passes revisit every row, so the whole picture is needed.
    reader.picture.rgba.assign(rowBytes * height, 0);
    reader.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) reader.rows[y] = reader.picture.rgba.data() + y * rowBytes;
    png_read_image(png, reader.rows.data());
    return true;
}

uint32_t bigEndian32(std::string_view bytes, size_t at) {
    auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// libpng takes a chunk's memory as its length says before it reads the
// chunk, so a few bytes claiming a chunk of two gigabytes would take them.
// Every chunk up to IEND must therefore lie inside the bytes we hold.
bool chunksFit(std::string_view bytes) {
    size_t at = 8;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) return false;
        const uint32_t length = bigEndian32(bytes, at);
        if (length > 0x7FFFFFFFu || length > bytes.size() - at - 8 || bytes.size() - at - 8 - length < 4) return false;
        if (bytes.compare(at + 4, 4, "IEND") == 0) return true;
        at += 12 + static_cast<size_t>(length);
    }
    return true;  // no IEND: libpng says what it misses
}

}  // namespace

PngPicture readPng(std::string_view bytes) {
    PngPicture refused;
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
        refused.problem = "not a PNG file";
        return refused;
    }
    if (!chunksFit(bytes)) {
        refused.problem = "a damaged PNG file (cut short: a chunk runs past its end)";
        return refused;
    }
    Reader reader;
    reader.bytes = bytes;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png && info) {
        // Text and profile chunks are never used; they must not grow either.
        png_set_chunk_malloc_max(png, 1024 * 1024);
        png_set_chunk_cache_max(png, 128);
    }
    const bool ok = png && info && decode(png, info, reader);
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    if (ok) return std::move(reader.picture);
    if (!reader.picture.problem.empty()) {
        refused.problem = reader.picture.problem;
    } else {
        refused.problem = "a damaged PNG file (" + (reader.error.empty() ? std::string("out of memory") : reader.error) + ")";
    }
    return refused;
}

}  // namespace delve
