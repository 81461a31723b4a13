#include "fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace delve::fuzz {

namespace fs = std::filesystem;

namespace {

// Folders to remove at exit; a static object so libFuzzer's normal exit runs
// its destructor.
struct Cleanup {
    std::vector<std::string> folders;
    ~Cleanup() {
        std::error_code ec;
        for (const auto& f : folders) fs::remove_all(f, ec);
    }
};

Cleanup& cleanup() {
    static Cleanup c;
    return c;
}

}  // namespace

std::string makeTempFolder() {
    std::string templ = (fs::temp_directory_path() / "delve-fuzz-XXXXXX").string();
    if (!::mkdtemp(templ.data())) std::abort();
    cleanup().folders.push_back(templ);
    return templ;
}

void writeFile(const std::string& folder, const std::string& relative, const std::string& bytes) {
    const fs::path full = fs::path(folder) / relative;
    std::error_code ec;
    fs::create_directories(full.parent_path(), ec);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void copyTree(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (!fs::is_directory(from, ec)) return;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
}

}  // namespace delve::fuzz
