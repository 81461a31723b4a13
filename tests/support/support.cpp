#include "support/support.h"

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/system.h"

namespace delve::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    // A folder made afresh under a random name (create_directory fails on
    // one that exists), the way mkdtemp does it, on every system.
    std::mt19937_64 names(std::random_device{}() ^
                          static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const fs::path temp = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "delve-test-%012llx",
                      static_cast<unsigned long long>(names() & 0xffffffffffffULL));
        std::error_code ec;
        if (fs::create_directory(temp / name, ec)) {
            path_ = textOf(temp / name);  // UTF-8, whatever the user name
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder");
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // Read-only folders made by a test must not keep their contents alive.
    for (auto& entry : fs::recursive_directory_iterator(pathOf(path_), ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pathOf(path_), ec);
}

void ScratchDir::write(const std::string& relative, const std::string& bytes) const {
    const fs::path full = pathOf(path_) / pathOf(relative);
    fs::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::read(const std::string& relative) const {
    std::ifstream in(pathOf(path_) / pathOf(relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ScratchDir::exists(const std::string& relative) const { return fs::exists(pathOf(path_) / pathOf(relative)); }

HeadlessGame::HeadlessGame(const std::string& root, const std::string& keys)
    : backend(keys), platform(backend), game(platform) {
    platform.files.root = root;
    openWindow(platform, 960, 720);
    setPages(platform, 0, 1);
}

uint64_t pageHash(const Screen& screen, int page) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : screen.pages[page]) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::string stagedGameDir() { return DELVE_GAME_DIR; }

}  // namespace delve::test

namespace delve::test {

std::string encodeTile(const std::vector<uint8_t>& pixels, int width, int height) {
    std::string bytes(11, '\0');
    bytes[0] = static_cast<char>(253);
    const int rowBytes = (width + 7) / 8;
    const int length = rowBytes * 4 * height;
    bytes[5] = static_cast<char>(length & 0xFF);
    bytes[6] = static_cast<char>((length >> 8) & 0xFF);
    bytes[7] = static_cast<char>(width & 0xFF);
    bytes[8] = static_cast<char>((width >> 8) & 0xFF);
    bytes[9] = static_cast<char>(height & 0xFF);
    bytes[10] = static_cast<char>((height >> 8) & 0xFF);
    for (int y = 0; y < height; ++y)
        for (int plane = 0; plane < 4; ++plane)
            for (int b = 0; b < rowBytes; ++b) {
                unsigned char byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int x = b * 8 + bit;
                    if (x < width && (pixels[static_cast<size_t>(y) * width + x] >> plane) & 1)
                        byte = static_cast<unsigned char>(byte | (0x80 >> bit));
                }
                bytes += static_cast<char>(byte);
            }
    return bytes;
}

namespace {

// Pixel (0,0) and (1,0) hold the code's two nibbles plus one (so a code of 0
// still leaves a mark); pixel (7,7) says which kind of tile it was.
constexpr uint8_t kFontMark = 15;
constexpr uint8_t kMapMark = 14;

std::vector<uint8_t> codedPixels(int code, uint8_t mark) {
    std::vector<uint8_t> px(64, 0);
    px[0] = static_cast<uint8_t>((code >> 4) + 0);
    px[1] = static_cast<uint8_t>(code & 15);
    px[2] = 1;  // always set: tells a drawn tile from an untouched cell
    px[63] = mark;
    return px;
}

}  // namespace

void writeCodedTiles(const ScratchDir& dir) {
    char name[64];
    for (int code = 33; code <= 255; ++code) {
        std::snprintf(name, sizeof name, "tiles/font/font_%03d.til", code);
        dir.write(name, encodeTile(codedPixels(code, kFontMark), 8, 8));
    }
    for (int code = 0; code <= 255; ++code) {
        std::snprintf(name, sizeof name, "tiles/map/map_%03d.til", code);
        dir.write(name, encodeTile(codedPixels(code, kMapMark), 8, 8));
    }
}

CellContent cellAt(const Screen& screen, int page, int row, int column) {
    const int x0 = 16 * (column - 1), y0 = 16 * (row - 1);
    if (x0 < 0 || y0 < 0 || x0 + 15 >= screen.width || y0 + 15 >= screen.height) return {};
    const auto& px = screen.pages[page];
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y0 + 2 * y) * screen.width + x0 + 2 * x]; };
    if (at(2, 0) != 1) return {at(7, 7) == 0 && at(0, 0) == 0 ? CellContent::Empty : CellContent::Other, 0};
    const int code = at(0, 0) * 16 + at(1, 0);
    if (at(7, 7) == kFontMark) return {CellContent::Font, code};
    if (at(7, 7) == kMapMark) return {CellContent::Map, code};
    return {CellContent::Other, 0};
}

std::string screenText(const Screen& screen, int page, int row, int column, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        const CellContent c = cellAt(screen, page, row, column + i);
        char buf[16];
        switch (c.kind) {
            case CellContent::Empty: out += ' '; break;
            case CellContent::Font: out += static_cast<char>(c.code); break;
            case CellContent::Map:
                std::snprintf(buf, sizeof buf, "{{%02X}}", c.code);
                out += buf;
                break;
            case CellContent::Other: out += '?'; break;
        }
    }
    return out;
}

}  // namespace delve::test
