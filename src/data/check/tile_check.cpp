#include "data/check/tile_check.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "game/key_value_store.h"
#include "platform/files.h"
#include "platform/system.h"
#include "render/tile_drawing.h"
#include "render/tile_image.h"

namespace delve::check {

namespace {

struct WantedTile {
    std::string gameName;  // "tiles\\map\\map_219.til"
    std::string use;
};

// The map tiles of the level's cells, of the icons in the two summaries and of
// the unexplored cover; the font tiles of printable text and of the frames.
std::vector<WantedTile> wantedTiles(const Definition& definition) {
    const std::pair<int, const char*> mapTiles[] = {
        {176, "rock"},         {219, "floor"},          {247, "stairs"},         {45, "open door"},
        {254, "locked door"},  {35, "gate"},            {177, "thin wall"},      {248, "gold"},
        {244, "mana potion"},  {236, "health potion"},  {231, "chest"},          {241, "Mystic Orb"},
        {253, "Snake"},        {240, "Orc"},            {243, "Viperess"},       {224, "Zombie"},
        {227, "Shadow"},       {64, "shop"},            {249, "unexplored cell"}, {107, "key icon"},
        {98, "bomb icon"},
    };
    std::vector<WantedTile> wanted;
    for (const auto& [code, use] : mapTiles) wanted.push_back({mapTileName(code), use});
    for (int code = 33; code <= 126; ++code)
        wanted.push_back({fontTileName(code), "the character " + std::string(1, static_cast<char>(code))});
    for (int code : {179, 191, 192, 196, 217, 218})
        wanted.push_back({fontTileName(code), "a panel frame"});
    wanted.push_back({fontTileName(254), "the title screen's bullet"});
    std::vector<std::string> seen;
    for (size_t i = 0; i < definition.memberImages.size(); ++i) {
        const std::string& image = definition.memberImages[i];
        if (image.size() != 4) continue;  // reported with the definition
        const std::string name = "tiles\\party\\" + toUpperAscii(image) + "_001.TIL";
        bool repeat = false;
        for (const auto& s : seen) repeat = repeat || s == name;
        if (repeat) continue;
        seen.push_back(name);
        wanted.push_back({name, "the portrait of " + definition.memberNames[i]});
    }
    return wanted;
}

std::string shown(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

bool isFolderPath(const std::string& path) {
    FileStatus st;
    return !path.empty() && statusOf(path, st) && S_ISDIR(st.st_mode);
}

std::string folderOf(const std::string& gameName) { return gameName.substr(0, gameName.rfind('\\')); }

// Why the bytes draw nothing or draw wrongly; empty when they are a good tile.
std::string tileProblem(const std::string& bytes) {
    if (bytes.empty()) return "empty; the game draws nothing for it";
    if (static_cast<unsigned char>(bytes[0]) != kTileSignature) {
        char text[96];
        std::snprintf(text, sizeof text, "not a tile file (first byte 0x%02X, not 0xFD); the game draws nothing for it",
                      static_cast<unsigned char>(bytes[0]));
        return text;
    }
    auto byteAt = [&](size_t i) -> unsigned { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const unsigned width = (byteAt(7) | (byteAt(8) << 8)) & 0x7FFF;
    const unsigned height = (byteAt(9) | (byteAt(10) << 8)) & 0x7FFF;
    if (!decodeTileImage(bytes))
        return "its size " + std::to_string(width) + " by " + std::to_string(height) +
               " cannot be drawn (0, or above " + std::to_string(kMaxTileSide) + "); the game draws nothing for it";
    const size_t needed = 11 + static_cast<size_t>(height) * 4 * ((width + 7) / 8);
    if (bytes.size() < needed)
        return "its pixel data ends early (" + std::to_string(bytes.size()) + " of " + std::to_string(needed) +
               " bytes); the rest of the picture draws as colour 0";
    return "";
}

}  // namespace

int checkTiles(const std::string& root, const Definition& definition, Report& report) {
    Files files;
    files.root = root;
    if (!isFolderPath(resolveGameFile(files, "tiles"))) {
        addFinding(report, "tiles", 0, "missing folder; the game draws a placeholder for every picture");
        return 0;
    }
    const std::vector<WantedTile> wanted = wantedTiles(definition);
    std::map<std::string, int> missingInFolder;
    int checked = 0;
    for (const WantedTile& tile : wanted) {
        const std::string folder = folderOf(tile.gameName);
        if (!isFolderPath(resolveGameFile(files, folder))) {
            ++missingInFolder[folder];
            continue;
        }
        ++checked;
        const std::string path = resolveGameFile(files, tile.gameName);
        FileStatus st;
        if (!statusOf(path, st)) {
            addFinding(report, shown(tile.gameName), 0,
                       "missing (" + tile.use + "); the game would create it empty and draw nothing");
            continue;
        }
        if (!S_ISREG(st.st_mode)) {  // never opened: a pipe or device could block or never end
            addFinding(report, shown(tile.gameName), 0, "not a plain file (" + tile.use + ")");
            continue;
        }
        std::ifstream in(pathOf(path), std::ios::binary);
        if (!in) {
            addFinding(report, shown(tile.gameName), 0, "cannot be read (" + tile.use + ")");
            continue;
        }
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string problem = tileProblem(bytes.str());
        if (!problem.empty()) addFinding(report, shown(tile.gameName), 0, problem + " (" + tile.use + ")");
    }
    for (const auto& [folder, count] : missingInFolder)
        addFinding(report, shown(folder), 0,
                   "missing folder; the " + std::to_string(count) +
                       " tiles the game draws from it show as the placeholder");
    return checked;
}

}  // namespace delve::check
