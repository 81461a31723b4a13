#include "watch/page_pack.h"

#include <cstring>

namespace delve {

namespace {

void putCount(std::string& out, size_t n) {
    while (n >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (n & 0x7f)));
        n >>= 7;
    }
    out.push_back(static_cast<char>(n));
}

bool getCount(const std::string& in, size_t& at, size_t& n) {
    n = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= in.size()) return false;
        const auto byte = static_cast<uint8_t>(in[at++]);
        n |= static_cast<size_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) return true;
    }
    return false;
}

uint8_t referenceAt(const uint8_t* reference, size_t i) { return reference ? reference[i] : 0; }

}  // namespace

// Pairs of counts: bytes equal to the reference, then bytes that differ
// (followed by those bytes). A short equal run between differing bytes
// costs more as two counts than as bytes, so runs under four are kept in
// the differing part.
std::string packPage(const uint8_t* page, const uint8_t* reference, size_t bytes) {
    std::string out;
    // Most pages of a moment are those of its keyframe, untouched.
    if (reference && std::memcmp(page, reference, bytes) == 0) {
        putCount(out, bytes);
        putCount(out, 0);
        return out;
    }
    size_t i = 0;
    while (i < bytes) {
        const size_t sameStart = i;
        // Long equal runs are the rule: step over them eight bytes at a time.
        if (reference)
            while (i + 8 <= bytes && std::memcmp(page + i, reference + i, 8) == 0) i += 8;
        while (i < bytes && page[i] == referenceAt(reference, i)) ++i;
        const size_t same = i - sameStart;
        const size_t diffStart = i;
        while (i < bytes) {
            size_t run = 0;
            while (i + run < bytes && run < 4 && page[i + run] == referenceAt(reference, i + run)) ++run;
            if (run == 4 || i + run == bytes) break;
            i += run + 1;
        }
        putCount(out, same);
        putCount(out, i - diffStart);
        out.append(reinterpret_cast<const char*>(page + diffStart), i - diffStart);
    }
    return out;
}

bool unpackPage(const std::string& packed, uint8_t* out, size_t bytes) {
    size_t at = 0, i = 0;
    while (at < packed.size()) {
        size_t same = 0, differ = 0;
        if (!getCount(packed, at, same) || !getCount(packed, at, differ)) return false;
        if (same > bytes - i) return false;
        i += same;
        if (differ > bytes - i || differ > packed.size() - at) return false;
        std::memcpy(out + i, packed.data() + at, differ);
        i += differ;
        at += differ;
    }
    return i == bytes;
}

}  // namespace delve
