#include "platform/screen.h"

namespace delve {

Surface pageSurface(Screen& screen, int page) {
    if (page < 0 || page >= kPageCount || screen.pages[page].empty()) return Surface{};
    return Surface{screen.pages[page].data(), screen.width, screen.height};
}

Surface workSurface(Screen& screen) {
    if (screen.workPage == screen.visiblePage) screen.visibleDirty = true;
    return pageSurface(screen, screen.workPage);
}

}  // namespace delve
