#include "platform/screen.h"

namespace delve {

Surface pageSurface(Screen& screen, int page) {
    if (page < 0 || page >= kPageCount || screen.pages[page].empty()) return Surface{};
    return Surface{screen.pages[page].data(), screen.width, screen.height};
}

bool pagesFitWindow(Screen& screen) {
    const size_t bytes = static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height);
    return screen.pages[0].size() == bytes || screen.pages.reset(bytes);
}

Surface workSurface(Screen& screen) {
    if (screen.workPage == screen.visiblePage) screen.visibleDirty = true;
    return pageSurface(screen, screen.workPage);
}

}  // namespace delve
