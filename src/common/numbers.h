// Numbers written as text and read from text, with the program's own rules (not the C
// library's locale-dependent ones).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvelin {

std::string IntToText(std::int64_t value);
// "%.13g" in the "C" locale whatever the process locale: up to 13 significant digits, no
// trailing zeros; exponent form ("1e+13") only below 0.0001 or from 1e13 on. -0 gives "0".
std::string RealToText(double value);
// After FoldHalfWidth and leading white space (space, tab, LF, VT, FF, CR): the longest
// leading [+-]digits[.digits][(e|E|d|D)[+-]digits] with at least one digit; 0 when there
// is none. Beyond the range of a real: infinity (too large) or 0 (too small).
double TextToReal(std::string_view text);
// After FoldHalfWidth and leading white space: [+-]digits; 0 without digits. A number
// beyond the range of the result gives the largest or smallest value of the type.
std::int32_t TextToInt(std::string_view text);
std::int64_t TextToInt64(std::string_view text);

}  // namespace korvelin
