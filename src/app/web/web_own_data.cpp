// The page's way into a player's own data (WebAssembly build only): the page
// reads the zip or the folder and unpacks each file; everything it decides on
// is decided here, by own_data/own_data_import. Texts handed back stay valid
// until the next call on the same import.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "own_data/own_data_import.h"

namespace {

struct PageImport {
    delve::OwnDataImport import;
    std::string text;  // the latest text handed to the page
};

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void* delve_web_own_begin(const char* root) {
    auto* page = new PageImport;
    page->import.root = root;
    return page;
}

EMSCRIPTEN_KEEPALIVE void delve_web_own_end(void* page) { delete static_cast<PageImport*>(page); }

// A try's files, once checked: this file system keeps them until removed.
EMSCRIPTEN_KEEPALIVE int delve_web_own_remove(void* page) {
    return delve::removeImported(static_cast<PageImport*>(page)->import) ? 1 : 0;
}

// A zip, a piece at a time: its last bytes (out: where its listing is and
// how long), then its listing (how many entries), then each entry's header
// at the place that delve_web_own_zip_header_at gives.
EMSCRIPTEN_KEEPALIVE int delve_web_own_zip_end(void* page, const uint8_t* tail, double tailSize, double fileSize,
                                               double* out) {
    auto& import = static_cast<PageImport*>(page)->import;
    if (!delve::listZipEnd(import, tail, static_cast<size_t>(tailSize), static_cast<uint64_t>(fileSize))) return 0;
    out[0] = static_cast<double>(import.zipEnd.directoryAt);
    out[1] = static_cast<double>(import.zipEnd.directorySize);
    return 1;
}

EMSCRIPTEN_KEEPALIVE int delve_web_own_zip_entries(void* page, const uint8_t* bytes, double size) {
    auto& import = static_cast<PageImport*>(page)->import;
    return delve::listZipEntries(import, bytes, static_cast<size_t>(size)) ? static_cast<int>(import.zipEntries.size())
                                                                           : -1;
}

EMSCRIPTEN_KEEPALIVE double delve_web_own_zip_header_at(void* page, int index) {
    return static_cast<double>(static_cast<PageImport*>(page)->import.zipEntries.at(static_cast<size_t>(index)).headerAt);
}

EMSCRIPTEN_KEEPALIVE int delve_web_own_zip_header(void* page, int index, const uint8_t* bytes, double size) {
    return delve::placeZipHeader(static_cast<PageImport*>(page)->import, static_cast<size_t>(index), bytes,
                                 static_cast<size_t>(size));
}

EMSCRIPTEN_KEEPALIVE void delve_web_own_add_file(void* page, const char* path, double size) {
    delve::addFolderFile(static_cast<PageImport*>(page)->import, path, static_cast<uint64_t>(size));
}

// A dungeon link's unpacked bytes in place of a zip's listing (the import
// keeps them), and once planned, every file taken from them.
EMSCRIPTEN_KEEPALIVE int delve_web_own_link(void* page, const uint8_t* bytes, double size) {
    return delve::listDataLink(static_cast<PageImport*>(page)->import, bytes, static_cast<size_t>(size)) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int delve_web_own_link_store(void* page) {
    return delve::storeDataLink(static_cast<PageImport*>(page)->import) ? 1 : 0;
}

// How many files to take, or -1 when the data cannot be played.
EMSCRIPTEN_KEEPALIVE int delve_web_own_plan(void* page) {
    auto& import = static_cast<PageImport*>(page)->import;
    return delve::planImport(import) ? static_cast<int>(import.plan.take.size()) : -1;
}

// The k-th file to take: its index among the files offered, then for a zip
// its method, where its packed bytes begin and how many there are, and its
// stated size, into out[0..4].
EMSCRIPTEN_KEEPALIVE void delve_web_own_taken(void* page, int k, double* out) {
    const auto& import = static_cast<PageImport*>(page)->import;
    const size_t index = import.plan.take.at(static_cast<size_t>(k)).first;
    out[0] = static_cast<double>(index);
    out[4] = static_cast<double>(import.files[index].size);
    if (index < import.zipEntries.size()) {
        const delve::ZipEntry& entry = import.zipEntries[index];
        out[1] = entry.method;
        out[2] = static_cast<double>(entry.dataOffset);
        out[3] = static_cast<double>(entry.packedSize);
    }
}

EMSCRIPTEN_KEEPALIVE int delve_web_own_store(void* page, int k, const uint8_t* bytes, double size) {
    return delve::storeTaken(static_cast<PageImport*>(page)->import, static_cast<size_t>(k), bytes,
                             static_cast<size_t>(size));
}

EMSCRIPTEN_KEEPALIVE const char* delve_web_own_problem(void* page) {
    auto* p = static_cast<PageImport*>(page);
    p->text = p->import.problem;
    return p->text.c_str();
}

// The check's findings, one a line, after a first line "TILES" (how many
// tiles were checked) or "!" and why the folder could not be checked.
EMSCRIPTEN_KEEPALIVE const char* delve_web_own_check(void* page) {
    auto* p = static_cast<PageImport*>(page);
    const delve::OwnDataCheck checked = delve::checkImported(p->import);
    p->text = checked.problem.empty() ? std::to_string(checked.tiles) : "!" + checked.problem;
    for (const std::string& line : checked.lines) p->text += "\n" + line;
    return p->text.c_str();
}

}  // extern "C"
