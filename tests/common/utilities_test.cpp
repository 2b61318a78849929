#include "common/utilities.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "common/numbers.h"

namespace korvelin {
namespace {

TEST(MillisTextOf, CountsFromEightOClockOnNewYear1970) {
  const struct {
    DateTime local;
    int millis;
    const char* text;
  } cases[] = {
      {{1970, 1, 1, 8, 0, 0}, 0, "0000"},
      {{1970, 1, 1, 8, 0, 1}, 5, "1005"},
      {{1970, 1, 1, 8, 0, 1}, 45, "1045"},
      {{1970, 1, 1, 8, 0, 1}, 999, "1999"},
      {{1970, 1, 2, 8, 0, 0}, 7, "86400007"},
      {{2014, 11, 17, 13, 5, 9}, 7, "1416200709007"},  // Unix time 1416200709 in UTC+8
      {{2000, 3, 1, 8, 0, 0}, 0, "951868800000"},      // after a leap day
  };
  for (const auto& c : cases) EXPECT_EQ(MillisTextOf(c.local, c.millis), c.text) << c.text;
}

TEST(NowMillisText, HasThirteenDigitsAndFollowsTheClock) {
  const auto unixMillis = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  const long long before = unixMillis();
  const std::string text = NowMillisText();
  const long long after = unixMillis();
  ASSERT_EQ(text.size(), 13u);
  EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos);
  // The value is the Unix time shifted by the zone's distance from UTC+8.
  std::time_t now = static_cast<std::time_t>(before / 1000);
  std::tm local{};
  localtime_r(&now, &local);
  const long long shift = (local.tm_gmtoff - 8 * 3600) * 1000LL;
  const long long value = TextToInt64(text) - shift;
  EXPECT_GE(value, before);
  EXPECT_LE(value, after);
}

TEST(PumpedDelay, ComputesTheWaitFromAmountAndUnit) {
  EXPECT_EQ(PumpedDelayMilliseconds(600), 600);
  EXPECT_EQ(PumpedDelayMilliseconds(600, DelayUnit::Milliseconds), 600);
  EXPECT_EQ(PumpedDelayMilliseconds(2, DelayUnit::Seconds), 2000);
  EXPECT_EQ(PumpedDelayMilliseconds(3, DelayUnit::Minutes), 180000);
  EXPECT_EQ(PumpedDelayMilliseconds(1, DelayUnit::Hours), 3600000);
  EXPECT_EQ(PumpedDelayMilliseconds(5, static_cast<DelayUnit>(9)), 5);
  EXPECT_EQ(PumpedDelayMilliseconds(0, DelayUnit::Seconds), 0);
  EXPECT_EQ(PumpedDelayMilliseconds(-4, DelayUnit::Seconds), 0);
}

TEST(PumpedDelay, HandsTheWaitToTheHook) {
  std::atomic<long long> asked{-1};
  SetPumpedDelayHook([&](long long ms) {
    asked = ms;
    return true;
  });
  // Two hours pass at once because the hook says it waited.
  EXPECT_TRUE(PumpedDelay(2, DelayUnit::Hours));
  EXPECT_EQ(asked.load(), 7200000);
  asked = -1;
  EXPECT_TRUE(PumpedDelay(0));
  EXPECT_EQ(asked.load(), -1);  // nothing to wait for: the hook is not called
  SetPumpedDelayHook(nullptr);
}

TEST(PumpedDelay, SleepsWhenTheHookDeclines) {
  std::atomic<int> calls{0};
  SetPumpedDelayHook([&](long long) {
    ++calls;
    return false;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(PumpedDelay(30));
  const auto waited = std::chrono::steady_clock::now() - start;
  SetPumpedDelayHook(nullptr);
  EXPECT_EQ(calls.load(), 1);
  EXPECT_GE(waited, std::chrono::milliseconds(30));  // it did wait, however long that took
}

TEST(PumpedDelay, HookCanBeSwappedWhileOtherThreadsWait) {
  std::atomic<int> hookCalls{0};
  std::vector<std::thread> waiters;
  for (int t = 0; t < 4; ++t)
    waiters.emplace_back([] {
      for (int k = 0; k < 50; ++k) PumpedDelay(1);
    });
  for (int k = 0; k < 50; ++k) {
    SetPumpedDelayHook([&](long long) {
      ++hookCalls;
      return true;
    });
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    SetPumpedDelayHook(nullptr);
  }
  for (std::thread& waiter : waiters) waiter.join();
  // Once the hook is removed, waits no longer reach it.
  const int before = hookCalls.load();
  PumpedDelay(1);
  EXPECT_EQ(hookCalls.load(), before);
}

TEST(TextBetween, CutsBetweenTheFirstStartMarkerAndTheNextEndMarker) {
  const std::string page = Ansi("<span class=\"price\">EUR 12,99</span> 价格：<b>7</b>");
  const struct {
    std::string start;
    std::string end;
    std::optional<int> from;
    bool ignoreCase;
    std::string expected;
  } cases[] = {
      {"class=\"price\">EUR ", "<", std::nullopt, false, "12,99"},
      {Ansi("class=#引号price#引号>EUR "), "<", std::nullopt, false, "12,99"},
      {Ansi("价格：<b>"), "<", std::nullopt, false, "7"},
      {"CLASS=\"PRICE\">eur ", "<", std::nullopt, true, "12,99"},
      {"CLASS=\"PRICE\">eur ", "<", std::nullopt, false, ""},
      {"class=\"price\">EUR ", "#", std::nullopt, false, ""},  // no end marker after it
      {"<b>", "</b>", std::nullopt, false, "7"},
      {"<", ">", 2, false, "/span"},
      {"", " ", std::nullopt, false, "<span"},  // empty start marker: start of the text
      {"</b>", "<", std::nullopt, false, ""},   // start marker ends the text
      {"EUR ", "12", std::nullopt, false, ""},  // end marker right after the start marker
      {"missing", "<", std::nullopt, false, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextBetween(page, c.start, c.end, c.from, c.ignoreCase), c.expected)
        << AnsiToUtf8(c.start);
  // Only the first start marker counts.
  EXPECT_EQ(TextBetween("[a [b]", "[", "]"), "a [b");
  EXPECT_EQ(TextBetween("x[a y[b]", "[", "]"), "a y[b");
  EXPECT_EQ(TextBetween("[a", "[", "]"), "");
}

TEST(TextAfterLast, GivesWhatFollowsTheLastMarker) {
  const std::string key = Ansi("name_报警|1005");
  EXPECT_EQ(TextAfterLast(key, "|"), "1005");
  EXPECT_EQ(TextAfterLast("no marker", "|"), "");
  EXPECT_EQ(TextAfterLast("a|b|", "|"), "");
  EXPECT_EQ(TextAfterLast("a|b|c", "|"), "c");
  EXPECT_EQ(TextAfterLast("a||b", "||"), "b");
  EXPECT_EQ(TextAfterLast("a|b|c", "|", 4), "b|c");
  EXPECT_EQ(TextAfterLast("A-b-C", "B", std::nullopt, true), "-C");
}

}  // namespace
}  // namespace korvelin
