#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/code_page.h"

namespace korvelin {
namespace {

TEST(IntToText, WritesPlainDecimalDigits) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(1416200709005LL), "1416200709005");
  EXPECT_EQ(IntToText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(RealToText, UsesThirteenSignificantDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {12.5, "12.5"},
      {100, "100"},
      {0.1, "0.1"},
      {1.0 / 3.0, "0.3333333333333"},
      {3, "3"},
      {-0.5, "-0.5"},
      {0, "0"},
      {-0.0, "0"},
      {54.99, "54.99"},
      {1416200709005.0, "1416200709005"},
      {9999999999999.0, "9999999999999"},
      {0.0001, "0.0001"},
      {2.0 / 3.0, "0.6666666666667"},
      {1e13, "1e+13"},
      {0.00001, "1e-05"},
  };
  for (const auto& c : cases) EXPECT_EQ(RealToText(c.value), c.text) << c.text;
}

TEST(TextToReal, ReadsTheLongestNumberAtTheStart) {
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"12.99", 12.99},
      {"12,99", 12},
      {"1.299.00", 1.299},
      {"", 0},
      {"abc", 0},
      {"EUR 12", 0},
      {"EUR 5", 0},
      {"  12.5" + Ansi("元"), 12.5},
      {Ansi("＋１２．５"), 12.5},
      {"-0.5", -0.5},
      {".5", 0.5},
      {"7.", 7},
      {"1e3", 1000},
      {"1d3", 1000},
      {"1D-2", 0.01},
      {"1E+2x", 100},
      {"1e", 1},
      {"1e+", 1},
      {"0x1A", 0},
      {"- 5", 0},
      {"+", 0},
      {".", 0},
      {"-.e5", 0},
      {"\t\n\v\f\r 3", 3},
      {"inf", 0},
      {"nan", 0},
      {"1,299", 1},
      {"1e999", std::numeric_limits<double>::infinity()},
      {"-1e999", -std::numeric_limits<double>::infinity()},
      {"1e-999", 0},
      {"0.000e999", 0},
      {"12" + Ansi("．") + "5", 12.5},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToReal(c.text), c.value) << c.text;
}

TEST(TextToInt, ReadsSignAndDigits) {
  const struct {
    std::string text;
    std::int32_t value;
  } cases[] = {
      {"15", 15},
      {" 5 ", 5},
      {"5.9", 5},
      {"1e3", 1},
      {"-3", -3},
      {"+7", 7},
      {"", 0},
      {"abc", 0},
      {"EUR 5", 0},
      {Ansi("１５"), 15},
      {"- 5", 0},
      {"\r\n42", 42},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},  // saturates
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
}

TEST(TextToInt64, ReadsThirteenDigitTimesExactly) {
  EXPECT_EQ(TextToInt64("1416200709005"), 1416200709005LL);
  EXPECT_EQ(TextToInt64(Ansi("　１４１６２００７０９００５")), 1416200709005LL);
  EXPECT_EQ(TextToInt64("EUR 5"), 0);
  EXPECT_EQ(TextToInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(TextToInt64("9223372036854775808"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(TextToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(TextToInt64("-9223372036854775809"), std::numeric_limits<std::int64_t>::min());
}

}  // namespace
}  // namespace korvelin
