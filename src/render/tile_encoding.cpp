#include "render/tile_encoding.h"

namespace delve {

namespace {

void appendTileField16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

std::string encodeTileFile(const TilePixels& art) {
    const size_t rowBytes = (static_cast<size_t>(art.width) + 7) / 8;
    const size_t dataLength = rowBytes * 4 * static_cast<size_t>(art.height);
    std::string out;
    out.reserve(11 + dataLength);
    out.push_back(static_cast<char>(253));
    out.append(4, '\0');
    // The loader ignores this field; it holds the data length (saturated to
    // 16 bits) for other readers' sake.
    appendTileField16(out, dataLength > 0xFFFF ? 0xFFFFu : static_cast<unsigned>(dataLength));
    appendTileField16(out, static_cast<unsigned>(art.width));
    appendTileField16(out, static_cast<unsigned>(art.height));
    for (int y = 0; y < art.height; ++y) {
        for (int plane = 0; plane < 4; ++plane) {
            for (size_t b = 0; b < rowBytes; ++b) {
                unsigned byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const size_t x = b * 8 + static_cast<size_t>(bit);
                    if (x >= static_cast<size_t>(art.width)) break;
                    const uint8_t v = art.pixels[static_cast<size_t>(y) * art.width + x];
                    if (v & (1u << plane)) byte |= 0x80u >> bit;
                }
                out.push_back(static_cast<char>(byte));
            }
        }
    }
    return out;
}

bool replaceTileFilePixels(std::string& bytes, const TilePixels& art) {
    auto byteAt = [&](size_t i) -> unsigned { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const size_t width = (byteAt(7) | (byteAt(8) << 8)) & 0x7FFF;
    const size_t height = (byteAt(9) | (byteAt(10) << 8)) & 0x7FFF;
    if (bytes.size() < 11 || art.width < 0 || art.height < 0 || static_cast<size_t>(art.width) > width ||
        static_cast<size_t>(art.height) > height)
        return false;
    const size_t rowBytes = (width + 7) / 8;
    const size_t needed = 11 + height * 4 * rowBytes;
    if (bytes.size() < needed) bytes.resize(needed, '\0');
    for (int y = 0; y < art.height; ++y) {
        for (int x = 0; x < art.width; ++x) {
            const uint8_t v = art.pixels[static_cast<size_t>(y) * static_cast<size_t>(art.width) + static_cast<size_t>(x)];
            for (int plane = 0; plane < 4; ++plane) {
                char& byte = bytes[11 + (static_cast<size_t>(y) * 4 + static_cast<size_t>(plane)) * rowBytes +
                                   static_cast<size_t>(x) / 8];
                const unsigned bit = 0x80u >> (x % 8);
                const unsigned old = static_cast<unsigned char>(byte);
                byte = static_cast<char>((v & (1u << plane)) ? (old | bit) : (old & ~bit));
            }
        }
    }
    return true;
}

}  // namespace delve
