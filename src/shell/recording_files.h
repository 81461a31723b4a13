#pragma once
// Where recordings live: <data folder>/recordings/, one file a game run,
// named by the local date and time it started and, once known, its seed
// ("2026-12-07_204811_seed-17.rec"). The newest 100 are kept. The program
// writing a recording holds a lock on it (platform/file_lock.h), so no
// other program continues a game that is still being played.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_lock.h"

namespace delve {

constexpr size_t kRecordingsKept = 100;

struct RecordingFile {
    std::string folder;
    std::string stem;  // date and time, with "-2", "-3" ... for a second run in the same second
    std::string path;
    std::FILE* file = nullptr;
    FileLock lock;
};

// Creates a new recording file (and the folder); false when it cannot, and
// the game then runs unrecorded.
bool createRecordingFile(const std::string& dataRoot, RecordingFile& out);
// Renames the open file to carry the seed; it stays open and is written on.
void nameRecordingBySeed(RecordingFile& f, float seed);
// Removes the oldest recordings beyond `keep` (by name, which sorts by time).
void pruneRecordings(const std::string& folder, size_t keep);
void closeRecordingFile(RecordingFile& f);
// A seed as file names and recordings write it ("17", "-3.5").
std::string seedText(float seed);

// The recordings in `folder` (files named as ours), the most recently
// played first.
std::vector<std::string> recordingsNewestFirst(const std::string& folder);

}  // namespace delve
