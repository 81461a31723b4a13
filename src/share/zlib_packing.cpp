#include "share/zlib_packing.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace delve {

namespace {

constexpr size_t kPiece = 64 << 10;

// zlib counts in uInt: long input goes in pieces no larger than that.
void feed(z_stream& z, std::string_view bytes, size_t& fed) {
    if (z.avail_in != 0 || fed == bytes.size()) return;
    const size_t piece = std::min<size_t>(bytes.size() - fed, UINT_MAX);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + fed));
    z.avail_in = static_cast<uInt>(piece);
    fed += piece;
}

}  // namespace

std::string packZlib(std::string_view bytes) {
    z_stream z{};
    if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) return "";
    std::string out;
    size_t fed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        feed(z, bytes, fed);
        const size_t at = out.size();
        out.resize(at + kPiece);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + at);
        z.avail_out = static_cast<uInt>(kPiece);
        rc = deflate(&z, fed == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
        out.resize(at + kPiece - z.avail_out);
        if (rc == Z_STREAM_ERROR) {
            out.clear();
            break;
        }
    }
    deflateEnd(&z);
    return out;
}

UnpackedBytes unpackZlib(std::string_view packed, size_t cap) {
    UnpackedBytes result;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return result;
    // One byte past the cap is enough to know the cap is passed. The output
    // is kept in pieces and joined only once it is whole: a growing string
    // would at its last growth hold the old copy and the new one at once.
    const size_t limit = cap == SIZE_MAX ? cap : cap + 1;
    std::vector<std::string> pieces;
    std::string piece(kPiece, '\0');
    size_t total = 0, fed = 0;
    for (;;) {
        feed(z, packed, fed);
        const size_t room = std::min(kPiece, limit - total);
        z.next_out = reinterpret_cast<Bytef*>(piece.data());
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t made = room - z.avail_out;
        total += made;
        if (total > cap) {
            result.status = Unpacked::TooLarge;
            break;
        }
        if (made > 0) pieces.emplace_back(piece.data(), made);
        if (rc == Z_STREAM_END) {
            if (z.avail_in == 0 && fed == packed.size()) result.status = Unpacked::Whole;
            break;
        }
        // Anything but progress is damage: bad data, a checksum, or input
        // used up before the stream's end (it was cut short).
        if (rc != Z_OK || (z.avail_in == 0 && fed == packed.size() && z.avail_out != 0)) break;
    }
    inflateEnd(&z);
    if (result.status == Unpacked::Whole) {
        result.bytes.reserve(total);
        for (std::string& p : pieces) {
            result.bytes += p;
            std::string().swap(p);
        }
    }
    return result;
}

}  // namespace delve
