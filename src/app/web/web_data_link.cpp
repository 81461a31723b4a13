// A dungeon link's bytes for the page (WebAssembly build only): the page
// deflates and base64url-encodes them, and unpacks a link's payload with a
// bound; what is in them is read, planned and refused here, by the same
// import a zip goes through (own_data/own_data_import).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "own_data/data_link.h"
#include "own_data/own_data_import.h"

namespace {

struct PagePacking {
    std::vector<delve::DataFile> files;
    std::string packed;
};

}  // namespace

extern "C" {

// The link's limits: 0 its most characters, 1 the most bytes its payload
// may unpack to.
EMSCRIPTEN_KEEPALIVE double delve_web_data_link_limit(int which) {
    return static_cast<double>(which == 0 ? delve::kDataLinkMaxChars : delve::kDataLinkMaxUnpacked);
}

// A work's files, one by one, then packed in order of path.
EMSCRIPTEN_KEEPALIVE void* delve_web_data_pack_begin() { return new PagePacking; }

EMSCRIPTEN_KEEPALIVE void delve_web_data_pack_add(void* page, const char* path, const uint8_t* bytes, double size) {
    static_cast<PagePacking*>(page)->files.push_back(
        {path, std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size))});
}

// The packed bytes (valid until the packing ends); their length into *size.
EMSCRIPTEN_KEEPALIVE const uint8_t* delve_web_data_pack_finish(void* page, double* size) {
    auto* packing = static_cast<PagePacking*>(page);
    packing->packed = delve::packDataFolder(std::move(packing->files));
    packing->files.clear();
    *size = static_cast<double>(packing->packed.size());
    return reinterpret_cast<const uint8_t*>(packing->packed.data());
}

EMSCRIPTEN_KEEPALIVE void delve_web_data_pack_end(void* page) { delete static_cast<PagePacking*>(page); }

}  // extern "C"
