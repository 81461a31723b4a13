#pragma once
// Drawing noted instead of done. A watcher replays a whole kept game at
// opening; rasterising every turn of it costs seconds, though the pages are
// only ever what the draws on each part of them left there. With notes set
// on the screen, every draw onto a page is written down as what it would
// do to each 16 by 16 block of pixels, and no pixel is touched:
//
// - a block's content is a chain of draws from a clear block, kept in one
//   shared tree, so a cell that shows the same tile turn after turn, or a
//   panel redrawn with the same text, costs nothing more;
// - a draw that covers a block with its own pixels (a plain tile, a
//   filled box) starts the block's chain afresh;
// - a page copy copies the chains of its blocks;
// - at the end of each turn, the blocks that changed are noted with it.
//
// Any block of any page at any noted turn is then rasterised from its chain
// alone (`composePage`), a few draws a block.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/image.h"

namespace delve {

struct Screen;

constexpr int kNoteBlock = 16;

// One draw as it reaches a page, in page pixels.
struct NotedDraw {
    enum class Kind : uint8_t { Image, FilledBox, Outline };
    Kind kind = Kind::Image;
    Combine mode = Combine::Pset;
    uint8_t colour = 0;
    uint32_t image = 0;  // an index into the notes' images
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const NotedDraw&) const = default;
};

struct DrawNotes {
    // The tree of block contents: link 0 is a clear block, every other one
    // a draw over the content of its parent.
    struct Link {
        uint32_t parent = 0;
        uint32_t draw = 0;
        uint32_t depth = 0;
    };
    struct Change {
        int32_t turn;
        uint32_t link;
    };
    struct DrawHash {
        size_t operator()(const NotedDraw& d) const;
    };

    struct RecentDraw {
        NotedDraw draw;
        uint32_t id = UINT32_MAX;
    };
    std::vector<NotedDraw> draws;
    std::vector<uint32_t> rootLinks;  // per draw, its link from a clear block (0: none yet)
    std::unordered_map<NotedDraw, uint32_t, DrawHash> drawIndex;
    std::vector<RecentDraw> recentDraws;
    std::vector<std::pair<uint64_t, uint32_t>> recentLinks;  // key plus one, and the link
    std::vector<Link> links{Link{}};
    std::unordered_map<uint64_t, uint32_t> linkIndex;  // parent and draw to the link
    std::vector<Image> images;
    std::unordered_multimap<uint64_t, uint32_t> imageIndex;  // by a hash of the pixels

    // Tile files by name, decoded once. A watcher's files change only where
    // the game writes them, so an entry holds until that file is written (or
    // too many writes came to tell); then it is read again, and decoded again
    // only when its bytes changed.
    struct NamedTile {
        std::string bytes;
        std::string key;     // its name in the files' memo
        int32_t image = -1;  // -1: the bytes are no tile
        uint64_t checkedAt = 0;  // the files' write count when last known current, plus one (0: never)
    };
    std::unordered_map<std::string, NamedTile> tiles;
    std::vector<std::pair<const std::string*, std::unordered_map<std::string, NamedTile>::iterator>> recentTiles;
    std::array<NamedTile*, 512> codedTiles{};  // font tiles by code, then map tiles
    int32_t placeholder = -1;

    // The blocks of one window size, from the turn it opened in: per page,
    // each block's content as last noted at a turn's end, and every change
    // with its turn.
    struct Layout {
        int32_t from = 0;
        int width = 0, height = 0, columns = 0, rows = 0;
        std::vector<std::vector<uint32_t>> noted;
        std::vector<std::vector<std::vector<Change>>> changes;
    };
    std::vector<Layout> layouts;
    // Per page of the latest layout, each block's content now.
    std::vector<std::vector<uint32_t>> live;
    std::vector<bool> dirty;

    // The latest turn whose pages can be composed, and whether noting has
    // stopped (the notes outgrew their room, or a draw came that they do
    // not take): turns after it are drawn.
    int32_t turn = 0;
    bool stopped = false;
    size_t bytesLimit = 0;  // 0: no limit
    size_t keptAlongside = 0;  // what is kept beside the notes in the same room
    size_t changeCount = 0, imageBytes = 0;
    // Set while a run steps through turns that are already noted: draws
    // read their files as ever but note nothing.
    bool quiet = false;
};

// Called where the window opens and where draws reach the work page.
void noteWindow(DrawNotes& n, int width, int height);
// An image already in the notes (`addImage`) drawn at (x, y).
uint32_t addImage(DrawNotes& n, Image image);
void noteImage(DrawNotes& n, const Screen& s, int x, int y, uint32_t image, Combine mode);
void noteBox(DrawNotes& n, const Screen& s, int x1, int y1, int x2, int y2, int colour, LineShape shape);
void notePageCopy(DrawNotes& n, const Screen& s, int sourcePage, int destinationPage);
// The end of turn `turn`: the blocks changed since the last are noted with it.
void noteTurnEnd(DrawNotes& n, int32_t turn);

// What the notes hold, roughly.
size_t noteBytes(const DrawNotes& n);
// Page `page` of `s` (laid out as the notes are) as it was at the end of a
// noted turn, or as it is now (`turn` < 0). False, leaving the page as it
// was, when the notes cannot tell.
bool composePage(const DrawNotes& n, int32_t turn, Screen& s, int page);

}  // namespace delve
