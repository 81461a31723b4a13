#pragma once
// Where recordings live: <data folder>/recordings/, one file a game run,
// named by the local date and time it started and, once known, its seed
// ("2026-12-07_204811_seed-17.rec"). The program writing a recording holds
// a lock on it (platform/file_lock.h), so no other program continues a game
// that is still being played, and none removes it.
//
// A kept game is a recording that got past the title screen: it has the
// "# seed" line written there. A start closed before that (an "empty
// start") holds nothing to continue; it is neither offered nor listed, and
// it is the first to go when the folder is over its limit.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_lock.h"

namespace delve {

constexpr size_t kRecordingsKept = 100;

struct RecordingFile {
    std::string folder;
    std::string stamp;  // the local date and time the run started
    std::string stem;   // the stamp, with "-2", "-3" ... for a second run in the same second
    std::string path;
    std::FILE* file = nullptr;
    FileLock lock;
};

// Creates a new recording file (and the folder); false when it cannot, and
// the game then runs unrecorded.
bool createRecordingFile(const std::string& dataRoot, RecordingFile& out);
// Renames the open file to carry the seed; it stays open and is written on.
// Its kept picture, if one was written yet, goes with it. A name another
// game has (one started in the same second, or before the clock was set
// back) is never taken: the next run number of that second is; and where no
// rename can refuse to replace, the file keeps the name it was created with.
void nameRecordingBySeed(RecordingFile& f, float seed);
// Keeps `keep` recordings besides those a program holds open (being played,
// continued, or still at the title): empty starts go first, then the games
// played longest ago, each with its kept picture. Last played is the time
// the file was last written, which a continued game moves on.
void pruneRecordings(const std::string& folder, size_t keep);
void closeRecordingFile(RecordingFile& f);
// A seed as file names and recordings write it ("17", "-3.5").
std::string seedText(float seed);

enum class KeptKind {
    Game,        // got past the title screen
    EmptyStart,  // a recording, or the start of one, without a "# seed" line
    Unreadable,  // not a recording: listed as such, kept as a game would be
};

struct KeptRecording {
    std::string path;
    KeptKind kind = KeptKind::Unreadable;
};

// The recordings in `folder` (files named as ours), the most recently
// played first, with what each holds.
std::vector<KeptRecording> keptRecordings(const std::string& folder);
// What the recording at `path` holds; only read up to its "# seed" line.
KeptKind keptKindOf(const std::string& path);

}  // namespace delve
