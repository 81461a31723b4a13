// Delve in a browser page (the WebAssembly build): the same program as the
// window, on the web backend, with res/ and tiles/ preloaded into the
// in-memory file system. Clicks and taps on the map walk as in the window.
#include <memory>
#include <string>

#include "platform/web/wasm/game_folder.h"
#include "platform/web/wasm/web_backend.h"
#include "recording/recording_backend.h"
#include "shell/recorded_run.h"
#include "shell/walk_backend.h"

int main(int argc, char** argv) {
    // "--data DIR", as on the desktop: the page plays a player's own data
    // files from there (see web_own_data.cpp).
    const std::string root = argc == 3 && std::string(argv[1]) == "--data" ? argv[2] : delve::kWebGameRoot;
    std::unique_ptr<delve::Backend> backend = delve::createWebBackend();
    delve::makeFoldersWritable(root);
    // The window's stages and walker; the page keeps no recording file.
    delve::WalkBackend walker(*backend);
    delve::RecordingBackend unrecorded(walker, nullptr);
    delve::Platform platform(unrecorded);
    platform.files.root = root;
    auto game = std::make_unique<delve::Game>(platform);
    const int status = delve::runRecorded(*game, unrecorded, nullptr, nullptr, &walker);
    delve::announceProgramEnded();
    return status;
}
