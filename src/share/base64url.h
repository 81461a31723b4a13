#pragma once
// Bytes as text that goes into a link's fragment unchanged: base64 with the
// URL-safe alphabet (A-Z a-z 0-9 - _) and no '=' padding.
#include <optional>
#include <string>
#include <string_view>

namespace delve {

std::string toBase64url(std::string_view bytes);

// The bytes back, or nothing when a character is outside the alphabet
// (padding included). Bits left over at the end that make no whole byte are
// dropped, as they are where a link was cut short: what is decoded then fails
// as a cut stream, which is the more useful thing to tell a player. The
// page's decoder follows the same rules, so both agree on every input.
std::optional<std::string> fromBase64url(std::string_view text);

}  // namespace delve
