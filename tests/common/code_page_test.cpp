#include "common/code_page.h"

#include <iconv.h>

#include <gtest/gtest.h>

#include <random>
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

// Reference conversion, one byte at a time: a well-formed sequence (shortest form, no
// surrogate, at most U+10FFFF) becomes its character, converted by iconv; any other byte
// becomes "?" on its own.
std::string ReferenceUtf8ToAnsi(const std::string& utf8) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    std::size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                                   : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    unsigned code = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    bool valid = length > 0 && i + length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
      valid = (c & 0xC0) == 0x80;
      code = code << 6 | (c & 0x3F);
    }
    const unsigned minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= minimum[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    std::string expected = "?";
    if (code < 0x10000 && code != 0xA3 && code != 0xA5) {
      char buffer[8];
      char* in = const_cast<char*>(utf8.data() + i);
      char* o = buffer;
      std::size_t inLeft = length;
      std::size_t outLeft = sizeof buffer;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1))
        expected.assign(buffer, o);
    }
    out += expected;
    i += length;
  }
  iconv_close(cd);
  return out;
}

TEST(Utf8ToAnsi, AgreesWithAByteByByteReferenceOnRandomPages) {
  static const char* const pieces[] = {
      "<", "div class=\"a\">", "价", "格", "，", "€", "£", "é", "\xF0\x9F\x98\x80", "\xE4\xBB",
      "\x81\x8F", "\xC0\xAF", "\xED\xA0\x80", "\xEF\xBC\x90", "\xC3", "\xFF", "\x80",
      "0123456789abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", "x",
  };
  constexpr std::size_t kPieces = sizeof pieces / sizeof *pieces;
  std::mt19937 random(65001);
  for (int round = 0; round < 3000; ++round) {
    std::string page;
    const std::size_t count = random() % 40;
    for (std::size_t k = 0; k < count; ++k) {
      // Chinese runs long enough for the two-characters-a-step loop.
      const std::size_t repeat = random() % 4 == 0 ? random() % 9 : 1;
      const char* piece = pieces[random() % kPieces];
      for (std::size_t r = 0; r < repeat; ++r) page += piece;
    }
    ASSERT_EQ(Utf8ToAnsi(page), ReferenceUtf8ToAnsi(page)) << testing::PrintToString(page);
  }
}

// The four-characters-a-step loop leaves every sequence it cannot store as a two-byte form
// to the careful path, wherever in a long Chinese run the sequence stands.
TEST(Utf8ToAnsi, ChineseRunsWithAnOddSequenceAtEveryPosition) {
  static const char* const odd[] = {
      "\xE0\x80\xAF",  // overlong "/"
      "\xE0\x9F\xBF",  // overlong U+07FF
      "\xED\xA0\x80",  // surrogate U+D800
      "\xED\xBF\xBF",  // surrogate U+DFFF
      "€",             // a one-byte form
      "\xEF\xBF\xBD",  // no form
      "\xE4\xBB",      // cut
      "a",
      "é",
  };
  for (const char* sequence : odd) {
    for (int before = 0; before < 10; ++before) {
      for (int after = 0; after < 10; ++after) {
        std::string page;
        for (int k = 0; k < before; ++k) page += k % 3 == 0 ? "，" : "价";
        page += sequence;
        for (int k = 0; k < after; ++k) page += k % 2 == 0 ? "格" : "。";
        ASSERT_EQ(Utf8ToAnsi(page), ReferenceUtf8ToAnsi(page)) << testing::PrintToString(page);
      }
    }
  }
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

TEST(Utf8ToUtf16, DecodesEveryFormAndMarksEachInvalidByte) {
  const struct {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"", u""},
      {"a b", u"a b"},
      {"\xC3\xA9", u"\u00E9"},
      {"价格", u"价格"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},      // outside the basic plane: a surrogate pair
      {"a\x80z", u"a\uFFFDz"},                  // stray continuation byte
      {"\xE4\xBB", u"\uFFFD\uFFFD"},            // cut short: each byte on its own
      {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // a surrogate written as UTF-8
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
  }
}

TEST(Utf16ToUtf8, WritesEveryFormAndAQuestionMarkPerLoneSurrogate) {
  const struct {
    std::u16string utf16;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"a\u007F", "a\x7F"},
      {u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
      {u"\u0800价\uFFFF", "\xE0\xA0\x80价\xEF\xBF\xBF"},
      {u"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {std::u16string(1, u'\xD800') + u"x", "?x"},  // a high surrogate without its partner
      {u"x" + std::u16string(1, u'\xDC00'), "x?"},  // a low surrogate alone
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << testing::PrintToString(c.utf8);
    // What could be written reads back as it was.
    if (c.utf8.find('?') == std::string::npos) {
      EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    }
  }
}

}  // namespace
}  // namespace korvelin
