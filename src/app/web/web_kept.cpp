// The page hands the program a kept recording (to play on or to watch)
// through the in-memory file system, written here: this emscripten's file
// system offers the page no way of its own to write a file.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>

extern "C" {

// Writes `size` bytes to the new file `path`; 1 when they all went in.
EMSCRIPTEN_KEEPALIVE int delve_web_kept_put(const char* path, const uint8_t* bytes, double size) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const size_t count = static_cast<size_t>(size);
    const bool written = std::fwrite(bytes, 1, count, file) == count;
    return std::fclose(file) == 0 && written ? 1 : 0;
}

}  // extern "C"
