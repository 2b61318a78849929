#include "notify/alert_ledger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "common/numbers.h"
#include "common/utilities.h"

namespace korvelin {
namespace {

std::int64_t Now() { return TextToInt64(NowMillisText()); }
std::string Line(const std::string& key, std::int64_t expiry) {
  return key + IntToText(expiry) + "\r\n";
}

TEST(AlertLedger, AddWritesKeyExpiryAndLineEnd) {
  AlertLedger ledger;
  std::vector<std::string> mirrored;
  ledger.SetListener([&](const std::string& text) { mirrored.push_back(text); });
  const std::string key = Ansi("测试产品_邮件|");
  const std::int64_t before = Now();
  ledger.Add(key);
  const std::int64_t after = Now();

  const std::string text = ledger.Text();
  ASSERT_TRUE(text.starts_with(key));
  const std::string digits = text.substr(key.size(), text.size() - key.size() - 2);
  EXPECT_TRUE(std::regex_match(digits, std::regex("[0-9]{13}"))) << digits;
  EXPECT_TRUE(text.ends_with("\r\n"));
  EXPECT_GE(TextToInt64(digits), before + 600000);
  EXPECT_LE(TextToInt64(digits), after + 600000);
  EXPECT_EQ(mirrored, std::vector<std::string>{text});
  EXPECT_TRUE(ledger.Contains(key));
}

TEST(AlertLedger, AKeyMatchesOnlyAtTheStartOfALine) {
  AlertLedger ledger;
  const std::int64_t later = Now() + 600000;
  ledger.SetText(Line(Ansi("新产品1_报警|"), later) + Line("abc_" + Ansi("链接|"), later));
  struct Case {
    std::string key;
    bool found;
  };
  const Case cases[] = {
      {Ansi("新产品1_报警|"), true},
      {Ansi("产品1_报警|"), false},     // the end of another product's name
      {Ansi("_报警|"), false},          // a product with an empty name
      {"abc_" + Ansi("链接|"), true},   // a line after the first
      {"ABC_" + Ansi("链接|"), false},  // letter case counts
      {Ansi("新产品1_链接|"), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ledger.Contains(c.key), c.found) << AnsiToUtf8(c.key);
  }
  // An empty name has its own entries.
  ledger.Add(Ansi("_报警|"));
  EXPECT_TRUE(ledger.Contains(Ansi("_报警|")));
  EXPECT_FALSE(ledger.Contains(Ansi("产品1_报警|")));
}

TEST(AlertLedger, ClaimTakesAFreeKeyOnce) {
  AlertLedger ledger;
  EXPECT_TRUE(ledger.Claim(Ansi("user_短信|")));
  EXPECT_FALSE(ledger.Claim(Ansi("user_短信|")));
  EXPECT_TRUE(ledger.Claim(Ansi("奶粉_报警|")));
  EXPECT_EQ(ledger.Text().size(),
            2 * (13 + 2) + Ansi("user_短信|").size() + Ansi("奶粉_报警|").size());
}

// A claim made with the generation read before a Clear is refused and adds nothing; the
// generation moves with Clear only.
TEST(AlertLedger, ClaimOfAnEarlierGenerationIsRefused) {
  AlertLedger ledger;
  const std::uint64_t before = ledger.Generation();
  EXPECT_TRUE(ledger.Claim(Ansi("奶粉_报警|"), before));
  ledger.SetText(Ansi("x_报警|1\r\n"));
  ledger.Sweep();
  EXPECT_EQ(ledger.Generation(), before);
  ledger.Clear();
  EXPECT_EQ(ledger.Generation(), before + 1);
  EXPECT_FALSE(ledger.Claim(Ansi("user_短信|"), before));
  EXPECT_EQ(ledger.Text(), "");
  EXPECT_TRUE(ledger.Claim(Ansi("user_短信|"), before + 1));
  EXPECT_TRUE(ledger.Contains(Ansi("user_短信|")));
}

TEST(AlertLedgerThreaded, ClaimIsOneAtomicStep) {
  for (int round = 0; round < 20; ++round) {
    AlertLedger ledger;
    std::atomic<int> winners{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
      threads.emplace_back([&] {
        while (!go) std::this_thread::yield();
        if (ledger.Claim(Ansi("user_短信|"))) ++winners;
      });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(winners.load(), 1);
    EXPECT_EQ(ledger.Text().size(), Ansi("user_短信|").size() + 15);
  }
}

TEST(AlertLedgerThreaded, TheMirrorEndsWithTheLatestText) {
  AlertLedger ledger;
  std::mutex mutex;
  std::string mirrored;
  ledger.SetListener([&](const std::string& text) {
    std::lock_guard lock(mutex);
    mirrored = text;
  });
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (int j = 0; j < 50; ++j)
        ledger.Add("k" + std::to_string(i) + "_" + std::to_string(j) + "|");
    });
  }
  threads.emplace_back([&] {
    for (int j = 0; j < 50; ++j) ledger.Sweep();
  });
  for (std::thread& t : threads) t.join();
  std::lock_guard lock(mutex);
  EXPECT_EQ(mirrored, ledger.Text());
  const std::string text = ledger.Text();
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos;
       at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 400u);  // nothing had expired: every line kept
}

TEST(AlertLedger, SweepRemovesExpiredLinesAndKeepsTheRest) {
  const std::int64_t now = Now();
  const std::string live = Line(Ansi("奶粉_报警|"), now + 60000);
  struct Case {
    const char* label;
    std::string text;
    std::string kept;
  };
  const Case cases[] = {
      {"expiry equal to now", Line(Ansi("奶粉_链接|"), now) + live, live},
      {"expiry just before now", Line(Ansi("奶粉_链接|"), now - 1) + live, live},
      {"a name with a bar", Line(Ansi("a|b_链接|"), now - 1) + Line(Ansi("a|b_邮件|"), now + 60000),
       Line(Ansi("a|b_邮件|"), now + 60000)},
      {"ten bytes kept", "abcdefg|12\r\n" + live, "abcdefg|12\r\n" + live},
      {"ten bytes with Chinese kept", Ansi("产品|12345\r\n") + live, Ansi("产品|12345\r\n") + live},
      {"eleven bytes removed", "abcdefgh|12\r\n" + live, live},
      {"no bar removed", Ansi("没有竖线的一行文字\r\n") + live, live},
      {"not a number removed", Ansi("奶粉_链接|abc\r\n") + live, live},
      {"duplicates both removed",
       Line(Ansi("奶粉_链接|"), now - 5) + live + Line(Ansi("奶粉_链接|"), now - 5), live},
      {"last line without line end kept", live + Ansi("奶粉_链接|") + IntToText(now - 5),
       live + Ansi("奶粉_链接|") + IntToText(now - 5)},
      {"all expired", Line(Ansi("甲_链接|"), now - 1) + Line(Ansi("乙产品_链接|"), 0), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    AlertLedger ledger;
    ledger.SetText(c.text);
    ledger.Sweep();
    EXPECT_EQ(ledger.Text(), c.kept);
  }
}

TEST(AlertLedger, SweepOfAnEmptyLedgerChangesNothing) {
  AlertLedger ledger;
  int calls = 0;
  ledger.SetListener([&](const std::string&) { ++calls; });
  ledger.Sweep();
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ledger.Text(), "");
}

TEST(AlertLedger, ClearEmptiesAndTellsTheListener) {
  AlertLedger ledger;
  ledger.Add(Ansi("奶粉_报警|"));
  std::vector<std::string> mirrored;
  ledger.SetListener([&](const std::string& text) { mirrored.push_back(text); });
  ledger.Clear();
  EXPECT_EQ(ledger.Text(), "");
  EXPECT_EQ(mirrored, std::vector<std::string>{""});
  EXPECT_FALSE(ledger.Contains(Ansi("奶粉_报警|")));
}

TEST(AlertLedger, ListenerSeesEverySweepRemoval) {
  AlertLedger ledger;
  const std::int64_t now = Now();
  const std::string a = Line("aaaaaaaa|", now - 1), b = Line("bbbbbbbb|", now - 1);
  ledger.SetText(a + b);
  std::vector<std::string> mirrored;
  ledger.SetListener([&](const std::string& text) { mirrored.push_back(text); });
  ledger.Sweep();
  EXPECT_EQ(mirrored, (std::vector<std::string>{b, ""}));
}

}  // namespace
}  // namespace korvelin
