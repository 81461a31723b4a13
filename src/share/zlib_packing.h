#pragma once
// Bytes packed as a zlib stream (deflate with the zlib header and its
// checksum), as a browser's CompressionStream('deflate') writes them and
// DecompressionStream('deflate') reads them.
#include <cstddef>
#include <string>
#include <string_view>

namespace delve {

std::string packZlib(std::string_view bytes);

enum class Unpacked {
    Whole,     // one complete stream, its checksum right, nothing after it
    Damaged,   // not a zlib stream, cut short, a wrong checksum, or bytes after its end
    TooLarge,  // it unpacks to more than the cap
};

struct UnpackedBytes {
    Unpacked status = Unpacked::Damaged;
    std::string bytes;  // only when Whole
};

// Unpacks a piece at a time and stops as soon as the output passes `cap`:
// a small stream that unpacks to gigabytes costs at most the cap in memory
// and the time to unpack that much.
UnpackedBytes unpackZlib(std::string_view packed, size_t cap);

}  // namespace delve
