// Without SDL video a window test cannot run. On a developer's machine that is
// a skip; in CI (CI=true) it fails, because CTest counts a skip as a pass and
// a run without the window backend would otherwise look green.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

namespace delve {

inline bool runningInCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

}  // namespace delve

#define DELVE_SKIP_WITHOUT_VIDEO(backend)                                                          \
    if (!(backend)) {                                                                               \
        if (::delve::runningInCi()) FAIL() << "SDL video unavailable in CI: " << SDL_GetError();   \
        GTEST_SKIP() << "SDL video unavailable: " << SDL_GetError();                                \
    }
