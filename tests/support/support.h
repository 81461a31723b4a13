#pragma once
// Helpers shared by the tests: scratch folders, a headless game, page hashes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/platform.h"
#include "game/game_state.h"

namespace delve::test {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    // Writes a file (relative path with "/"), creating its folders.
    void write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;

private:
    std::string path_;
};

// A headless platform and a game on it, its files rooted at `root`, the
// window open at 960 x 720 with page 0 drawn and page 1 shown.
struct HeadlessGame {
    explicit HeadlessGame(const std::string& root = ".", const std::string& keys = "");
    HeadlessBackend backend;
    Platform platform;
    Game game;
};

// FNV-1a of a page's pixels, for golden values.
uint64_t pageHash(const Screen& screen, int page);

// The bytes of a tile file for a picture of palette indices (row after row).
std::string encodeTile(const std::vector<uint8_t>& pixels, int width, int height);

// Writes "coded" tiles into root/tiles: every font tile and map tile carries
// its own code in its pixels, so that what was drawn where can be read back
// off a page with cellAt/screenText.
void writeCodedTiles(const ScratchDir& dir);

struct CellContent {
    enum Kind { Empty, Font, Map, Other } kind = Empty;
    int code = 0;
};
// What a coded tile left in the cell (column, row), 1-based.
CellContent cellAt(const Screen& screen, int page, int row, int column);
// The text in `count` cells from (row, column): font tiles as their
// characters, map tiles as "{{XX}}" (two hex digits), empty cells as blanks,
// anything else as "?".
std::string screenText(const Screen& screen, int page, int row, int column, int count);

// The staged game folder of the build (program, res/, tiles/).
std::string stagedGameDir();

}  // namespace delve::test
