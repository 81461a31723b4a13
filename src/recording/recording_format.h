#pragma once
// A recording is everything one run of the game read from outside itself,
// so the run can be repeated exactly: the clock readings in the order they
// were made, the keys in the batches the window delivered them in, and now
// and then a digest of the game to check the repeat against.
//
// The file is text, one item a line, each line ended by LF:
//
//   delve-recording 1          the format; always the first line
//   program 0.1.0              the program that made it
//   data 0123456789abcdef      digest of the data folder's res/ and tiles/
//   # ...                      a comment, anywhere after the first line
//   t 0x1.f5a3c2p+9            a timer reading, in seconds (hex float, exact)
//   c 12:34:56                 a reading of the clock's time text
//   d 03-09-2026               a reading of the clock's date text
//   k 57 6 \x20 8              keys that arrived together, while the game was
//                              at turn 57: each key escaped (\e Escape,
//                              \r Enter, \\, \xHH any byte), blank between keys
//   p 100 fedcba9876543210     checkpoint: the game's digest after the frame
//                              of turn 100 (and once more when the game ends)
//
// Lines are appended and flushed as the run goes, so a file cut short (a
// killed program, a power cut) is still a recording: a last line without its
// LF is ignored and the rest plays. Anything else out of place makes the
// whole file unreadable: it is never half-trusted.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace delve {

constexpr int kRecordingFormat = 1;
// Larger files are refused unread (a long evening of play is well under 1 MiB).
constexpr uint64_t kRecordingMaxBytes = 16u << 20;
// A key is one character, at most a 4-byte UTF-8 sequence.
constexpr size_t kRecordingMaxKeyBytes = 8;
// Clock texts are short; anything longer is not a clock reading.
constexpr size_t kRecordingMaxClockText = 64;

// The program version written into recordings.
const char* programVersion();

constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;
uint64_t fnv1a64(const uint8_t* bytes, size_t size, uint64_t hash = kFnvStart);
uint64_t fnv1a64(const std::string& bytes, uint64_t hash = kFnvStart);
std::string hex16(uint64_t v);

// Key bytes in the --keys escapes; blanks become \x20 so keys split on blanks.
std::string escapeRecordedKey(const std::string& key);

// Lines, each with its LF.
std::string recordingHeader(const std::string& program, uint64_t dataDigest);
std::string timerLine(double seconds);
std::string clockTimeLine(const std::string& text);
std::string clockDateLine(const std::string& text);
std::string keysLine(int32_t turn, const std::vector<std::string>& keys);
std::string checkpointLine(int32_t turn, uint64_t digest);

enum class RecordedKind { Timer, ClockTime, ClockDate, Keys, Checkpoint };

struct RecordedEvent {
    RecordedKind kind = RecordedKind::Timer;
    double seconds = 0;             // Timer
    std::string text;               // ClockTime, ClockDate
    int32_t turn = 0;               // Keys, Checkpoint
    std::vector<std::string> keys;  // Keys
    uint64_t digest = 0;            // Checkpoint
};

// A checked recording: its text is kept and read again event by event as
// the game asks for it, so a long recording costs its size in memory.
struct Recording {
    std::string program;
    uint64_t dataDigest = 0;
    std::string text;
    size_t bodyStart = 0;  // first line after the header
    size_t bodyEnd = 0;    // end of the last complete line
    int32_t lastTurn = 0;  // turn of the last key line
    size_t keyLines = 0;
    size_t checkpoints = 0;
};

// Checks every line; on any fault returns nothing and says what and where
// ("line 7: ...") in `error`.
std::optional<Recording> parseRecording(std::string text, std::string& error);

// Reads a file whole (refusing one over the size limit) and parses it.
std::optional<Recording> loadRecording(const std::string& path, std::string& error);

// The events of a checked recording, in order.
struct RecordingCursor {
    const Recording* recording = nullptr;
    size_t position = 0;
};
RecordingCursor openCursor(const Recording& r);
std::optional<RecordedEvent> peekEvent(const RecordingCursor& c);
std::optional<RecordedEvent> nextEvent(RecordingCursor& c);
// Where the line of the next event begins, past any comments (the end of
// the last complete line when there is none).
size_t nextEventStart(const RecordingCursor& c);

const char* recordedKindName(RecordedKind kind);

}  // namespace delve
