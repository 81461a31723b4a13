#include "kept/wasm/kept_backend.h"

#include <emscripten.h>

#include <string>

EM_JS(void, pageKeep, (double offset, const char* bytes, int size), {
    Module.page.keep(offset, HEAPU8.slice(bytes, bytes + size));
});

EM_JS(void, pageKeepPicture, (const char* bytes, int size), {
    Module.page.keepPicture(HEAPU8.slice(bytes, bytes + size));
});

EM_JS(void, pageProblem, (const char* text), { Module.page.problem(UTF8ToString(text)); });

namespace delve {

void tellPage(const std::string& problem) { pageProblem(problem.c_str()); }

void KeptBackend::keep(std::FILE* file, uint64_t alreadyKept) {
    file_ = file;
    keepFile(kept_, file ? ::fileno(file) : -1, alreadyKept);
}

void KeptBackend::handOverNewBytes() {
    if (!file_) return;
    uint64_t offset = 0;
    std::string bytes;
    const bool grew = takeNewBytes(kept_, offset, bytes);
    if (grew) pageKeep(static_cast<double>(offset), bytes.data(), static_cast<int>(bytes.size()));
    // After the bytes it is a picture of, so the page never holds a picture
    // of more than the recording it holds. A picture comes with new text (a
    // key batch at least), so the pumps within a turn need not look for one;
    // one that did not would only wait for the next.
    constexpr uint64_t kLargestPicture = 64u << 20;
    if (grew && !picturePath_.empty() && takeWholeFile(picturePath_, kLargestPicture, bytes))
        pageKeepPicture(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace delve
