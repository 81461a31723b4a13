#pragma once
// What the benchmarks share: the folder of game data they run in, a game
// from a fixed seed stopped at a chosen stage and put back there between
// iterations, the heap allocation count, and the bare file operations that a
// recorded list of reads and writes stands for.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "flow/program.h"

namespace delve::bench {

// The copy of res/ and tiles/ the benchmarks run in (set up by main), so the
// encounter file they rewrite never lands in the build's game folder.
const std::string& gameRoot();
void setGameRoot(const std::string& root);

// Heap allocations made by this program so far (operator new is counted).
uint64_t allocationCount();

// The seed every benchmark game is started with, typed at the title screen.
constexpr const char* kSeed = "4242";

// A headless game on the benchmark data, started with kSeed and run up to
// (not into) one stage. snapshot() remembers the game and its generator as
// they are; restore() puts both back, so every iteration starts equal.
struct SeededGame {
    explicit SeededGame(Stage stop);
    // The platform points at the backend and the game at the platform.
    SeededGame(const SeededGame&) = delete;
    SeededGame& operator=(const SeededGame&) = delete;
    void snapshot();
    void restore();

    HeadlessBackend backend;
    Platform platform;
    std::unique_ptr<Game> game;
    Program program;

private:
    std::unique_ptr<Game> savedGame_;
    Random savedRng_;
};

// One file operation of a recorded list: a whole read, or a replacement with
// the bytes the game wrote.
struct FileOp {
    bool write = false;
    std::string path;
    std::string temp;  // a write's temporary file, named as the game names it
    std::string bytes;
    size_t size = 0;   // a read's file size when recorded
};

// The operations of a Files log; the bytes of a write are the file's
// contents as the recorded run left them.
std::vector<FileOp> fileOpsFromLog(const std::vector<std::string>& log);
// Performs the operations with nothing else, the strict floor of the file
// work: open, read and close for a read (opened the way the game opens data
// files, read whole in one go into a buffer large enough, as the recorded
// size allows), open, write and close a temporary file and rename it for a
// write. Returns the number of bytes moved.
uint64_t runFileOps(const std::vector<FileOp>& ops, std::vector<char>& buffer);

// For counting system calls from outside (strace): after the turn
// benchmark's setup, plays its turn `count` times, or its floor when `floor`.
void probeTurns(bool floor, int count);

}  // namespace delve::bench
