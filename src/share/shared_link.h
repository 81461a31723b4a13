#pragma once
// A shared link: a whole kept game and the turn to show, carried in a link's
// fragment (after the first '#', which a server never receives), so that a
// player can hand on "this game at this turn":
//
//   https://example.invalid/delve/#watch=eNrtW...&turn=120
//
// watch is the recording's text packed as a zlib stream (as the page's
// CompressionStream('deflate') packs it) in base64url without padding; turn
// is a decimal whole number from 1, at most 9 digits. Parameters are
// separated by '&' and come in any order; others are ignored, and of a
// parameter given twice the first counts. The page's web/js/share.js reads
// and writes the same links with the same refusals, word for word.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "recording/recording_format.h"

namespace delve {

// A longer link is neither made nor opened: the page offers the game as a
// download instead.
constexpr size_t kSharedLinkMaxChars = 32768;
constexpr int32_t kSharedLinkMaxTurn = 999999999;

// True when the text has a fragment with a watch parameter, so that
// `delve --play` takes it for a link rather than a file's path (an empty
// or broken game in it is still a link, refused with its reason).
bool looksLikeSharedLink(const std::string& arg);

struct SharedGame {
    std::string text;     // the recording's text, unpacked
    Recording recording;  // the same text, checked
    int32_t turn = 1;     // the turn to show, 1 to kSharedLinkMaxTurn
};

// The game in the link, or nothing with the one reason in `problem`, e.g.
// "the link's game cannot be unpacked (it is damaged or cut short)" or
// "the link's game is not a kept game: line 7: not a recording line".
// Whether the game reaches the turn is for whoever shows it to decide.
std::optional<SharedGame> openSharedLink(const std::string& link, std::string& problem);

// `base` (the text before the '#') with the game and the turn in its
// fragment; "" when such a link could not be opened again: longer than
// kSharedLinkMaxChars, a text over kRecordingMaxBytes, a turn outside 1 to
// kSharedLinkMaxTurn, or a base that holds a '#' itself.
std::string makeSharedLink(const std::string& base, const std::string& recordingText, int32_t turn);

}  // namespace delve
