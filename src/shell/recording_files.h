#pragma once
// Where recordings live: <data folder>/recordings/, one file a game run,
// named by the local date and time it started and, once known, its seed
// ("2026-12-07_204811_seed-17.rec"). The newest 100 are kept.
#include <cstdio>
#include <string>

namespace delve {

constexpr size_t kRecordingsKept = 100;

struct RecordingFile {
    std::string folder;
    std::string stem;  // date and time, with "-2", "-3" ... for a second run in the same second
    std::string path;
    std::FILE* file = nullptr;
};

// Creates a new recording file (and the folder); false when it cannot, and
// the game then runs unrecorded.
bool createRecordingFile(const std::string& dataRoot, RecordingFile& out);
// Renames the open file to carry the seed; it stays open and is written on.
void nameRecordingBySeed(RecordingFile& f, float seed);
// Removes the oldest recordings beyond `keep` (by name, which sorts by time).
void pruneRecordings(const std::string& folder, size_t keep);
void closeRecordingFile(RecordingFile& f);

}  // namespace delve
