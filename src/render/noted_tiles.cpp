#include "render/noted_tiles.h"

#include "platform/draw_notes.h"
#include "platform/numbers.h"
#include "render/tile_drawing.h"
#include "render/tile_image.h"

namespace delve {

namespace {

// Whether the tile's kept bytes are what reading its file would give: with
// a memo, every file read is kept and only a write changes one, so a read
// skipped here would change nothing. Without one the folder may change
// under the game, so every draw reads.
bool current(const Files& files, DrawNotes::NamedTile& tile) {
    if (!files.memo || tile.checkedAt == 0) return false;
    if (tile.checkedAt != files.filesWritten + 1) {
        if (writtenSince(files, tile.key, tile.checkedAt - 1)) return false;
        tile.checkedAt = files.filesWritten + 1;
    }
    return true;
}

}  // namespace

void noteTileFile(Platform& p, int x, int y, const std::string& fileName, Combine mode) {
    DrawNotes& n = *p.screen.notes;
    Files& files = p.files;
    // Names differ in their last few characters ("font_065.til"): those and
    // the length pick a slot of the latest names met, asked before the index.
    uint64_t h = fileName.size();
    for (size_t i = fileName.size() > 12 ? fileName.size() - 12 : 0; i < fileName.size(); ++i)
        h = (h ^ static_cast<unsigned char>(fileName[i])) * 0x100000001B3ull;
    if (n.recentTiles.empty()) n.recentTiles.resize(1024);
    auto& slot = n.recentTiles[(h ^ (h >> 32)) % n.recentTiles.size()];
    auto known = slot.first && *slot.first == fileName ? slot.second : n.tiles.find(fileName);
    if (known != n.tiles.end()) slot = {&known->first, known};
    const bool fresh = known != n.tiles.end() && current(files, known->second);
    int32_t image = fresh ? known->second.image : -1;
    if (!fresh) {
        const auto bytes = readGameFileView(files, fileName);
        if (!bytes) {
            // Not kept: a file that could not be opened may be there later.
            if (n.placeholder < 0) n.placeholder = static_cast<int32_t>(addImage(n, tilePlaceholder()));
            image = n.placeholder;
        } else {
            if (known == n.tiles.end()) {
                known = n.tiles.emplace(fileName, DrawNotes::NamedTile{}).first;
                known->second.key = gameFileKey(files, fileName);
            }
            slot = {&known->first, known};
            DrawNotes::NamedTile& tile = known->second;
            if (tile.checkedAt == 0 || tile.bytes != *bytes) {
                tile.bytes.assign(bytes->data(), bytes->size());
                auto decoded = decodeTileImage(*bytes);
                tile.image = decoded ? static_cast<int32_t>(addImage(n, std::move(*decoded))) : -1;
            }
            tile.checkedAt = files.filesWritten + 1;
            image = tile.image;
        }
    }
    if (image >= 0) noteImage(n, p.screen, x, y, static_cast<uint32_t>(image), mode);
}

void noteCodedTile(Platform& p, int x, int y, int code, bool map) {
    DrawNotes& n = *p.screen.notes;
    const int sx = saturateInt32(2 * int64_t{x}), sy = saturateInt32(2 * int64_t{y});
    if (code < 0 || code > 255 || !p.files.memo) {
        noteTileFile(p, sx, sy, map ? mapTileName(code) : fontTileName(code), Combine::Pset);
        return;
    }
    auto& known = n.codedTiles[static_cast<size_t>(map ? 256 + code : code)];
    if (known && current(p.files, *known)) {
        // As noteTileFile would find it, without the name.
        if (known->image >= 0) noteImage(n, p.screen, sx, sy, static_cast<uint32_t>(known->image), Combine::Pset);
        return;
    }
    const std::string name = map ? mapTileName(code) : fontTileName(code);
    noteTileFile(p, sx, sy, name, Combine::Pset);
    const auto entry = n.tiles.find(name);
    known = entry == n.tiles.end() ? nullptr : &entry->second;
}

}  // namespace delve
