#include "monitor/price_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "common/code_page.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/text.h"
#include "monitor/engine_test_context.h"
#include "support/fake_marketplace.h"
#include "support/loopback_page_server.h"
#include "support/loopback_server.h"
#include "support/temp_folder.h"

namespace korvelin {
namespace {

using testing::LoopbackPageServer;
using testing::MakeTestEngine;
using testing::PricePage;
using testing::TestEngine;
using testing::TestRow;
using testing::WithoutStamp;

// Pages by path; a path without a page gets an empty body.
LoopbackPageServer::Handler PagesHandler(std::map<std::string, std::string> pages) {
  return [pages = std::move(pages)](const std::string& path) {
    const auto found = pages.find(path);
    return found == pages.end() ? std::string() : found->second;
  };
}

// The check entry: "\r\n" name " - 价格：" price " ---- 耗时:" digits "\r\n\r\n" after the stamp;
// gives the elapsed milliseconds, -1 when the form is wrong.
long long CheckEntryElapsed(const std::string& entry, const std::string& name,
                            const std::string& price) {
  const std::string rest = WithoutStamp(entry);
  const std::string head = "\r\n" + name + Ansi(" - 价格：") + price + " ---- " + Ansi("耗时:");
  if (rest.compare(0, head.size(), head) != 0 || !rest.ends_with("\r\n\r\n")) {
    ADD_FAILURE() << "check entry: " << AnsiToUtf8(entry);
    return -1;
  }
  const std::string digits = rest.substr(head.size(), rest.size() - head.size() - 4);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
    ADD_FAILURE() << "elapsed: " << digits;
    return -1;
  }
  return std::stoll(digits);
}

struct VerdictCase {
  const char* label;
  const char* country;
  const char* marker;     // page bytes between class="price" and the price
  const char* pagePrice;  // UTF-8
  const char* target;
  const char* priceText;  // what the log and column 3 get
  bool atOrBelow;
};

const VerdictCase kVerdictCases[] = {
    {"equal whole", "美国", ">$", "60", "60", "60", true},
    {"equal with decimals", "美国", ">$", "60.00", "60", "60.00", true},
    {"a cent above", "美国", ">$", "60.01", "60", "60.01", false},
    {"a cent below", "美国", ">$", "59.99", "60", "59.99", true},
    {"decimal comma", "德国", ">EUR ", "54,99", "60", "54.99", true},
    {"thousands dot and decimal comma", "德国", ">EUR ", "1.299,00", "1300", "1299.00", true},
    {"thousands dot above target", "德国", ">EUR ", "1.299,00", "1298.99", "1299.00", false},
    {"two thousands dots", "法国", ">EUR ", "1.234.567,89", "1234567.89", "1234567.89", true},
    {"thousands comma", "美国", ">$", "1,299.00", "1299", "1299.00", true},
    {"thousands comma above target", "美国", ">$", "1,299.00", "1298", "1299.00", false},
    {"dot only on a comma marketplace", "德国", ">EUR ", "12.50", "12", "12.50", false},
    {"spaces kept in the text", "加拿大", ">CDN$ ", "5.00 ", "6", "5.00 ", true},
    {"yen sign read as two question marks", "日本", ">\x81\x8F ", "1,980", "2000", "1980", true},
    {"full-width yuan sign", "中国", ">\xEF\xBF\xA5 ", "99.5", "99", "99.5", false},
    {"not a number reads 0", "美国", ">$", "abc", "0", "abc", true},
    {"empty target reads 0", "美国", ">$", "0.01", "", "0.01", false},
};

class VerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTest, LogsWritesRowAndMarks) {
  const VerdictCase& c = GetParam();
  testing::FakeMarketplace marketplace;
  ASSERT_TRUE(marketplace.Ok());
  marketplace.SetPrice("B00TEST", c.pagePrice, c.marker);
  TestEngine engine = MakeTestEngine("127.0.0.1:" + std::to_string(marketplace.Port()));
  engine.settings().SetTicked(Tick::Balloon, false);
  engine.desktop->active = true;
  ProductEntry row = TestRow("爱他美1", "B00TEST", c.target, c.country);
  row.currentPrice = "old";
  row.dropMark = c.atOrBelow ? "" : Ansi("√");
  const RowId id = engine.products().Append(row);

  CheckRow(engine.context, id);

  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), c.atOrBelow ? 2u : 1u);
  EXPECT_GE(CheckEntryElapsed(entries[0], row.name, c.priceText), 0);
  if (c.atOrBelow) {
    EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 降价了！\r\n\r\n"));
  }
  const ProductEntry after = *engine.products().RowById(id);
  EXPECT_EQ(after.currentPrice, c.priceText);
  EXPECT_EQ(after.dropMark, c.atOrBelow ? Ansi("√") : "");
  const auto requests = marketplace.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].requestLine, "GET /product-reviews/B00TEST HTTP/1.1");
}

INSTANTIATE_TEST_SUITE_P(Pages, VerdictTest, ::testing::ValuesIn(kVerdictCases),
                         [](const auto& info) {
                           std::string name = info.param.label;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

struct NormaliseCase {
  const char* country;
  const char* cut;
  const char* expected;
};

TEST(NormalisePriceText, CommaRuleOfEachKindOfMarketplace) {
  const NormaliseCase cases[] = {
      {"德国", "1.299,00", "1299.00"},
      {"德国", "54,99", "54.99"},
      {"意大利", "1.000.000", "1000000"},  // dots grouping a whole number go
      {"荷兰", "1,2,3", "1.2.3"},          // only dots before the last comma go
      {"美国", "1,299.00", "1299.00"},
      {"日本", "1,980", "1980"},
      {"中国", "", ""},
  };
  TestEngine engine = MakeTestEngine("127.0.0.1:1");
  for (const NormaliseCase& c : cases) {
    EXPECT_EQ(NormalisePriceText(c.cut, engine.marketplace(c.country)), c.expected)
        << c.country << " " << c.cut;
  }
}

struct NoPriceCase {
  const char* label;
  std::string page;
  std::string loggedPrice;
};

TEST(CheckRow, NoPriceLogsBothEntriesAndLeavesTheRow) {
  const NoPriceCase cases[] = {
      {"no marker", "<html><span class=\"prize\">EUR 5,00</span></html>", ""},
      {"no end marker", "<html><span class=\"price\">EUR 5,00", ""},
      {"spaces only", PricePage("EUR    "), "   "},
      {"empty body", "", ""},
  };
  for (const NoPriceCase& c : cases) {
    SCOPED_TRACE(c.label);
    LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", c.page}}));
    TestEngine engine = MakeTestEngine(server.HostPort());
    ProductEntry row = TestRow("奶粉", "B01", "60", "德国");
    row.currentPrice = "12.00";
    row.dropMark = Ansi("√");
    const RowId id = engine.products().Append(row);

    CheckRow(engine.context, id);

    EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
    const std::vector<std::string> entries = engine.log->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_GE(CheckEntryElapsed(entries[0], row.name, c.loggedPrice), 0);
    EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 超时了！\r\n\r\n"));
    // The product page (/dp/B01) had an empty reply too.
    EXPECT_EQ(WithoutStamp(entries[2]), "\r\n" + row.name + Ansi(" - 原因：没有收到回复\r\n\r\n"));
    EXPECT_EQ(*engine.products().RowById(id), row);
    EXPECT_TRUE(engine.desktop->Calls().empty());
  }
}

TEST(CheckRow, EveryPriceReadIsRecordedInTheHistoryAndNoPriceRecordsNothing) {
  const struct {
    const char* label;
    std::string page;
    std::size_t records;
  } cases[] = {
      {"above target", PricePage("EUR 60,01"), 1},
      {"at or below target", PricePage("EUR 1.299,00"), 1},
      {"no marker", "<html><span class=\"prize\">EUR 5,00</span></html>", 0},
      {"spaces only", PricePage("EUR    "), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", c.page}}));
    TestEngine engine = MakeTestEngine(server.HostPort());
    testing::TempFolder folder("korvelin-check-history");
    engine.context->history = std::make_shared<PriceHistory>(folder.Path(), engine.log);
    const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));
    const std::int64_t before = UnixMillisNow();

    CheckRow(engine.context, id);
    engine.context->history->Flush();

    const auto points =
        engine.context->history->Query("B01", Ansi("德国"), before, UnixMillisNow());
    ASSERT_EQ(points.size(), c.records);
    if (c.records == 1) {
      EXPECT_EQ(points[0].price, TextToReal(engine.products().RowById(id)->currentPrice));
    }
    EXPECT_FALSE(engine.context->history->Failed());
  }
}

TEST(CheckRow, AHistoryThatCannotBeWrittenCostsOneLogEntryAndNothingElse) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 60,01")}}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  testing::TempFolder folder("korvelin-check-history");
  const std::string file = PriceHistoryFilePath(folder.Path());
  ASSERT_TRUE(WriteFileBytes(file, std::string(4096, 'x')));  // not a database
  engine.context->history = std::make_shared<PriceHistory>(folder.Path(), engine.log);
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));

  for (int check = 0; check < 2; ++check) {
    CheckRow(engine.context, id);
    engine.context->history->Flush();
  }

  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "60.01");
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 3u);  // two check entries, one history entry between them
  EXPECT_GE(CheckEntryElapsed(entries[0], Ansi("奶粉"), "60.01"), 0);
  EXPECT_EQ(WithoutStamp(entries[1]), Ansi("\r\n价格历史无法写入：") + Utf8ToAnsi(file) +
                                          Ansi(" - 不是价格历史文件\r\n\r\n"));
  EXPECT_GE(CheckEntryElapsed(entries[2], Ansi("奶粉"), "60.01"), 0);
}

TEST(CheckRow, RefusedConnectionCountsAsNoPrice) {
  TestEngine engine = MakeTestEngine(testing::ClosedHostPort());
  const ProductEntry row = TestRow("奶粉", "B01", "60", "德国");
  const RowId id = engine.products().Append(row);
  CheckRow(engine.context, id);
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_GE(CheckEntryElapsed(entries[0], row.name, ""), 0);
  EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 超时了！\r\n\r\n"));
  EXPECT_EQ(WithoutStamp(entries[2]), "\r\n" + row.name + Ansi(" - 原因：没有收到回复\r\n\r\n"));
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

TEST(CheckRow, TimeoutTickBoundsASlowPage) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 5,00")}}));
  server.Hold();
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::Timeout, true);
  engine.settings().SetText(Edit::Timeout, "1");
  const ProductEntry row = TestRow("奶粉", "B01", "60", "德国");
  const RowId id = engine.products().Append(row);

  CheckRow(engine.context, id);
  server.Release();

  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 3u);
  // The page never came within the one-second time-out; the entry shows the wait.
  EXPECT_GE(CheckEntryElapsed(entries[0], row.name, ""), 900);
  EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 超时了！\r\n\r\n"));
  EXPECT_EQ(WithoutStamp(entries[2]), "\r\n" + row.name + Ansi(" - 原因：没有收到回复\r\n\r\n"));
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "");
}

// A marketplace that sends the page at once but never ends it (a space every half second):
// with "超时" ticked (T = 1 s) the check ends at the whole-transfer deadline of 4 x T and reads
// the price from what arrived.
TEST(CheckRowThreaded, ATricklingPageEndsAtTheDeadlineWithThePriceThatArrived) {
  auto server = std::make_unique<testing::LoopbackServer>([](testing::Connection& c) {
    std::string line;
    while (c.ReadLine(line) && !line.empty()) {
    }
    if (!c.Write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + PricePage("EUR 5,00"))) return;
    while (!c.Stopping() && !c.PeerClosed()) {
      c.ReadSome(500);
      if (!c.Write(" ")) return;
    }
  });
  TestEngine engine = MakeTestEngine("127.0.0.1:" + std::to_string(server->Port()));
  engine.settings().SetTicked(Tick::Timeout, true);
  engine.settings().SetText(Edit::Timeout, "1");
  const ProductEntry row = TestRow("奶粉", "B01", "60", "德国");
  const RowId id = engine.products().Append(row);

  std::future<void> check = std::async(std::launch::async, [&] { CheckRow(engine.context, id); });
  if (check.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the check had not ended after 10 s";
    server.reset();  // ends the transfer
  }
  check.get();
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_GE(entries.size(), 1u);
  const long long elapsed = CheckEntryElapsed(entries[0], row.name, "5.00");
  std::printf("trickling page, T=1 s: the check ended after %lld ms with its price\n", elapsed);
  EXPECT_GE(elapsed, 3900);
  EXPECT_LE(elapsed, 5000);
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "5.00");
}

// A code with a space and a control byte still makes its request, percent-encoded.
TEST(CheckRow, ACodeWithASpaceIsRequestedEncoded) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B0%201%09", PricePage("EUR 7,00")}}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  const RowId id = engine.products().Append(TestRow("奶粉", "B0 1\t", "60", "德国"));
  CheckRow(engine.context, id);
  EXPECT_EQ(server.Paths(), std::vector<std::string>{"/product-reviews/B0%201%09"});
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "7.00");
}

TEST(CheckRow, TimeoutTickStillReadsAPromptPage) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 70,00")}}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::Timeout, true);
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));
  CheckRow(engine.context, id);
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "70.00");
  EXPECT_EQ(engine.log->Entries().size(), 1u);
}

TEST(CheckRow, AtOrBelowRaisesTheAlertsOfTheRowsMarketplace) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B0JP", PricePage("?? 1,980")}}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::OpenPage, true);
  engine.desktop->active = true;
  const RowId id = engine.products().Append(TestRow("日本产品", "B0JP", "2000", "日本"));

  CheckRow(engine.context, id);

  const auto opened = engine.desktop->Calls("open");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].text, "http://" + server.HostPort() + "/gp/product/B0JP");
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "1980");
  EXPECT_EQ(engine.ledger().Text().substr(0, Ansi("日本产品_链接|").size()),
            Ansi("日本产品_链接|"));
}

TEST(CheckRow, AboveTargetRaisesNothing) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 60,01")}}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::OpenPage, true);
  engine.desktop->visible = false;  // a hidden window would get a balloon on any alert
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));
  CheckRow(engine.context, id);
  EXPECT_TRUE(engine.desktop->Calls().empty());
  EXPECT_EQ(engine.ledger().Text(), "");
}

TEST(CheckRowThreaded, StopDuringTheFetchStillLogsAndWritesButRaisesNoAlert) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 50,00")}}));
  server.Hold();
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::OpenPage, true);
  engine.settings().SetTicked(Tick::Sms, true);
  engine.settings().SetTicked(Tick::MailAlerts, true);
  engine.desktop->visible = true;
  engine.desktop->active = false;  // a balloon would show while monitoring runs
  const ProductEntry row = TestRow("奶粉", "B01", "60", "德国");
  const RowId id = engine.products().Append(row);

  std::thread check([&] { CheckRow(engine.context, id); });
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 1);
  engine.context->MonitoringStopped = 1;
  server.Release();
  check.join();

  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_GE(CheckEntryElapsed(entries[0], row.name, "50.00"), 0);
  EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 降价了！\r\n\r\n"));
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "50.00");
  EXPECT_EQ(engine.products().RowById(id)->dropMark, Ansi("√"));
  EXPECT_TRUE(engine.desktop->Calls().empty());
  EXPECT_EQ(engine.ledger().Text(), "");
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

TEST(CheckRowThreaded, ARowDeletedDuringTheFetchGetsNoWriteAndNoOtherRowIsTouched) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B02", PricePage("EUR 50,00")}}));
  server.Hold();
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.products().Append(TestRow("第一", "B01", "60", "德国"));
  const RowId id = engine.products().Append(TestRow("第二", "B02", "60", "德国"));
  engine.products().Append(TestRow("第三", "B03", "60", "德国"));

  std::thread check([&] { CheckRow(engine.context, id); });
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  ASSERT_TRUE(engine.products().RemoveAt(engine.products().IndexOf(id)));
  const std::vector<ProductEntry> before = engine.products().Rows();
  server.Release();
  check.join();

  EXPECT_EQ(engine.products().Rows(), before);
  EXPECT_EQ(engine.products().IndexOf(id), -1);
  // The check itself went on: it logged its price and verdict.
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_GE(CheckEntryElapsed(entries[0], Ansi("第二"), "50.00"), 0);
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

// Two checks of one row overlap and the older one ends last: the row keeps what the newer
// one wrote. The older check still logs what it found.
TEST(CheckRowThreaded, AnOlderCheckEndingLastDoesNotOverwriteTheNewerPrice) {
  std::promise<void> releaseFirst;
  std::shared_future<void> firstReleased = releaseFirst.get_future().share();
  std::atomic<int> requests{0};
  LoopbackPageServer server([&](const std::string&) {
    if (requests.fetch_add(1) == 0) {
      firstReleased.wait();
      return PricePage("EUR 20,00");
    }
    return PricePage("EUR 10,00");
  });
  TestEngine engine = MakeTestEngine(server.HostPort());
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "15", "德国"));

  std::thread older([&] { CheckRow(engine.context, id); });
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  CheckRow(engine.context, id);  // the newer check, ending first
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "10.00");
  EXPECT_EQ(engine.products().RowById(id)->dropMark, Ansi("√"));
  releaseFirst.set_value();
  older.join();

  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "10.00");
  EXPECT_EQ(engine.products().RowById(id)->dropMark, Ansi("√"));
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 3u);  // newer: check entry and 降价了; older: check entry
  EXPECT_GE(CheckEntryElapsed(entries[2], Ansi("奶粉"), "20.00"), 0);

  // Checks that do not overlap write in turn.
  CheckRow(engine.context, id);
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "10.00");
  server.SetHandler([](const std::string&) { return PricePage("EUR 30,00"); });
  CheckRow(engine.context, id);
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "30.00");
  EXPECT_EQ(engine.products().RowById(id)->dropMark, "");
}

// A check that began before a stop claims no ledger key, even when monitoring was started
// again by the time it reaches its alerts: the key would hold the next run's alert back.
TEST(CheckRowThreaded, ACheckBegunBeforeAStopClaimsNoKeyAfterIt) {
  LoopbackPageServer server(PagesHandler({{"/product-reviews/B01", PricePage("EUR 50,00")}}));
  server.Hold();
  TestEngine engine = MakeTestEngine(server.HostPort());
  engine.settings().SetTicked(Tick::OpenPage, true);
  engine.settings().SetTicked(Tick::Sound, true);
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));

  std::thread check([&] { CheckRow(engine.context, id); });
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10)));
  engine.ledger().Clear();  // stop (the ledger emptied) ...
  engine.context->MonitoringStopped = 1;
  engine.context->MonitoringStopped = 0;  // ... and start again
  server.Release();
  check.join();

  EXPECT_EQ(engine.products().RowById(id)->dropMark, Ansi("√"));
  EXPECT_EQ(engine.ledger().Text(), "");
  EXPECT_TRUE(engine.desktop->Calls("open").empty());
  EXPECT_TRUE(engine.desktop->Calls("play").empty());

  // A check begun after the start claims as usual.
  CheckRow(engine.context, id);
  EXPECT_EQ(engine.desktop->Calls("open").size(), 1u);
  EXPECT_NE(engine.ledger().Text(), "");
}

TEST(CheckRow, ARowGoneBeforeTheStartIsNotChecked) {
  LoopbackPageServer server(PagesHandler({}));
  TestEngine engine = MakeTestEngine(server.HostPort());
  const RowId id = engine.products().Append(TestRow("奶粉", "B01", "60", "德国"));
  engine.products().Clear();
  CheckRow(engine.context, id);
  EXPECT_TRUE(engine.log->Entries().empty());
  EXPECT_TRUE(server.Paths().empty());
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

TEST(RunningCheckToken, TakesUpToTheBoundAndGivesBackOnce) {
  TestEngine engine = MakeTestEngine("127.0.0.1:1");
  std::vector<RunningCheckToken> tokens;
  for (int i = 0; i < 3; ++i) {
    RunningCheckToken token = RunningCheckToken::TryTake(engine.context, 3);
    ASSERT_TRUE(token.held());
    tokens.push_back(std::move(token));
  }
  EXPECT_FALSE(RunningCheckToken::TryTake(engine.context, 3).held());
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 3);
  RunningCheckToken moved = std::move(tokens[0]);
  EXPECT_FALSE(tokens[0].held());
  moved.Return();
  moved.Return();
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 2);
  tokens.clear();
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);
}

}  // namespace
}  // namespace korvelin
