#include "tile_art.h"

#include "render/tile_encoding.h"

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

std::string encodeTile(const TileArt& art) { return encodeTileFile({art.width, art.height, art.pixels}); }

bool replaceTilePixels(std::string& bytes, const TileArt& art) {
    return replaceTileFilePixels(bytes, {art.width, art.height, art.pixels});
}

}  // namespace delve::tiles
