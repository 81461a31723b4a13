#include "recording/checkpoint.h"

#include "game/trace.h"
#include "recording/recording_format.h"

namespace delve {

uint64_t checkpointDigest(const Game& g, const std::string& shownMessage) {
    uint64_t hash = fnv1a64(traceLine(g, shownMessage) + "\n");
    const Screen& s = g.io.screen;
    const auto& page = s.pages[s.visiblePage];
    return fnv1a64(page.data(), page.size(), hash);
}

}  // namespace delve
