#pragma once
// A picture of the screen kept beside a recording ("NAME.rec.picture"),
// so that continuing the game can replay the recording without drawing and
// still show exactly what the player saw. The map is drawn over the cells
// of earlier turns, so the pages cannot be drawn afresh from the game
// record: they are kept whole.
//
// It belongs to one point of one recording: the recording text up to it
// (its length and digest) and the program that drew it. That point is the
// game's end when it ended cleanly, or else a wait for a key now and then
// along the way (a killed program, a page the browser dropped): the replay
// then draws again from that point on. A file that does not say a point of
// the recording, or is not a sound picture file, is not used: the game is
// then replayed with drawing throughout, so a bad file costs time and
// nothing else.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/screen.h"
#include "recording/recording_format.h"

namespace delve {

struct KeptPicture {
    std::string program;      // the program that drew it
    uint64_t playedBytes = 0; // the recording text replayed before the hand-over
    uint64_t playedDigest = 0;
    Screen screen;            // pages, their size, the work and shown page, the text cursor
};

// The text a continue replays: the recording's first `keepBytes`, then
// `extra` (complete lines standing in for a cut-back last key line).
uint64_t playedTextDigest(const Recording& recording, uint64_t keepBytes, const std::string& extra);

std::string keptPicturePath(const std::string& recordingPath);

// A picture file's bytes and back; nothing for anything that is not one.
std::string encodeKeptPicture(const KeptPicture& picture);
// The same for a screen in use, without copying its pages first.
std::string encodeKeptPicture(const std::string& program, uint64_t playedBytes, uint64_t playedDigest,
                              const Screen& screen);
std::optional<KeptPicture> decodeKeptPicture(const std::string& bytes);

// Written to a temporary name and renamed over `path`, so a reader finds the
// old file or the new one whole. False when it could not be written.
bool writeKeptPicture(const std::string& path, const KeptPicture& picture);
bool writeKeptPictureBytes(const std::string& path, const std::string& bytes);
// Nothing when there is none, it is too large, or it is not sound.
std::optional<KeptPicture> readKeptPicture(const std::string& path);

}  // namespace delve
