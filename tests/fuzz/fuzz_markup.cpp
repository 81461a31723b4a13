// Any text through the markup printer, at any cell: the first eight bytes
// choose the row and column (any 32-bit values), the rest is the text. Files
// are rooted at an empty folder, so every tile is the missing-file
// placeholder and nothing is written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "platform/headless/headless_backend.h"
#include "platform/platform.h"
#include "render/text_printer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    // One window for the whole run: opening it clears eight pages, which
    // would cost more than the printing under test.
    static HeadlessBackend backend;
    static Platform platform = [] {
        Platform p(backend);
        p.files.root = fuzz::makeTempFolder();
        openWindow(p, 960, 720);
        setPages(p, 0, 1);
        return p;
    }();
    if (size < 8) return 0;
    int32_t row = 0, column = 0;
    std::memcpy(&row, data, 4);
    std::memcpy(&column, data + 4, 4);
    // Mostly on the screen, sometimes anywhere at all.
    if ((row & 0x40000000) == 0) row = row % 50;
    if ((column & 0x40000000) == 0) column = column % 70;
    const std::string text(reinterpret_cast<const char*>(data + 8), size - 8);

    const int cells = markupCellCount(text);
    if (cells < 0 || static_cast<size_t>(cells) > text.size()) std::abort();
    if (!text.empty() && cells == 0) std::abort();

    printMarkup(platform, row, column, text);
    if (platform.files.filesWritten != 0) std::abort();
    return 0;
}
