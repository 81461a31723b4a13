#pragma once
// The page keeps the recording of the game in the browser's storage as it
// is played: a backend in front of the page's own that, each time the game
// is about to take keys (so after each key batch has been played and
// written), hands the page the recording's new bytes through
// page.keep(offset, bytes). A reload or a closed tab thus loses at most the
// batch being played. The picture the program keeps beside the recording
// now and then goes to the page too, through page.keepPicture(bytes).
#include <cstdio>
#include <string>

#include "platform/forwarding_backend.h"
#include "kept/kept_file.h"

namespace delve {

class KeptBackend final : public ForwardingBackend {
public:
    explicit KeptBackend(Backend& inner) : ForwardingBackend(inner) {}

    // Keeps `file` from here on; the page already holds its first `alreadyKept` bytes.
    void keep(std::FILE* file, uint64_t alreadyKept);
    // The picture file kept beside the recording, handed over (and removed)
    // whenever one is there.
    void keepPictures(std::string path) { picturePath_ = std::move(path); }
    // Hands the page whatever was written since the last time.
    void handOverNewBytes();

    void pumpKeys(KeyQueue& queue, KeyWait wait) override {
        handOverNewBytes();
        inner().pumpKeys(queue, wait);
    }
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        handOverNewBytes();
        inner().pumpKeysWithin(queue, seconds);
    }

private:
    std::FILE* file_ = nullptr;
    KeptFile kept_;
    std::string picturePath_;
};

// Tells the page, in one sentence, why the game it asked for cannot be
// played or kept (the page shows it beside the game).
void tellPage(const std::string& problem);

}  // namespace delve
