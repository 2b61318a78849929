#include "common/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "common/utilities.h"

namespace korvelin {
namespace {

struct FindCase {
  const char* text;
  const char* target;
  std::optional<int> start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, FollowsTheFindRule) {
  const FindCase cases[] = {
      {"abcabc", "c", std::nullopt, false, 3},
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", 7, false, -1},
      {"abcabc", "x", std::nullopt, false, -1},
      {"Set-Cookie", "set-cookie", std::nullopt, true, 1},
      {"Set-Cookie", "set-cookie", std::nullopt, false, -1},
      {"abcabc", "abc", 2, false, 4},
      {"abcabc", "c", 0, false, 3},
      {"abcabc", "c", -5, false, 3},
      {"abc", "abcd", std::nullopt, false, -1},
      {"", "a", std::nullopt, false, -1},
      // The empty target: 1 whenever the region is not empty, also for a later start.
      {"abc", "", std::nullopt, false, 1},
      {"abc", "", 3, false, 1},
      {"abc", "", 4, false, -1},
      {"", "", std::nullopt, false, -1},
      // Ignoring case touches only A..Z.
      {"xAbC", "abc", std::nullopt, true, 2},
      {"x[", "{", std::nullopt, true, -1},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindText(c.text, c.target, c.start, c.ignoreCase), c.expected)
        << c.text << " / " << c.target;
  }
}

TEST(FindText, NeverMatchesOnTheSecondByteOfAPair) {
  // 0xB0 0x41 is one character whose second byte looks like "A".
  EXPECT_EQ(FindText("\xB0"
                     "AA",
                     "A"),
            3);
  EXPECT_EQ(FindText("\xB0"
                     "A",
                     "A"),
            -1);
  EXPECT_EQ(FindText("\xB0"
                     "AA",
                     "a", std::nullopt, true),
            3);
  // A start position inside a pair starts the scan there all the same.
  EXPECT_EQ(FindText("\xB0"
                     "A",
                     "A", 2),
            2);
  // Runs of high bytes pair up from the last byte below 0x80.
  EXPECT_EQ(FindText("a\xB0\xB0\xB0\xB0z", "\xB0\xB0"), 2);
  EXPECT_EQ(FindText("a\xB0\xB0\xB0\xB1\xB0z", "\xB1\xB0"), -1);
  EXPECT_EQ(FindText("a\xB0\xB1\xB0\xB0\xB0z", "\xB1\xB0"), -1);
  EXPECT_EQ(FindText("a\xB0\xB0\xB1\xB0\xB0z", "\xB1\xB0"), 4);
  // A lone lead byte at the very end can still be matched by itself.
  EXPECT_EQ(FindText("ab\xB0", "\xB0"), 3);
  const std::string text = Ansi("价格：价格");
  EXPECT_EQ(FindText(text, Ansi("格")), 3);
  EXPECT_EQ(FindText(text, Ansi("格"), 5), 9);
  // A start inside a character pairs the bytes from there on, so the later 格 is missed.
  EXPECT_EQ(FindText(text, Ansi("格"), 4), -1);
}

TEST(FindTextBackward, FollowsTheFindRule) {
  const FindCase cases[] = {
      {"abcabc", "c", std::nullopt, false, 6},
      {"abcabc", "c", 6, false, 3},
      {"abcabc", "c", 3, false, -1},
      {"abcabc", "abc", 7, false, 4},
      {"abcabc", "abc", 6, false, 1},  // the second abc does not lie wholly before 6
      {"abcabc", "c", 100, false, 6},
      {"abcabc", "", 1, false, -1},
      {"abcabc", "", 2, false, 1},
      {"abcabc", "x", 1, false, -1},
      {"aaaa", "aa", std::nullopt, false, 3},  // overlapping matches count
      {"ABCabc", "C", std::nullopt, true, 6},
      {"\xB0"
       "A",
       "A", std::nullopt, false, -1},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindTextBackward(c.text, c.target, c.start, c.ignoreCase), c.expected)
        << c.text << " / " << c.target << " / " << c.start.value_or(0);
  }
}

TEST(FindTextBackward, FeedingResultsBackWalksFromTheEnd) {
  const std::string text = "x|y||z|";
  std::vector<int> found;
  std::optional<int> start;
  for (int p; (p = FindTextBackward(text, "|", start)) != -1; start = p) found.push_back(p);
  EXPECT_EQ(found, (std::vector<int>{7, 5, 4, 2}));
}

// Code page 936 lead bytes: 0x81..0xFE. 0x80 (the euro sign) and 0xFF stand alone.
bool IsLead(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}

// The find rule written out step by step, as the reference for random texts.
int NaiveFind(const std::string& t, const std::string& s, int start, bool ignoreCase) {
  std::size_t from = start >= 2 ? static_cast<std::size_t>(start - 1) : 0;
  if (from >= t.size()) return -1;
  if (s.empty()) return 1;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  std::size_t i = from;
  while (i < t.size()) {
    if (t.size() - i >= s.size()) {
      bool equal = true;
      for (std::size_t k = 0; k < s.size() && equal; ++k)
        equal = ignoreCase ? lower(t[i + k]) == lower(s[k]) : t[i + k] == s[k];
      if (equal) return static_cast<int>(i) + 1;
    }
    if (IsLead(t[i])) {
      if (i + 1 >= t.size()) break;
      i += 2;
    } else {
      i += 1;
    }
  }
  return -1;
}

int NaiveFindBackward(const std::string& t, const std::string& s, std::optional<int> start,
                      bool ignoreCase) {
  std::string region = t;
  if (start) region = *start <= 1 ? "" : t.substr(0, std::min<std::size_t>(t.size(), *start - 1));
  if (s.empty()) return region.empty() ? -1 : 1;
  int last = -1;
  for (int p = NaiveFind(region, s, 1, ignoreCase); p != -1;
       p = NaiveFind(region, s, p + (IsLead(region[p - 1]) ? 2 : 1), ignoreCase)) {
    last = p;
    if (static_cast<std::size_t>(p) >= region.size()) break;
  }
  return last;
}

// Random texts of ASCII letters, GBK pairs (some with trail bytes that look like letters)
// and runs of high bytes, so that matches straddle character boundaries often.
std::string RandomGbk(std::mt19937& random, std::size_t length) {
  static const char alphabet[] = "aAbB@";
  std::string text;
  while (text.size() < length) {
    switch (random() % 4) {
      case 0:
      case 1:
        text.push_back(alphabet[random() % 5]);
        break;
      case 2:
        text.push_back(static_cast<char>(0xB0 + random() % 2));
        text.push_back(alphabet[random() % 5]);
        break;
      default:
        text.push_back(static_cast<char>(0xB0 + random() % 2));
        break;
    }
  }
  return text;
}

TEST(FindText, AgreesWithTheStepByStepRuleOnRandomTexts) {
  std::mt19937 random(20141117);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomGbk(random, random() % 24);
    std::string target = RandomGbk(random, 1 + random() % 3);
    if (random() % 8 == 0) target.clear();
    const int start = static_cast<int>(random() % 28) - 2;
    const bool ignoreCase = random() % 3 == 0;
    ASSERT_EQ(FindText(text, target, start, ignoreCase), NaiveFind(text, target, start, ignoreCase))
        << testing::PrintToString(text) << " " << testing::PrintToString(target) << " " << start;
    std::optional<int> backStart;
    if (random() % 2) backStart = start;
    ASSERT_EQ(FindTextBackward(text, target, backStart, ignoreCase),
              NaiveFindBackward(text, target, backStart, ignoreCase))
        << testing::PrintToString(text) << " " << testing::PrintToString(target) << " " << start;
  }
}

TEST(FindText, AgreesWithTheStepByStepRuleOnLongTextsWithLongHighRuns) {
  std::mt19937 random(936);
  for (int round = 0; round < 500; ++round) {
    std::string text;
    while (text.size() < 400) {
      if (random() % 3 == 0)
        text.append(random() % 40, static_cast<char>(0xB0 + random() % 2));
      else
        text += RandomGbk(random, random() % 12);
    }
    const std::string target = RandomGbk(random, 1 + random() % 4);
    const int start = static_cast<int>(random() % 20);
    ASSERT_EQ(FindText(text, target, start), NaiveFind(text, target, start, false))
        << testing::PrintToString(text) << " " << testing::PrintToString(target);
    ASSERT_EQ(FindTextBackward(text, target), NaiveFindBackward(text, target, std::nullopt, false));
  }
}

TEST(FindText, FindsAPriceMarkerFarIntoALongPage) {
  std::string page;
  for (int i = 0; i < 40000; ++i) page += i % 7 == 0 ? Ansi("<p class=\"pr\">价") : "<b>x</b>";
  const std::size_t at = page.size();
  page += "class=\"price\">EUR 12,99<";
  EXPECT_EQ(FindText(page, "class=\"price\">EUR "), static_cast<int>(at) + 1);
}

TEST(TextParts, CountBytes) {
  const std::string zhong = Ansi("中文");
  EXPECT_EQ(LeftText(zhong, 1), "\xD6");
  EXPECT_EQ(LeftText("abc", 0), "");
  EXPECT_EQ(LeftText("abc", -1), "");
  EXPECT_EQ(LeftText("abc", 5), "abc");
  EXPECT_EQ(RightText("abc", 2), "bc");
  EXPECT_EQ(RightText("abc", 9), "abc");
  EXPECT_EQ(RightText("abc", 0), "");
  EXPECT_EQ(MidText("abcdef", 2, 3), "bcd");
  EXPECT_EQ(MidText("abcdef", 5, 9), "ef");
  EXPECT_EQ(MidText("abcdef", 6, 1), "f");
  EXPECT_EQ(MidText("abcdef", 7, 1), "");
  EXPECT_EQ(MidText("abcdef", 0, 2), "");
  EXPECT_EQ(MidText("abcdef", 2, 0), "");
}

struct ReplaceCase {
  const char* text;
  const char* target;
  const char* replacement;
  std::optional<int> start;
  std::optional<int> count;
  bool caseSensitive;
  const char* expected;
};

TEST(ReplaceText, FollowsTheReplaceRule) {
  const ReplaceCase cases[] = {
      {"1.299,00", ",", ".", std::nullopt, std::nullopt, true, "1.299.00"},
      {"aaa", "a", "b", std::nullopt, std::nullopt, true, "bbb"},
      {"aaaa", "aa", "a", std::nullopt, std::nullopt, true, "aa"},  // no overlaps, no rescan
      {"abab", "ab", "", std::nullopt, std::nullopt, true, ""},
      {"a-b-c", "-", "+", 3, std::nullopt, true, "a-b+c"},
      {"a-b-c", "-", "+", 6, std::nullopt, true, "a-b-c"},
      {"a-b-c", "-", "+", std::nullopt, 1, true, "a+b-c"},
      {"a-b-c", "-", "+", std::nullopt, 0, true, "a-b-c"},
      {"a-b-c", "-", "+", std::nullopt, -1, true, "a+b+c"},
      {"AbAB", "ab", "x", std::nullopt, std::nullopt, false, "xx"},
      {"AbAB", "ab", "x", std::nullopt, std::nullopt, true, "AbAB"},
      {"", "a", "b", std::nullopt, std::nullopt, true, ""},
      {"abc", "", "b", std::nullopt, std::nullopt, true, "abc"},
      {"\xB0"
       "aa",
       "a", "x", std::nullopt, std::nullopt, true,
       "\xB0"
       "ax"},
      {"x\"y", "\"", "#", std::nullopt, std::nullopt, true, "x#y"},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.target, c.replacement, c.start, c.count, c.caseSensitive),
              c.expected)
        << c.text << " / " << c.target;
  }
}

TEST(SplitText, FollowsTheSplitRule) {
  struct Case {
    std::string text;
    std::string separator;
    std::optional<int> max;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"a\r\nb", "\r\n", std::nullopt, {"a", "b"}},
      {"a\r\nb\r\n", "\r\n", std::nullopt, {"a", "b"}},
      {"a\r\n\r\nb", "\r\n", std::nullopt, {"a", "", "b"}},
      {"\r\na", "\r\n", std::nullopt, {"", "a"}},
      {"", "\r\n", std::nullopt, {}},
      {"a", "\r\n", std::nullopt, {"a"}},
      {"a,b,c", ",", 2, {"a", "b"}},
      {"a,b,c", ",", 0, {}},
      {"a,b,c", ",", -1, {"a", "b", "c"}},
      {"a,b", "", std::nullopt, {"a,b"}},
      {"\xB0|a|b", "|", std::nullopt, {"\xB0|a", "b"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.max ? SplitText(c.text, c.separator, c.max) : SplitText(c.text, c.separator),
              c.items)
        << testing::PrintToString(c.text);
  }
  EXPECT_EQ(SplitText("x,y"), (std::vector<std::string>{"x", "y"}));
}

TEST(Spaces, TrimAndRemove) {
  const std::string wide = "\xA1\xA1";
  EXPECT_EQ(TrimSpaces("  a b \r\n"), "a b \r\n");
  EXPECT_EQ(TrimSpaces(" \tab\t "), "\tab\t");
  EXPECT_EQ(TrimSpaces(wide + " " + wide), "");
  EXPECT_EQ(TrimSpaces(wide + Ansi("价") + " " + wide), Ansi("价"));
  // The second byte of a pair is not a space even when it is 0x20.
  EXPECT_EQ(TrimSpaces("a\xB0 "), "a\xB0 ");
  // A1 A1 found across a character boundary is not a full-width space.
  EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(RemoveSpaces(" a " + wide + "b\t"), "ab\t");
  EXPECT_EQ(RemoveSpaces("\xB0 x y"), "\xB0 xy");
  EXPECT_EQ(RemoveSpaces(""), "");
}

TEST(LowerCaseText, ChangesOnlyOneByteLetters) {
  EXPECT_EQ(LowerCaseText("Set-COOKIE: A"), "set-cookie: a");
  const std::string chinese = Ansi("价格");
  EXPECT_EQ(LowerCaseText(chinese), chinese);
  EXPECT_EQ(LowerCaseText("\xB0"
                          "AB"),
            "\xB0"
            "Ab");
}

TEST(RepeatText, WritesTheTextNTimes) {
  EXPECT_EQ(RepeatText(3, "ab"), "ababab");
  EXPECT_EQ(RepeatText(0, "ab"), "");
  EXPECT_EQ(RepeatText(-2, "ab"), "");
}

TEST(FoldHalfWidth, TurnsFullWidthFormsIntoOneByte) {
  EXPECT_EQ(FoldHalfWidth(Ansi("＋１２．５，ａＺ")), "+12.5,aZ");
  EXPECT_EQ(FoldHalfWidth(Ansi("　～☆★")), " ~**");
  EXPECT_EQ(FoldHalfWidth(Ansi("价1")), Ansi("价1"));
  EXPECT_EQ(FoldHalfWidth("ab\xB0"), "ab");
  EXPECT_EQ(FoldHalfWidth("\xA3\xA0"), "\xA3\xA0");
}

TEST(BytesAndText, StopAtTheFirstZeroByte) {
  EXPECT_EQ(BytesToText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(BytesToText("abc"), "abc");
  EXPECT_EQ(TextToBytes("abc"), "abc");
}

}  // namespace
}  // namespace korvelin

namespace korvelin {
namespace {

// The euro sign 0x80 is one character: it never swallows the byte after it.
TEST(EuroByte, IsACharacterOfItsOwnInEveryWalk) {
  // "12,99 €</span>": the end marker right after the euro is found.
  EXPECT_EQ(FindText("12,99 \x80</span>", "<"), 8);
  EXPECT_EQ(TextBetween("x>12,99\x80</span>", ">", "<"), "12,99\x80");
  // "1€,299.00": the "," after the euro is a character of its own and is replaced.
  EXPECT_EQ(ReplaceText("1\x80,299.00", ","),
            "1\x80"
            "299.00");
  // A split at a separator right after the euro.
  EXPECT_EQ(SplitText("20\x80----B00D8V08UK", "----"),
            (std::vector<std::string>{"20\x80", "B00D8V08UK"}));
  EXPECT_EQ(FindTextBackward("\x80"
                             "A",
                             "A"),
            2);
  EXPECT_EQ(FindText("\x80"
                     "A",
                     "a", std::nullopt, true),
            2);
  // 0xFF is no lead byte either.
  EXPECT_EQ(FindText("\xFF"
                     "A",
                     "A"),
            2);
  // After a real lead byte, 0x80 is its second byte, and what follows starts anew.
  EXPECT_EQ(FindText("\x81\x80"
                     "A",
                     "\x80"),
            -1);
  EXPECT_EQ(FindText("\x81\x80"
                     "A",
                     "A"),
            3);
  EXPECT_EQ(FindText("\x80\x81\x80", "\x81\x80"), 2);
  // Trimming, space removal, case folding and the half-width fold keep the euro and the
  // byte after it apart.
  EXPECT_EQ(TrimSpaces(" \x80 "), "\x80");
  EXPECT_EQ(RemoveSpaces("1 \x80 2"),
            "1\x80"
            "2");
  EXPECT_EQ(LowerCaseText("\x80"
                          "AB"),
            "\x80"
            "ab");
  EXPECT_EQ(FoldHalfWidth("\x80\xA3\xB1"),
            "\x80"
            "1");
  EXPECT_EQ(FoldHalfWidth("9\x80"), "9\x80");
}

TEST(EuroByte, FindAgreesWithTheStepByStepRuleOnRandomTexts) {
  std::mt19937 random(20261211);
  static const char alphabet[] = {'a', 'A', '<', '\x80', '\xFF', '\xB0', '\x81'};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t n = random() % 20; n > 0; --n) text.push_back(alphabet[random() % 7]);
    std::string target;
    for (std::size_t n = 1 + random() % 2; n > 0; --n) target.push_back(alphabet[random() % 7]);
    const int start = static_cast<int>(random() % 22) - 2;
    const bool ignoreCase = random() % 3 == 0;
    ASSERT_EQ(FindText(text, target, start, ignoreCase), NaiveFind(text, target, start, ignoreCase))
        << testing::PrintToString(text) << " " << testing::PrintToString(target) << " " << start;
    ASSERT_EQ(FindTextBackward(text, target, std::nullopt, ignoreCase),
              NaiveFindBackward(text, target, std::nullopt, ignoreCase))
        << testing::PrintToString(text) << " " << testing::PrintToString(target);
  }
}

}  // namespace
}  // namespace korvelin
