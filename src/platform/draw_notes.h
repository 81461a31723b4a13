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
//
// Two other ways of looking on serve a seek far past the notes
// (watch/span_seek.h): `touches` writes down only which blocks a span of
// turns drew on, and `symbolic` notes a span from a kept state, each block
// starting as an unknown "what it held then" (a base) told later.
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
    // A base stands for what one block of one page held at the start of a
    // span (x1 the span, y1 the page, x2 the block) until it is told, when
    // it becomes that block's pixels (`tellBase`). Never drawn untold.
    enum class Kind : uint8_t { Image, FilledBox, Outline, Base };
    Kind kind = Kind::Image;
    Combine mode = Combine::Pset;
    uint8_t colour = 0;
    uint32_t image = 0;  // an index into the notes' images
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const NotedDraw&) const = default;
};

// The blocks of a page width by height.
size_t blocksOf(int width, int height);

// Which blocks of which pages each span of turns drew on. Marks may be more
// than the draws changed (a block whose draws left it as it was), never
// fewer.
struct DrawTouches {
    struct Span {
        bool all = false;  // a window opened: every block of every page is the span's own
        int width = 0, height = 0;   // the layout of `bits`
        int columns = 0;
        size_t blocks = 0;           // a page's
        std::vector<uint64_t> bits;  // page * blocks + block
    };
    std::vector<Span> spans;  // the current span is the last
    bool broken = false;      // a draw came that spans cannot follow
};

// Whether span `span` drew on block `block` of `page` (laid out as
// width by height); a span laid out otherwise is taken to have.
bool touched(const DrawTouches& t, size_t span, int width, int height, int page, int block);
// The spans `first` and `second` (the one after it) as one.
DrawTouches::Span joinSpans(const DrawTouches::Span& first, const DrawTouches::Span& second);

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
    // Set, draws mark only which blocks they reach there (and note nothing).
    DrawTouches* touches = nullptr;
    // Set while a seek notes a span from a kept state (`beginSpan`): chains
    // may stand on bases, so none is flattened (the notes stop instead),
    // and pages are not composed to check checkpoints.
    bool symbolic = false;
    int32_t span = 0;  // the span being noted so
    std::unordered_map<uint64_t, uint32_t> baseLinks;  // span and place to the base's link
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

// In symbolic notes, a block not drawn on since the span began holds no
// link but its own place: this flag and page * blocks + block. A draw that
// combines over it first makes it a base (a draw of its own).
constexpr uint32_t kBaseLink = uint32_t{1} << 31;
inline bool isBaseLink(uint32_t link) { return (link & kBaseLink) != 0; }

// Symbolic notes: every block of every page, laid out as width by height,
// starts as what it held at the start of span `span`.
void beginSpan(DrawNotes& n, int width, int height, int32_t span);
// The base made for place `place` (page * blocks + block) of span `span`,
// as a draw index (-1: none was made, nothing combined over it).
int64_t baseDraw(const DrawNotes& n, int32_t span, uint32_t place);
// The base that `link`'s chain (no base flag) stands on, untold; null when
// it stands on a clear block or on pixels.
const NotedDraw* baseUnder(const DrawNotes& n, uint32_t link);
// Tells base `base` (a draw index) of a layout width by height: the block
// is what chain `link` composes. False when that chain stands on an untold
// base.
bool tellBase(DrawNotes& n, uint32_t base, uint32_t link, int width, int height);
// Makes width by height the latest layout, as a window of that size opened
// would, but with the blocks' content left as it is.
void useLayout(DrawNotes& n, int width, int height);

}  // namespace delve
