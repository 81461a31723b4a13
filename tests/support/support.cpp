#include "support/support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace delve::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string templ = (fs::temp_directory_path() / "delve-test-XXXXXX").string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = templ;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // Read-only folders made by a test must not keep their contents alive.
    for (auto& entry : fs::recursive_directory_iterator(path_, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void ScratchDir::write(const std::string& relative, const std::string& bytes) const {
    const fs::path full = fs::path(path_) / relative;
    fs::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::read(const std::string& relative) const {
    std::ifstream in(fs::path(path_) / relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ScratchDir::exists(const std::string& relative) const { return fs::exists(fs::path(path_) / relative); }

HeadlessGame::HeadlessGame(const std::string& root, const std::string& keys)
    : backend(keys), platform(backend), game(platform) {
    platform.files.root = root;
    openWindow(platform, 960, 720);
    setPages(platform, 0, 1);
}

uint64_t pageHash(const Screen& screen, int page) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : screen.pages[page]) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::string stagedGameDir() { return DELVE_GAME_DIR; }

}  // namespace delve::test
