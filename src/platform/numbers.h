#pragma once
// Conversions the game makes between its float counters, 32-bit integers and
// text, all defined for every input (out-of-range values saturate).
#include <cstdint>
#include <string>

namespace delve {

int32_t saturateInt32(int64_t v);
// Nearest integer, halves to even (2.5 gives 2, 3.5 gives 4); NaN gives 0.
int32_t roundHalfEven(double v);
// To single precision, held to the float range (no overflow to infinity).
float toSingle(double v);
// Toward zero, saturating at the 64-bit limits; NaN gives 0.
int64_t truncToInt64(double v);
// a + b held to the 32-bit range.
int32_t addSaturated(int32_t a, int64_t b);

// The ordinary reading of a number from text: leading blanks skipped, the
// longest leading decimal number (sign, digits, point, exponent) taken, or a
// hexadecimal number after "&H"; 0 when the text does not begin with one.
double readLeadingNumber(const std::string& text);
// The same, taken to the nearest integer, halves to even.
int32_t readInteger(const std::string& text);

// Whether the whole text is one finite number, as a seed given on a command
// line must be (what a player types at the seed prompt is read leniently).
bool isWholeNumberText(const std::string& text);

// Decimal text of an integer, no blank or plus sign.
std::string decimalText(int64_t v);
// Single-precision values with up to 7 significant digits, doubles with up to
// 16; never a trailing "." or a leading blank.
std::string singleText(float v);
std::string doubleText(double v);

}  // namespace delve
