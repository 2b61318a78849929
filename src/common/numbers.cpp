#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "common/text.h"

namespace korvelin {
namespace {

inline bool IsWhite(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipWhite(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhite(text[i])) ++i;
  return i;
}

// Reads an optional sign and decimal digits; the value saturates at the limits of the
// 64-bit type (a longer number than the type holds gives its largest or smallest value).
std::int64_t ReadInteger(std::string_view raw) {
  const std::string text = FoldHalfWidth(raw);
  std::size_t i = SkipWhite(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate toward the negative side, which holds one more value.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool saturated = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (saturated) continue;
    int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      saturated = true;
      value = kMin;
    } else {
      value = value * 10 - digit;
    }
  }
  if (negative) return value;
  if (value == kMin) return std::numeric_limits<std::int64_t>::max();
  return -value;
}

}  // namespace

std::string IntToText(std::int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string RealToText(double value) {
  if (value == 0) return "0";  // also for -0
  // std::to_chars with a precision formats as printf "%.13g" does in the "C" locale,
  // whatever locale the process runs in.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
  return std::string(buffer, result.ptr);
}

double TextToReal(std::string_view raw) {
  const std::string text = FoldHalfWidth(raw);
  std::size_t i = SkipWhite(text);
  std::string number;  // the accepted part, with "e" as the exponent letter
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Decimal magnitude of the value (position of its first significant digit relative to
  // the point), to tell an overflow from an underflow when the value is out of range.
  long long magnitude = 0;
  bool significant = false;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    number.push_back(text[i]);
    if (significant || text[i] != '0') {
      significant = true;
      ++magnitude;
    }
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    std::string fraction = ".";
    for (; j < text.size() && IsDigit(text[j]); ++j, ++digits) {
      fraction.push_back(text[j]);
      if (!significant) {
        if (text[j] == '0')
          --magnitude;
        else
          significant = true;
      }
    }
    if (digits > 0) {
      number += fraction;
      i = j;
    }
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    bool exponentNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      exponentNegative = text[j] == '-';
      exponent.push_back(text[j]);
      ++j;
    }
    long long exponentValue = 0;
    std::size_t exponentDigits = 0;
    for (; j < text.size() && IsDigit(text[j]); ++j, ++exponentDigits) {
      exponent.push_back(text[j]);
      if (exponentValue < 1000000000) exponentValue = exponentValue * 10 + (text[j] - '0');
    }
    if (exponentDigits > 0) {
      number += exponent;
      magnitude += exponentNegative ? -exponentValue : exponentValue;
    }
  }
  double value = 0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond the range of a real: infinity for a too large value, 0 for a too small one.
    value = significant && magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

std::int32_t TextToInt(std::string_view text) {
  // Saturates at the limits of a 32-bit integer.
  std::int64_t value = ReadInteger(text);
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::int64_t TextToInt64(std::string_view text) { return ReadInteger(text); }

}  // namespace korvelin
