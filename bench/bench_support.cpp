#include "bench_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace delve::bench {

namespace {

std::string& rootSetting() {
    static std::string root;
    return root;
}

std::string wholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

const std::string& gameRoot() { return rootSetting(); }
void setGameRoot(const std::string& root) { rootSetting() = root; }

SeededGame::SeededGame(Stage stop)
    // The first key closes the definition overview and, still queued, opens
    // the seed prompt at the title; the blank after Enter closes the intro.
    : backend(std::string("@") + kSeed + "\r "), platform(backend), game(std::make_unique<Game>(platform)) {
    platform.files.root = gameRoot();
    while (program.stage != stop) {
        if (program.stage == Stage::Ended) throw std::runtime_error("the game ended before the stage was reached");
        advanceProgram(*game, program);
    }
    // Whatever the start-up left queued must not become the first turn's key.
    platform.keys = KeyQueue{};
    snapshot();
}

void SeededGame::snapshot() {
    savedGame_ = std::make_unique<Game>(*game);
    savedRng_ = platform.rng;
}

void SeededGame::restore() {
    game = std::make_unique<Game>(*savedGame_);
    platform.rng = savedRng_;
    platform.keys = KeyQueue{};
}

std::vector<FileOp> fileOpsFromLog(const std::vector<std::string>& log) {
    std::vector<FileOp> ops;
    for (const std::string& entry : log) {
        FileOp op;
        op.write = entry.rfind("w ", 0) == 0;
        op.path = entry.substr(2);
        if (op.write) {
            const size_t slash = op.path.rfind('/');
            op.temp = op.path.substr(0, slash + 1) + ".~" + op.path.substr(slash + 1) + ".tmp";
            op.bytes = wholeFile(op.path);
        } else {
            op.size = wholeFile(op.path).size();
        }
        ops.push_back(std::move(op));
    }
    return ops;
}

uint64_t runFileOps(const std::vector<FileOp>& ops, std::vector<char>& buffer) {
    uint64_t moved = 0;
    for (const FileOp& op : ops) {
        if (!op.write) {
            const int fd = ::open(op.path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) throw std::runtime_error("cannot open " + op.path);
            if (op.size + 1 > buffer.size()) buffer.resize(op.size + 1);
            size_t done = 0;
            while (done < op.size) {
                const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            ::close(fd);
            moved += done;
        } else {
            const int fd = ::open(op.temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd < 0) throw std::runtime_error("cannot write " + op.temp);
            if (::write(fd, op.bytes.data(), op.bytes.size()) != static_cast<ssize_t>(op.bytes.size()))
                throw std::runtime_error("short write to " + op.temp);
            ::close(fd);
            if (::rename(op.temp.c_str(), op.path.c_str()) != 0) throw std::runtime_error("cannot replace " + op.path);
            moved += op.bytes.size();
        }
    }
    return moved;
}

}  // namespace delve::bench
