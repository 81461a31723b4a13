#include "platform/draw_notes.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/screen.h"

namespace delve {

namespace {

// A block whose chain grows this long (draws that combine over what is
// there, never covering it) is rasterised into an image of its own, so no
// block ever costs more than this many draws to compose.
constexpr uint32_t kLongestChain = 48;

// What an entry of the notes' tables costs beyond its own bytes (hash
// nodes, buckets), roughly.
constexpr size_t kIndexEntryBytes = 48;

struct Rect {
    int64_t left, top, right, bottom;  // right and bottom excluded
    bool empty() const { return left >= right || top >= bottom; }
};

Rect intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

Rect blockRect(const DrawNotes::Layout& l, int b) {
    const int64_t x = int64_t{b % l.columns} * kNoteBlock, y = int64_t{b / l.columns} * kNoteBlock;
    return {x, y, std::min<int64_t>(x + kNoteBlock, l.width), std::min<int64_t>(y + kNoteBlock, l.height)};
}

// The four runs of a solid outline: its top and bottom rows, its left and
// right columns, corners included.
std::array<Rect, 4> outlineRuns(const NotedDraw& d) {
    const int64_t left = std::min(d.x1, d.x2), right = int64_t{std::max(d.x1, d.x2)} + 1;
    const int64_t top = std::min(d.y1, d.y2), bottom = int64_t{std::max(d.y1, d.y2)} + 1;
    return {Rect{left, d.y1, right, int64_t{d.y1} + 1}, Rect{left, d.y2, right, int64_t{d.y2} + 1},
            Rect{d.x1, top, int64_t{d.x1} + 1, bottom}, Rect{d.x2, top, int64_t{d.x2} + 1, bottom}};
}

Rect boxRect(const NotedDraw& d) {
    return {std::min(d.x1, d.x2), std::min(d.y1, d.y2), int64_t{std::max(d.x1, d.x2)} + 1,
            int64_t{std::max(d.y1, d.y2)} + 1};
}

Rect imageRect(const DrawNotes& n, const NotedDraw& d) {
    const Image& image = n.images[d.image];
    return {d.x1, d.y1, int64_t{d.x1} + image.width, int64_t{d.y1} + image.height};
}

bool touches(const DrawNotes& n, const NotedDraw& d, const Rect& block) {
    switch (d.kind) {
        case NotedDraw::Kind::Image: return !intersect(imageRect(n, d), block).empty();
        case NotedDraw::Kind::FilledBox: return !intersect(boxRect(d), block).empty();
        case NotedDraw::Kind::Outline:
            for (const Rect& run : outlineRuns(d))
                if (!intersect(run, block).empty()) return true;
            return false;
        case NotedDraw::Kind::Base: return false;
    }
    return false;
}

// Whether the draw leaves every pixel of the block its own, whatever was
// there before.
bool covers(const DrawNotes& n, const NotedDraw& d, const Rect& block) {
    Rect r;
    if (d.kind == NotedDraw::Kind::Image) {
        if (d.mode != Combine::Pset && d.mode != Combine::Preset) return false;
        r = imageRect(n, d);
    } else if (d.kind == NotedDraw::Kind::FilledBox) {
        r = boxRect(d);
    } else {
        return false;
    }
    return r.left <= block.left && r.top <= block.top && r.right >= block.right && r.bottom >= block.bottom;
}

// Where pixels go: the pixel (x, y) of the page is at
// pixels[(y - top) * stride + x - left].
struct Target {
    uint8_t* pixels;
    int64_t stride, left, top;
    uint8_t* at(int64_t x, int64_t y) const { return pixels + (y - top) * stride + (x - left); }
};

// Does the draw onto the target, inside `clip` only: each pixel comes out
// as the whole draw onto the whole page leaves it.
void rasterise(const DrawNotes& n, const NotedDraw& d, const Rect& clip, const Target& target) {
    auto fill = [&](const Rect& r) {
        const Rect c = intersect(r, clip);
        if (c.empty()) return;
        for (int64_t y = c.top; y < c.bottom; ++y)
            std::memset(target.at(c.left, y), d.colour, static_cast<size_t>(c.right - c.left));
    };
    switch (d.kind) {
        case NotedDraw::Kind::FilledBox: fill(boxRect(d)); return;
        case NotedDraw::Kind::Outline:
            for (const Rect& run : outlineRuns(d)) fill(run);
            return;
        case NotedDraw::Kind::Base: return;  // told before any compose; never guessed
        case NotedDraw::Kind::Image: break;
    }
    const Image& image = n.images[d.image];
    const Rect c = intersect(imageRect(n, d), clip);
    if (c.empty()) return;
    const auto count = static_cast<size_t>(c.right - c.left);
    for (int64_t y = c.top; y < c.bottom; ++y) {
        const uint8_t* s = image.pixels.data() + (y - d.y1) * image.width + (c.left - d.x1);
        uint8_t* t = target.at(c.left, y);
        combineRow(t, s, count, d.mode);
    }
}

// The block's pixels from its chain: cleared, then every draw of the chain
// from the first.
void composeBlock(const DrawNotes& n, uint32_t link, const Rect& block, const Target& target) {
    uint32_t chain[kLongestChain + 2];
    size_t length = 0;
    for (uint32_t at = link; at != 0 && length < kLongestChain + 2; at = n.links[at].parent)
        chain[length++] = n.links[at].draw;
    for (int64_t y = block.top; y < block.bottom; ++y)
        std::memset(target.at(block.left, y), 0, static_cast<size_t>(block.right - block.left));
    while (length > 0) rasterise(n, n.draws[chain[--length]], block, target);
}

uint64_t hashBytes(const uint8_t* p, size_t size, uint64_t h = 1469598103934665603ull) {
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// A game draws some nine hundred times a turn, nearly all of it what it
// drew the turn before: a small table of the latest draws and links met
// answers most look-ups before the full index is asked.
constexpr size_t kRecentSlots = 4096;

uint32_t internDraw(DrawNotes& n, const NotedDraw& d) {
    const size_t hash = DrawNotes::DrawHash{}(d);
    if (n.recentDraws.empty()) n.recentDraws.resize(kRecentSlots);
    DrawNotes::RecentDraw& slot = n.recentDraws[hash % kRecentSlots];
    if (slot.id != UINT32_MAX && slot.draw == d) return slot.id;
    const auto [at, added] = n.drawIndex.try_emplace(d, static_cast<uint32_t>(n.draws.size()));
    if (added) {
        n.draws.push_back(d);
        n.rootLinks.push_back(0);
    }
    slot = {d, at->second};
    return at->second;
}

uint32_t internLink(DrawNotes& n, uint32_t parent, uint32_t draw) {
    if (parent == 0 && n.rootLinks[draw] != 0) return n.rootLinks[draw];
    const uint64_t key = (uint64_t{parent} << 32) | draw;
    if (n.recentLinks.empty()) n.recentLinks.resize(kRecentSlots);
    auto& slot = n.recentLinks[(key * 0x9E3779B97F4A7C15ull) >> 52];
    if (slot.first == key + 1) return slot.second;
    const auto [at, added] = n.linkIndex.try_emplace(key, static_cast<uint32_t>(n.links.size()));
    if (added) n.links.push_back({parent, draw, n.links[parent].depth + 1});
    slot = {key + 1, at->second};
    if (parent == 0) n.rootLinks[draw] = at->second;
    return at->second;
}

// What chain `link` composes on the block, as one image drawn over it.
NotedDraw blockImage(DrawNotes& n, uint32_t link, const Rect& block) {
    const int w = static_cast<int>(block.right - block.left), h = static_cast<int>(block.bottom - block.top);
    Image pixels = createImage(w, h);
    composeBlock(n, link, block, Target{pixels.pixels.data(), w, block.left, block.top});
    NotedDraw d;
    d.image = addImage(n, std::move(pixels));
    d.x1 = static_cast<int32_t>(block.left), d.y1 = static_cast<int32_t>(block.top);
    return d;
}

// A chain grown too long, made one image drawn over the block.
uint32_t flatten(DrawNotes& n, uint32_t link, const Rect& block) {
    return internLink(n, 0, internDraw(n, blockImage(n, link, block)));
}

// The blocks of a window width by height, laid out.
DrawNotes::Layout layoutOf(int width, int height) {
    DrawNotes::Layout l;
    l.width = width, l.height = height;
    l.columns = (width + kNoteBlock - 1) / kNoteBlock, l.rows = (height + kNoteBlock - 1) / kNoteBlock;
    return l;
}

bool notingOn(DrawNotes& n, const Screen& s, int page) {
    if (n.stopped || n.quiet || page < 0 || page >= kPageCount || s.pages[page].empty()) return false;
    if (!n.layouts.empty() && s.width == n.layouts.back().width && s.height == n.layouts.back().height) return true;
    // Pages drawn on that the notes were not there to see open: nothing
    // can be said of them.
    n.stopped = true;
    return false;
}

uint64_t baseKey(int32_t span, uint32_t place) { return uint64_t{static_cast<uint32_t>(span)} << 32 | place; }

// The base a flagged block of the span being noted stands for, made once.
uint32_t baseLinkFor(DrawNotes& n, uint32_t flagged) {
    const uint32_t place = flagged & ~kBaseLink;
    const auto [at, added] = n.baseLinks.try_emplace(baseKey(n.span, place), 0);
    if (!added) return at->second;
    const DrawNotes::Layout& l = n.layouts.back();
    const auto blocks = static_cast<uint32_t>(std::max(l.columns * l.rows, 1));
    NotedDraw d;
    d.kind = NotedDraw::Kind::Base;
    d.x1 = n.span, d.y1 = static_cast<int32_t>(place / blocks), d.x2 = static_cast<int32_t>(place % blocks);
    const auto draw = static_cast<uint32_t>(n.draws.size()), link = static_cast<uint32_t>(n.links.size());
    n.draws.push_back(d);
    n.rootLinks.push_back(link);
    n.links.push_back({0, draw, 1});
    at->second = link;
    return link;
}

DrawTouches::Span& currentSpan(DrawTouches& t) {
    if (t.spans.empty()) t.spans.emplace_back();
    return t.spans.back();
}

// Sets `count` bits from bit `from` on, a word at a time where it can.
void setBits(std::vector<uint64_t>& bits, size_t from, size_t count) {
    for (size_t end = from + count; from < end;) {
        const size_t offset = from % 64, take = std::min<size_t>(64 - offset, end - from);
        bits[from / 64] |= (take == 64 ? ~uint64_t{0} : ((uint64_t{1} << take) - 1)) << offset;
        from += take;
    }
}

// Marks every block `reach` (page pixels) meets on `page` in the current
// span. Every draw of a long recording comes here at opening: the layout is
// the span's, worked out once.
void touch(DrawTouches& t, const Screen& s, int page, const Rect& reach) {
    if (page < 0 || page >= kPageCount || s.width <= 0 || s.height <= 0) return;
    DrawTouches::Span& span = currentSpan(t);
    if (span.bits.empty()) {
        const DrawNotes::Layout l = layoutOf(s.width, s.height);
        span.width = s.width, span.height = s.height, span.columns = l.columns;
        span.blocks = blocksOf(s.width, s.height);
        span.bits.assign((span.blocks * kPageCount + 63) / 64, 0);
    } else if (span.width != s.width || span.height != s.height) {
        // Only a window's opening changes the layout, and it clears the marks.
        t.broken = true;
        return;
    }
    const int64_t left = std::max<int64_t>(reach.left, 0), top = std::max<int64_t>(reach.top, 0);
    const int64_t right = std::min<int64_t>(reach.right, s.width), bottom = std::min<int64_t>(reach.bottom, s.height);
    if (left >= right || top >= bottom) return;
    const auto c0 = static_cast<size_t>(left / kNoteBlock), c1 = static_cast<size_t>((right - 1) / kNoteBlock);
    const auto r0 = static_cast<size_t>(top / kNoteBlock), r1 = static_cast<size_t>((bottom - 1) / kNoteBlock);
    const size_t first = static_cast<size_t>(page) * span.blocks, columns = static_cast<size_t>(span.columns);
    // Whole rows (a page copied, a panel cleared) are one run of bits.
    if (c0 == 0 && c1 + 1 == columns) {
        setBits(span.bits, first + r0 * columns, (r1 - r0 + 1) * columns);
        return;
    }
    for (size_t row = r0; row <= r1; ++row) setBits(span.bits, first + row * columns + c0, c1 - c0 + 1);
}

void noteDraw(DrawNotes& n, int page, const NotedDraw& draw, const Rect& reach) {
    const DrawNotes::Layout& l = n.layouts.back();
    const Rect r = intersect(reach, Rect{0, 0, l.width, l.height});
    if (r.empty()) return;
    const uint32_t d = internDraw(n, draw);
    // Every block the draw covers starts afresh with it alike.
    uint32_t fresh = 0;
    std::vector<uint32_t>& live = n.live[static_cast<size_t>(page)];
    const auto c0 = static_cast<int>(r.left / kNoteBlock), c1 = static_cast<int>((r.right - 1) / kNoteBlock);
    const auto r0 = static_cast<int>(r.top / kNoteBlock), r1 = static_cast<int>((r.bottom - 1) / kNoteBlock);
    // The blocks wholly inside a covering draw (a panel's clearing is some
    // eight hundred) are its own without further looking.
    const bool covering = draw.kind == NotedDraw::Kind::FilledBox ||
                          (draw.kind == NotedDraw::Kind::Image &&
                           (draw.mode == Combine::Pset || draw.mode == Combine::Preset));
    auto lastWhole = [](int64_t right, int64_t edge, int count) {
        return right >= edge ? count - 1 : static_cast<int>(right / kNoteBlock) - 1;
    };
    const auto ci0 = static_cast<int>((r.left + kNoteBlock - 1) / kNoteBlock), ci1 = lastWhole(r.right, l.width, l.columns);
    const auto ri0 = static_cast<int>((r.top + kNoteBlock - 1) / kNoteBlock), ri1 = lastWhole(r.bottom, l.height, l.rows);
    for (int row = r0; row <= r1; ++row)
        for (int column = c0; column <= c1; ++column) {
            const int b = row * l.columns + column;
            if (covering && column >= ci0 && column <= ci1 && row >= ri0 && row <= ri1) {
                if (fresh == 0) fresh = internLink(n, 0, d);
                live[static_cast<size_t>(b)] = fresh;
                continue;
            }
            const Rect block = blockRect(l, b);
            if (!touches(n, draw, block)) continue;
            uint32_t link;
            if (covers(n, draw, block)) {
                if (fresh == 0) fresh = internLink(n, 0, d);
                link = fresh;
            } else {
                uint32_t& under = live[static_cast<size_t>(b)];
                if (isBaseLink(under)) under = baseLinkFor(n, under);
                link = internLink(n, under, d);
            }
            if (n.links[link].depth > kLongestChain) {
                // A chain on a base cannot be rasterised until told.
                if (n.symbolic) {
                    n.stopped = true;
                    return;
                }
                link = flatten(n, link, block);
            }
            live[static_cast<size_t>(b)] = link;
        }
    n.dirty[static_cast<size_t>(page)] = true;
}

}  // namespace

size_t DrawNotes::DrawHash::operator()(const NotedDraw& d) const {
    uint64_t h = (uint64_t{static_cast<uint8_t>(d.kind)} << 16) | (uint64_t{static_cast<uint8_t>(d.mode)} << 8) |
                 d.colour;
    for (const int64_t v : {int64_t{d.image}, int64_t{d.x1}, int64_t{d.y1}, int64_t{d.x2}, int64_t{d.y2}})
        h = (h ^ static_cast<uint64_t>(v)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h ^ (h >> 29));
}

uint32_t addImage(DrawNotes& n, Image image) {
    const uint64_t h = hashBytes(image.pixels.data(), image.pixels.size(),
                                 (uint64_t(image.width) << 32) ^ uint64_t(image.height));
    const auto [first, last] = n.imageIndex.equal_range(h);
    for (auto at = first; at != last; ++at) {
        const Image& known = n.images[at->second];
        if (known.width == image.width && known.height == image.height && known.pixels == image.pixels)
            return at->second;
    }
    const auto index = static_cast<uint32_t>(n.images.size());
    n.imageIndex.emplace(h, index);
    n.imageBytes += image.pixels.size() + kIndexEntryBytes;
    n.images.push_back(std::move(image));
    return index;
}

void noteWindow(DrawNotes& n, int width, int height) {
    if (n.touches) {
        DrawTouches::Span& span = currentSpan(*n.touches);
        span.all = true;
        span.bits.clear();
        return;
    }
    if (n.stopped || n.quiet) return;
    if (width <= 0 || height <= 0) width = height = 0;
    // Every page is cleared. A new size lays the blocks out afresh from the
    // turn being played; a layout no turn ended in is only replaced.
    const int32_t from = n.turn + 1;
    if (n.layouts.empty() || n.layouts.back().width != width || n.layouts.back().height != height) {
        if (!n.layouts.empty() && n.layouts.back().from == from) n.layouts.pop_back();
        DrawNotes::Layout l = layoutOf(width, height);
        l.from = from;
        const auto blocks = static_cast<size_t>(l.columns) * static_cast<size_t>(l.rows);
        l.noted.assign(kPageCount, std::vector<uint32_t>(blocks, 0));
        l.changes.assign(kPageCount, std::vector<std::vector<DrawNotes::Change>>(blocks));
        n.layouts.push_back(std::move(l));
    }
    const auto blocks = static_cast<size_t>(n.layouts.back().columns) * static_cast<size_t>(n.layouts.back().rows);
    n.live.assign(kPageCount, std::vector<uint32_t>(blocks, 0));
    n.dirty.assign(kPageCount, true);
}

void noteImage(DrawNotes& n, const Screen& s, int x, int y, uint32_t image, Combine mode) {
    NotedDraw d;
    d.kind = NotedDraw::Kind::Image;
    d.mode = mode;
    d.image = image;
    d.x1 = x, d.y1 = y;
    if (n.touches) {
        touch(*n.touches, s, s.workPage, imageRect(n, d));
        return;
    }
    if (!notingOn(n, s, s.workPage)) return;
    noteDraw(n, s.workPage, d, imageRect(n, d));
}

void noteBox(DrawNotes& n, const Screen& s, int x1, int y1, int x2, int y2, int colour, LineShape shape) {
    if (n.touches) {
        if (shape == LineShape::Line) n.touches->broken = true;
        NotedDraw d;
        d.x1 = x1, d.y1 = y1, d.x2 = x2, d.y2 = y2;
        touch(*n.touches, s, s.workPage, boxRect(d));
        return;
    }
    if (!notingOn(n, s, s.workPage)) return;
    if (shape == LineShape::Line) {
        // Nothing draws loose lines onto a page; should anything start to,
        // its pictures are drawn rather than guessed.
        n.stopped = true;
        return;
    }
    NotedDraw d;
    d.kind = shape == LineShape::FilledBox ? NotedDraw::Kind::FilledBox : NotedDraw::Kind::Outline;
    d.colour = static_cast<uint8_t>(colour);
    d.x1 = x1, d.y1 = y1, d.x2 = x2, d.y2 = y2;
    noteDraw(n, s.workPage, d, boxRect(d));
}

void notePageCopy(DrawNotes& n, const Screen& s, int sourcePage, int destinationPage) {
    if (n.touches) {
        touch(*n.touches, s, destinationPage, Rect{0, 0, s.width, s.height});
        return;
    }
    if (!notingOn(n, s, destinationPage) || !notingOn(n, s, sourcePage)) return;
    n.live[static_cast<size_t>(destinationPage)] = n.live[static_cast<size_t>(sourcePage)];
    n.dirty[static_cast<size_t>(destinationPage)] = true;
}

void noteTurnEnd(DrawNotes& n, int32_t turn) {
    if (n.stopped) return;
    for (size_t p = 0; p < n.live.size(); ++p) {
        if (!n.dirty[p]) continue;
        n.dirty[p] = false;
        DrawNotes::Layout& l = n.layouts.back();
        const std::vector<uint32_t>& live = n.live[p];
        std::vector<uint32_t>& noted = l.noted[p];
        for (size_t b = 0; b < live.size(); ++b) {
            if (live[b] == noted[b]) continue;
            noted[b] = live[b];
            l.changes[p][b].push_back({turn, live[b]});
            ++n.changeCount;
        }
    }
    n.turn = turn;
    if (n.bytesLimit != 0 && noteBytes(n) > n.bytesLimit) n.stopped = true;
}

size_t noteBytes(const DrawNotes& n) {
    size_t bytes = n.draws.size() * (sizeof(NotedDraw) * 2 + kIndexEntryBytes) +
                   n.links.size() * (sizeof(DrawNotes::Link) + kIndexEntryBytes);
    // A change list grows by half again when full: a third more than it holds.
    bytes += n.imageBytes + n.changeCount * sizeof(DrawNotes::Change) * 4 / 3;
    for (const auto& l : n.layouts)
        if (!l.changes.empty())
            bytes += l.changes.size() * l.changes[0].size() * (sizeof(std::vector<int>) + sizeof(uint32_t) * 2);
    return bytes + n.tiles.size() * (kIndexEntryBytes + 64) + n.keptAlongside;
}

bool composePage(const DrawNotes& n, int32_t turn, Screen& s, int page) {
    if (page < 0 || page >= kPageCount || s.pages[page].empty() || n.layouts.empty()) return false;
    if (turn > n.turn || (turn < 0 && n.stopped)) return false;
    // The layout the turn ended in.
    auto l = n.layouts.end();
    if (turn < 0) {
        --l;
    } else {
        l = std::upper_bound(n.layouts.begin(), n.layouts.end(), turn,
                             [](int32_t t, const DrawNotes::Layout& x) { return t < x.from; });
        if (l == n.layouts.begin()) return false;
        --l;
    }
    if (s.width != l->width || s.height != l->height) return false;
    uint8_t* pixels = s.pages[page].data();
    const auto blocks = static_cast<int>(l->columns) * l->rows;
    if (turn < 0 ? n.live.size() != kPageCount || n.live[static_cast<size_t>(page)].size() != static_cast<size_t>(blocks)
                 : l->changes.size() != kPageCount)
        return false;
    for (int b = 0; b < blocks; ++b) {
        uint32_t link = 0;
        if (turn < 0) {
            link = n.live[static_cast<size_t>(page)][static_cast<size_t>(b)];
            if (isBaseLink(link)) return false;  // not told: nothing is guessed
        } else {
            const auto& c = l->changes[static_cast<size_t>(page)][static_cast<size_t>(b)];
            const auto after = std::upper_bound(c.begin(), c.end(), turn,
                                                [](int32_t t, const DrawNotes::Change& x) { return t < x.turn; });
            if (after != c.begin()) link = std::prev(after)->link;
        }
        composeBlock(n, link, blockRect(*l, b), Target{pixels, s.width, 0, 0});
    }
    return true;
}

size_t blocksOf(int width, int height) {
    const DrawNotes::Layout l = layoutOf(width, height);
    return static_cast<size_t>(l.columns) * static_cast<size_t>(l.rows);
}

bool touched(const DrawTouches& t, size_t span, int width, int height, int page, int block) {
    if (span >= t.spans.size()) return true;
    const DrawTouches::Span& s = t.spans[span];
    if (s.all) return true;
    if (s.bits.empty()) return false;
    if (s.width != width || s.height != height) return true;
    const size_t blocks = s.blocks;
    if (page < 0 || page >= kPageCount || block < 0 || static_cast<size_t>(block) >= blocks) return true;
    const size_t bit = static_cast<size_t>(page) * blocks + static_cast<size_t>(block);
    return (s.bits[bit / 64] >> (bit % 64) & 1) != 0;
}

DrawTouches::Span joinSpans(const DrawTouches::Span& first, const DrawTouches::Span& second) {
    // A window opened in the second clears what the first drew.
    if (second.all) return second;
    DrawTouches::Span joined = first;
    if (second.bits.empty()) return joined;
    if (joined.bits.empty() || joined.width != second.width || joined.height != second.height) {
        // Drawn on in another layout after a window opened: every block is
        // the joined span's own all the same.
        joined.all = joined.all || !joined.bits.empty();
        joined.width = second.width, joined.height = second.height;
        joined.columns = second.columns, joined.blocks = second.blocks;
        joined.bits = second.bits;
        return joined;
    }
    for (size_t i = 0; i < joined.bits.size(); ++i) joined.bits[i] |= second.bits[i];
    return joined;
}

void useLayout(DrawNotes& n, int width, int height) {
    if (width <= 0 || height <= 0) width = height = 0;
    if (!n.layouts.empty() && n.layouts.back().width == width && n.layouts.back().height == height) return;
    DrawNotes::Layout l = layoutOf(width, height);
    l.from = n.turn + 1;
    n.layouts.push_back(std::move(l));
}

void beginSpan(DrawNotes& n, int width, int height, int32_t span) {
    useLayout(n, width, height);
    const DrawNotes::Layout& l = n.layouts.back();
    const auto blocks = static_cast<uint32_t>(l.columns) * static_cast<uint32_t>(l.rows);
    n.span = span;
    n.live.assign(kPageCount, std::vector<uint32_t>(blocks, 0));
    n.dirty.assign(kPageCount, true);
    for (uint32_t p = 0; p < kPageCount; ++p)
        for (uint32_t b = 0; b < blocks; ++b) n.live[p][b] = kBaseLink | (p * blocks + b);
}

int64_t baseDraw(const DrawNotes& n, int32_t span, uint32_t place) {
    const auto at = n.baseLinks.find(baseKey(span, place));
    return at == n.baseLinks.end() ? -1 : int64_t{n.links[at->second].draw};
}

const NotedDraw* baseUnder(const DrawNotes& n, uint32_t link) {
    if (link == 0 || isBaseLink(link)) return nullptr;
    while (n.links[link].parent != 0) link = n.links[link].parent;
    const NotedDraw& root = n.draws[n.links[link].draw];
    return root.kind == NotedDraw::Kind::Base ? &root : nullptr;
}

bool tellBase(DrawNotes& n, uint32_t base, uint32_t link, int width, int height) {
    if (base >= n.draws.size() || n.draws[base].kind != NotedDraw::Kind::Base || baseUnder(n, link)) return false;
    const DrawNotes::Layout l = layoutOf(width, height);
    const int block = n.draws[base].x2;
    if (block < 0 || block >= l.columns * l.rows) return false;
    // Bases are in no index: the draw can change in place.
    n.draws[base] = blockImage(n, link, blockRect(l, block));
    return true;
}

}  // namespace delve
