// The page's studio: an author's data folder, written into the page's file
// system, checked by the data check and drawn by the game itself. Nothing
// here is the studio's own version of a rule: the preview is the game run
// on a script, exactly as delve-replay runs it, so the two give the same
// picture of the same files.
#include <emscripten/emscripten.h>
#include <dirent.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "data/check/folder_check.h"
#include "data/check/report.h"
#include "flow/program.h"
#include "own_data/own_data_plan.h"
#include "platform/files.h"
#include "platform/headless/headless_backend.h"
#include "platform/palette.h"
#include "platform/system.h"
#include "render/tile_image.h"

namespace {

std::string studioText;  // the latest listing or findings, read by the page before the next call

// A copy in memory the page takes over (and frees); null when none is left.
uint8_t* handedOver(const uint8_t* bytes, size_t size) {
    auto* copy = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (copy && size) std::memcpy(copy, bytes, size);
    return copy;
}

// Every plain file below `root`, relative to it. Each folder is listed
// whole before the next, as the page's file system wants.
std::vector<std::string> studioFilesBelow(const std::string& root) {
    std::vector<std::string> folders{""};
    std::vector<std::string> files;
    for (size_t i = 0; i < folders.size(); i++) {
        std::vector<std::string> names;
        if (!delve::folderEntries(root + (folders[i].empty() ? "" : "/" + folders[i]), names)) continue;
        for (const std::string& name : names) {
            const std::string relative = folders[i].empty() ? name : folders[i] + "/" + name;
            // This file system's stat does not tell folders apart; a
            // folder is what can be opened as one.
            const std::string path = root + "/" + relative;
            if (DIR* folder = ::opendir(path.c_str())) {
                ::closedir(folder);
                folders.push_back(relative);
                continue;
            }
            delve::FileStatus status;
            if (delve::statusOf(path, status)) files.push_back(relative);
        }
    }
    return files;
}

// What delve-replay's --seed types before its keys: digits only.
bool isSeedText(const std::string& seed) {
    if (seed.empty() || seed.size() > 9) return false;
    for (const char c : seed)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

extern "C" {

// The files below `root`, one relative path a line.
EMSCRIPTEN_KEEPALIVE const char* delve_web_studio_list(const char* root) {
    studioText.clear();
    for (const std::string& path : studioFilesBelow(root)) {
        if (!studioText.empty()) studioText += '\n';
        studioText += path;
    }
    return studioText.c_str();
}

// A file's bytes (out: how many), for the page to free; null when it cannot
// be read.
EMSCRIPTEN_KEEPALIVE uint8_t* delve_web_studio_read(const char* path, double* size) {
    std::FILE* file = delve::openFile(path, "rb");
    if (!file) return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[16384];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > delve::kMaxGameFileBytes) break;
    }
    const bool whole = !std::ferror(file) && bytes.size() <= delve::kMaxGameFileBytes;
    std::fclose(file);
    if (!whole) return nullptr;
    *size = static_cast<double>(bytes.size());
    return handedOver(bytes.data(), bytes.size());
}

// Empties `root` (the folder itself goes too): 1 when nothing is left.
EMSCRIPTEN_KEEPALIVE int delve_web_studio_clear(const char* root) {
    std::error_code ec;
    if (std::filesystem::symlink_status(delve::pathOf(root), ec).type() == std::filesystem::file_type::not_found)
        return 1;
    return delve::removeOwnFiles(root) ? 1 : 0;
}

// One file of the work below `root`, its folders made; refused (0) for a
// path that could reach outside it, as the import refuses one.
EMSCRIPTEN_KEEPALIVE int delve_web_studio_put(const char* root, const char* path, const uint8_t* bytes, double size) {
    return delve::writeOwnFile(root, path, bytes, static_cast<size_t>(size)) ? 1 : 0;
}

// The data check of the folder: its first line the count of tiles checked
// (or "!" and why the folder cannot be checked), then the findings, one a
// line, as delve-check prints them.
EMSCRIPTEN_KEEPALIVE const char* delve_web_studio_check(const char* root) {
    delve::check::Report report;
    const delve::check::FolderCheck checked = delve::check::checkGameFolder(root, report);
    if (!checked.problem.empty()) {
        studioText = "!" + checked.problem;
        return studioText.c_str();
    }
    std::ostringstream out;
    delve::check::printFindings(out, report);
    studioText = std::to_string(checked.tiles) + "\n" + out.str();
    while (!studioText.empty() && studioText.back() == '\n') studioText.pop_back();
    return studioText.c_str();
}

// The first level of `seed` on the data at `root`: the game run on a script
// of the seed and the key that ends the intro until the script runs out (at
// the first turn's key), exactly as `delve-replay --dir ROOT --seed SEED
// --keys " "` runs it, so the picture is its screenshot. The visible page's palette indices
// come back for the page to free; out: width, height, the palette (RGB
// triples, in memory the program keeps) and its number of colours.
EMSCRIPTEN_KEEPALIVE uint8_t* delve_web_studio_preview(const char* root, const char* seed, double* out) {
    if (!isSeedText(seed)) return nullptr;
    delve::HeadlessBackend backend(std::string("@") + seed + "\r ");
    delve::Platform platform(backend);
    platform.files.root = root;
    auto game = std::make_unique<delve::Game>(platform);
    delve::Program program;
    try {
        while (program.stage != delve::Stage::Ended) delve::advanceProgram(*game, program);
    } catch (const delve::RunEnded&) {
        // The script is used up: the picture is what the game shows then.
    }
    const delve::Screen& screen = platform.screen;
    const auto& page = screen.pages[screen.visiblePage];
    if (page.empty()) return nullptr;
    static_assert(sizeof(delve::Rgb) == 3, "the palette is handed over as RGB triples");
    out[0] = screen.width;
    out[1] = screen.height;
    out[2] = static_cast<double>(reinterpret_cast<uintptr_t>(delve::defaultPalette().data()));
    out[3] = static_cast<double>(delve::defaultPalette().size());
    return handedOver(page.data(), page.size());
}

// A tile file's picture as the game loads it (doubled), palette indices row
// after row for the page to free; out: width and height. Null when it is not
// a tile file.
EMSCRIPTEN_KEEPALIVE uint8_t* delve_web_studio_tile(const uint8_t* bytes, double size, double* out) {
    const std::optional<delve::Image> image =
        delve::decodeTileImage(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)));
    if (!image || image->pixels.empty()) return nullptr;
    out[0] = image->width;
    out[1] = image->height;
    return handedOver(image->pixels.data(), image->pixels.size());
}

// The palette every picture of the game is drawn in, RGB triples in memory
// the program keeps; out: its number of colours.
EMSCRIPTEN_KEEPALIVE const uint8_t* delve_web_studio_palette(double* out) {
    out[0] = static_cast<double>(delve::defaultPalette().size());
    return reinterpret_cast<const uint8_t*>(delve::defaultPalette().data());
}

}  // extern "C"
