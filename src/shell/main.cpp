// Delve: the game in a real window, run from its own folder (res/ and tiles/
// beside the program). It takes no options.
#include <cstdio>
#include <memory>

#include "platform/sdl/sdl_backend.h"
#include "shell/program.h"

int main() {
    std::unique_ptr<delve::Backend> backend = delve::createSdlBackend();
    if (!backend) {
        std::fprintf(stderr, "delve: cannot open a window (no display?)\n");
        return 1;
    }
    delve::Platform platform(*backend);
    auto game = std::make_unique<delve::Game>(platform);
    return delve::runProgram(*game);
}
