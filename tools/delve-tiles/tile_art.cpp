#include "tile_art.h"

namespace delve::tiles {

namespace {

int pixelValue(char c) {
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

void appendLittle16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

bool parseTileArt(const std::string& text, TileArt& art, ArtError& error) {
    const std::vector<std::string> lines = splitLines(text);
    if (lines.empty()) {
        error = {1, "empty art: no pixel rows"};
        return false;
    }
    const size_t width = lines[0].size();
    if (width > static_cast<size_t>(kMaxArtSide)) {
        error = {1, "row wider than " + std::to_string(kMaxArtSide) + " pixels"};
        return false;
    }
    if (lines.size() > static_cast<size_t>(kMaxArtSide)) {
        error = {kMaxArtSide + 1, "more than " + std::to_string(kMaxArtSide) + " rows"};
        return false;
    }
    TileArt result;
    result.width = static_cast<int>(width);
    result.height = static_cast<int>(lines.size());
    result.pixels.reserve(width * lines.size());
    for (size_t y = 0; y < lines.size(); ++y) {
        const int lineNumber = static_cast<int>(y) + 1;
        const std::string& line = lines[y];
        if (line.size() != width) {
            error = {lineNumber, "ragged row: " + std::to_string(line.size()) + " pixels where the first row has " +
                                     std::to_string(width)};
            return false;
        }
        for (size_t x = 0; x < line.size(); ++x) {
            const int v = pixelValue(line[x]);
            if (v < 0) {
                const unsigned char c = static_cast<unsigned char>(line[x]);
                const std::string shown = c >= 33 && c < 127 ? "'" + std::string(1, line[x]) + "'"
                                                             : "byte " + std::to_string(c);
                error = {lineNumber, "column " + std::to_string(x + 1) + ": " + shown +
                                         " is not a hex digit or '.'"};
                return false;
            }
            result.pixels.push_back(static_cast<uint8_t>(v));
        }
    }
    art = std::move(result);
    return true;
}

std::string encodeTile(const TileArt& art) {
    const size_t rowBytes = (static_cast<size_t>(art.width) + 7) / 8;
    const size_t dataLength = rowBytes * 4 * static_cast<size_t>(art.height);
    std::string out;
    out.reserve(11 + dataLength);
    out.push_back(static_cast<char>(253));
    out.append(4, '\0');
    // The loader ignores this field; it holds the data length (saturated to
    // 16 bits) for other readers' sake.
    appendLittle16(out, dataLength > 0xFFFF ? 0xFFFFu : static_cast<unsigned>(dataLength));
    appendLittle16(out, static_cast<unsigned>(art.width));
    appendLittle16(out, static_cast<unsigned>(art.height));
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

bool replaceTilePixels(std::string& bytes, const TileArt& art) {
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

}  // namespace delve::tiles
