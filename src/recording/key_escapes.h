#pragma once
// Key events as text, the same way everywhere a person reads or writes them
// (delve-replay's --keys, recordings): \e Escape, \r Enter, \\ a backslash,
// \xHH any byte.
#include <optional>
#include <string>

namespace delve {

// The value of a hex digit, or -1.
int hexDigit(char c);

// Escapes every byte that is not a visible character (a blank included), so
// that a key event is one word.
std::string escapeKeyText(const std::string& bytes);

enum class RawControlBytes { Allowed, Refused };

// Undoes the escapes; on a mistake returns nothing and names it in `error`
// ("a lone backslash at the end", "unknown escape \q", "a raw control byte").
std::optional<std::string> unescapeKeyText(const std::string& text, std::string& error,
                                           RawControlBytes raw = RawControlBytes::Allowed);

}  // namespace delve
