#include "render/sheet_label.h"

namespace delve {

namespace {

// Five rows of three pixels each, "#" set.
const char* glyphRows(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    switch (c) {
        case '0': return "####.##.##.####";
        case '1': return ".#.##..#..#.###";
        case '2': return "###..#####..###";
        case '3': return "###..#.##..####";
        case '4': return "#.##.####..#..#";
        case '5': return "####..###..####";
        case '6': return "####..####.####";
        case '7': return "###..#..#..#..#";
        case '8': return "####.#####.####";
        case '9': return "####.####..####";
        case 'A': return ".#.#.#####.##.#";
        case 'B': return "##.#.###.#.###.";
        case 'C': return ".###..#..#...##";
        case 'D': return "##.#.##.##.###.";
        case 'E': return "####..####..###";
        case 'F': return "####..####..#..";
        case 'G': return ".###..#.##.#.##";
        case 'H': return "#.##.#####.##.#";
        case 'I': return "###.#..#..#.###";
        case 'J': return "..#..#..##.#.#.";
        case 'K': return "#.##.###.#.##.#";
        case 'L': return "#..#..#..#..###";
        case 'M': return "#.########.##.#";
        case 'N': return "##.#.##.##.##.#";
        case 'O': return ".#.#.##.##.#.#.";
        case 'P': return "##.#.###.#..#..";
        case 'Q': return ".#.#.##.#.#...#";
        case 'R': return "##.#.###.#.##.#";
        case 'S': return ".###...#...###.";
        case 'T': return "###.#..#..#..#.";
        case 'U': return "#.##.##.##.####";
        case 'V': return "#.##.##.##.#.#.";
        case 'W': return "#.##.########.#";
        case 'X': return "#.##.#.#.#.##.#";
        case 'Y': return "#.##.#.#..#..#.";
        case 'Z': return "###..#.#.#..###";
        case '_': return "............###";
        case '-': return "......###......";
        case '.': return ".............#.";
        default: return "###..#.#.....#.";
    }
}

}  // namespace

int labelWidth(const std::string& text, int scale) {
    if (text.empty()) return 0;
    return static_cast<int>(text.size()) * (kLabelGlyphWidth + 1) * scale - scale;
}

void drawLabel(Image& image, int x, int y, const std::string& text, int scale, int colour) {
    Surface target = surfaceOf(image);
    for (size_t i = 0; i < text.size(); ++i) {
        const char* rows = glyphRows(text[i]);
        const int left = x + static_cast<int>(i) * (kLabelGlyphWidth + 1) * scale;
        for (int gy = 0; gy < kLabelGlyphHeight; ++gy)
            for (int gx = 0; gx < kLabelGlyphWidth; ++gx)
                if (rows[gy * kLabelGlyphWidth + gx] == '#')
                    drawLine(target, left + gx * scale, y + gy * scale, left + gx * scale + scale - 1,
                             y + gy * scale + scale - 1, colour, LineShape::FilledBox);
    }
}

}  // namespace delve
