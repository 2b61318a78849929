#include "common/code_page.h"

#include <iconv.h>

#include <gtest/gtest.h>

#include <string>

namespace korvelin {
namespace {

TEST(Utf8ToAnsi, ConvertsCharactersToCodePage936) {
  const struct {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"价格", "\xBC\xDB\xB8\xF1"},
      {"price 12,99 <b>", "price 12,99 <b>"},
      {"", ""},
      {"€", "\x80"},              // the euro sign has the one-byte form 0x80
      {"£¥", "??"},               // no form in code page 936
      {"　～", "\xA1\xA1\xA1\xAB"},
      {"ＥＵＲ", "\xA3\xC5\xA3\xD5\xA3\xD2"},
      {"·", "\xA1\xA4"},
      {"\xF0\x9F\x98\x80", "?"},  // outside the basic plane: one "?"
      {"é", "\xA8\xA6"},
      {"ä", "?"},
      {"\xEF\xBF\xBD", "?"},      // U+FFFD itself
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << testing::PrintToString(c.utf8);
}

TEST(Utf8ToAnsi, GivesOneQuestionMarkPerInvalidByte) {
  const struct {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"a\x80z", "a?z"},                       // stray continuation byte
      {"\x81\x8F", "??"},                       // a Shift_JIS yen sign read as UTF-8
      {"\xC0\xAF", "??"},                       // overlong "/"
      {"\xC1\xBF", "??"},
      {"\xE0\x80\xAF", "???"},                  // overlong three-byte form
      {"\xF0\x80\x80\xAF", "????"},             // overlong four-byte form
      {"\xED\xA0\x80", "???"},                  // surrogate U+D800
      {"\xF4\x90\x80\x80", "????"},             // above U+10FFFF
      {"\xF5\x80", "??"},
      {"\xFF\xFE", "??"},
      {"\xE4\xBB", "??"},                       // cut at the end of the text
      {"\xE4\xBBx", "??x"},                     // cut before an ASCII byte
      {"\xE4\xBB\xE4\xBB\xB7", "??\xBC\xDB"},   // cut, then a whole 价
      {"\xC3", "?"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << testing::PrintToString(c.utf8);
}

TEST(Utf8ToAnsi, JapanPriceMarkerMatchesAShiftJisYenSign) {
  // A Shift_JIS page read as UTF-8: the yen sign 0x81 0x8F becomes "??".
  EXPECT_EQ(Utf8ToAnsi("class=\"price\">\x81\x8F 1,980<"), "class=\"price\">?? 1,980<");
}

TEST(Utf8ToAnsi, CopiesLongAsciiRunsAroundChineseText) {
  std::string utf8;
  std::string ansi;
  for (int i = 0; i < 300; ++i) {
    const std::string filler(static_cast<std::size_t>(i % 70), static_cast<char>('a' + i % 26));
    utf8 += filler + "价格";
    ansi += filler + "\xBC\xDB\xB8\xF1";
  }
  EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
}

// Every character of the basic plane converts as the C library's CP936 converter does,
// apart from the pound and yen signs, which have no form in Windows code page 936.
TEST(Utf8ToAnsi, AgreesWithIconvOnTheWholeBasicPlane) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int checked = 0;
  for (unsigned u = 1; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    std::string utf8;
    if (u < 0x80) {
      utf8 = std::string(1, static_cast<char>(u));
    } else if (u < 0x800) {
      utf8 = {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)),
              static_cast<char>(0x80 | (u & 0x3F))};
    }
    char out[8];
    char* inPtr = utf8.data();
    char* outPtr = out;
    std::size_t inLeft = utf8.size();
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string expected = "?";
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
      expected.assign(out, outPtr);
    if (u == 0xA3 || u == 0xA5) expected = "?";
    ASSERT_EQ(Utf8ToAnsi(utf8), expected) << std::hex << u;
    if (expected != "?") {
      ASSERT_EQ(AnsiToUtf8(expected), utf8) << std::hex << u;
      ++checked;
    }
  }
  iconv_close(cd);
  EXPECT_GT(checked, 21000);  // GBK holds more than 21000 characters
}

TEST(AnsiToUtf8, MarksUndecodableBytes) {
  const struct {
    std::string ansi;
    std::string utf8;
  } cases[] = {
      {"\xBC\xDB\xB8\xF1", "价格"},
      {"abc", "abc"},
      {"\x80", "€"},
      {"\xFF", "\xEF\xBF\xBD"},
      {"a\xBC", "a\xEF\xBF\xBD"},           // lead byte at the end
      {"\xBC" "1x", "\xEF\xBF\xBD" "1x"},     // a digit cannot be a second byte
      {"\xA2\xA0", "\xEF\xBF\xBD"},          // a pair without a character
  };
  for (const auto& c : cases)
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8) << testing::PrintToString(c.ansi);
}

TEST(Ansi, ConvertsSourceLiterals) {
  EXPECT_EQ(Ansi("监控列表_默认.txt"), "\xBC\xE0\xBF\xD8\xC1\xD0\xB1\xED_\xC4\xAC\xC8\xCF.txt");
  EXPECT_EQ(Ansi("#引号"), "#\xD2\xFD\xBA\xC5");
}

}  // namespace
}  // namespace korvelin
