// Any bytes as a kept picture: the reader either refuses them or gives a
// screen that the writer writes to bytes that read back as the same screen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "recording/kept_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    const auto picture = decodeKeptPicture(std::string(reinterpret_cast<const char*>(data), size));
    if (!picture) return 0;
    const Screen& s = picture->screen;
    for (const auto& page : s.pages)
        if (page.size() != static_cast<size_t>(s.width) * s.height) std::abort();
    const auto again = decodeKeptPicture(encodeKeptPicture(*picture));
    if (!again || again->program != picture->program || again->playedBytes != picture->playedBytes ||
        again->playedDigest != picture->playedDigest || again->screen.pages != s.pages ||
        again->screen.width != s.width || again->screen.height != s.height ||
        again->screen.workPage != s.workPage || again->screen.visiblePage != s.visiblePage ||
        again->screen.cursorRow != s.cursorRow || again->screen.cursorColumn != s.cursorColumn)
        std::abort();
    return 0;
}
