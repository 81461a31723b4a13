// Delve in a browser page (the WebAssembly build): the same program as the
// window, on the web backend, with res/ and tiles/ preloaded into the
// in-memory file system.
#include <memory>

#include "platform/web/wasm/game_folder.h"
#include "platform/web/wasm/web_backend.h"
#include "shell/program.h"

int main() {
    std::unique_ptr<delve::Backend> backend = delve::createWebBackend();
    delve::makeFoldersWritable(delve::kWebGameRoot);
    delve::Platform platform(*backend);
    platform.files.root = delve::kWebGameRoot;
    auto game = std::make_unique<delve::Game>(platform);
    const int status = delve::runProgram(*game);
    delve::announceProgramEnded();
    return status;
}
