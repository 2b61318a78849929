// Numbers written as text and read from text, with the program's own rules (not the C
// library's locale-dependent ones).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvelin {

std::string IntToText(std::int64_t value);
// "%.13g": up to 13 significant digits, no trailing zeros.
std::string RealToText(double value);
double TextToReal(std::string_view text);
std::int32_t TextToInt(std::string_view text);
std::int64_t TextToInt64(std::string_view text);

}  // namespace korvelin
