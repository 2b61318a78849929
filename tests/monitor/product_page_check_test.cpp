// The check's second request: the product page of today, when the reviews page gives no price.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "monitor/captcha_pause.h"
#include "monitor/engine_test_context.h"
#include "support/loopback_page_server.h"
#include "monitor/price_check.h"
#include "support/fake_marketplace.h"
#include "support/saved_page.h"

namespace korvelin {
namespace {

using testing::MakeTestEngine;
using testing::SavedPage;
using testing::TestEngine;
using testing::TestRow;
using testing::WithoutStamp;

std::string PlainHost(const testing::FakeMarketplace& m) {
  return "127.0.0.1:" + std::to_string(m.Port());
}
std::string TlsHost(const testing::FakeMarketplace& m) {
  return "127.0.0.1:" + std::to_string(m.TlsPort());
}

TEST(ProductPageCheck, SignInRedirectThenTheProductPageOverTlsWithBrowserHeaders) {
  testing::FakeMarketplace marketplace;
  ASSERT_TRUE(marketplace.Ok());
  marketplace.SetProductPage("B0TLS00001", SavedPage("us-2024-sainsmart-relay.html.gz"));
  TestEngine engine = MakeTestEngine(PlainHost(marketplace), TlsHost(marketplace));
  const RowId id = engine.products().Append(TestRow("继电器", "B0TLS00001", "5", "美国"));

  CheckRow(engine.context, id);
  CheckRow(engine.context, id);

  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 2u);  // two checks, one entry each: 8.99 is above 5
  for (const std::string& entry : entries) {
    EXPECT_TRUE(WithoutStamp(entry).starts_with(Ansi("\r\n继电器 - 价格：8.99 ---- 耗时:")))
        << AnsiToUtf8(entry);
  }
  EXPECT_EQ(engine.products().RowById(id)->currentPrice, "8.99");
  EXPECT_EQ(engine.products().RowById(id)->dropMark, "");

  const auto requests = marketplace.Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].requestLine, "GET /product-reviews/B0TLS00001 HTTP/1.1");
  EXPECT_FALSE(requests[0].tls);
  EXPECT_EQ(requests[1].requestLine, "GET /ap/signin HTTP/1.1");
  const testing::RecordedRequest& product = requests[2];
  EXPECT_EQ(product.requestLine, "GET /dp/B0TLS00001 HTTP/1.1");
  EXPECT_TRUE(product.tls);
  EXPECT_TRUE(product.Header("User-Agent").starts_with("Mozilla/5.0 (Windows NT 10.0; Win64; x64;"))
      << product.Header("User-Agent");
  EXPECT_NE(product.Header("User-Agent").find("Firefox/"), std::string::npos);
  EXPECT_TRUE(product.Header("Accept").starts_with("text/html,application/xhtml+xml"));
  EXPECT_EQ(product.Header("Accept-Language"), "en-US,en;q=0.9");
  // The second check's product page carries the cookie the first one was given.
  EXPECT_EQ(requests[5].requestLine, "GET /dp/B0TLS00001 HTTP/1.1");
  EXPECT_NE(requests[5].Header("Cookie").find("session-id=B0TLS00001"), std::string::npos)
      << requests[5].headerBlock;
}

TEST(ProductPageCheck, CaptchaGivesTheCauseAndPausesTheMarketplace) {
  testing::FakeMarketplace marketplace;
  ASSERT_TRUE(marketplace.Ok());
  marketplace.SetProductPage("B0CAPTCHA1", SavedPage("br-2026-robot-check.html.gz"));
  marketplace.SetPrice("B0OTHER001", "7,50");  // a reviews page that still carries the marker
  TestEngine engine = MakeTestEngine(PlainHost(marketplace));
  const RowId blocked = engine.products().Append(TestRow("奶粉", "B0CAPTCHA1", "60", "德国"));
  const RowId other = engine.products().Append(TestRow("奶粉2", "B0OTHER001", "60", "德国"));
  const RowId elsewhere = engine.products().Append(TestRow("奶粉3", "B0OTHER001", "60", "法国"));

  CheckRow(engine.context, blocked);
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(WithoutStamp(entries[1]), Ansi("\r\n奶粉 - 超时了！\r\n\r\n"));
  EXPECT_EQ(WithoutStamp(entries[2]), Ansi("\r\n奶粉 - 原因：网站要求验证码\r\n\r\n"));
  EXPECT_EQ(WithoutStamp(entries[3]), Ansi("\r\n德国 - 网站要求验证码，暂停检查1分钟\r\n\r\n"));
  const std::size_t requestsAfterCaptcha = marketplace.Requests().size();
  EXPECT_EQ(requestsAfterCaptcha, 3u);

  // While the pause runs, no check of that marketplace sends anything or logs anything.
  CheckRow(engine.context, blocked);
  CheckRow(engine.context, other);
  EXPECT_EQ(marketplace.Requests().size(), requestsAfterCaptcha);
  EXPECT_EQ(engine.log->Entries().size(), 4u);
  EXPECT_EQ(engine.products().RowById(other)->currentPrice, "");
  EXPECT_EQ(engine.context->RunningCheckCount.load(), 0);

  // Another marketplace is not held back.
  CheckRow(engine.context, elsewhere);
  EXPECT_EQ(engine.products().RowById(elsewhere)->currentPrice, "7.50");
}

TEST(CaptchaPause, DoublesUpTo30MinutesAndEndsWithTheFirstOtherReply) {
  CaptchaPause pause;
  const std::string de = Ansi("德国");
  auto at = CaptchaPause::Clock::time_point{} + std::chrono::hours(1);
  std::vector<int> minutes;
  for (int i = 0; i < 7; ++i) {
    EXPECT_FALSE(pause.Paused(de, at));
    minutes.push_back(pause.OnCaptcha(de, at));
    EXPECT_TRUE(pause.Paused(de, at));
    // A captcha seen by a check that was already under way adds nothing.
    EXPECT_EQ(pause.OnCaptcha(de, at + std::chrono::seconds(1)), 0);
    at += std::chrono::minutes(minutes.back());
  }
  EXPECT_EQ(minutes, (std::vector<int>{1, 2, 4, 8, 16, 30, 30}));
  EXPECT_FALSE(pause.Paused(Ansi("法国"), at));
  // A check that was under way when the pause began ends nothing with its good reply.
  EXPECT_EQ(pause.OnCaptcha(de, at), 30);
  pause.OnOtherReply(de, at - std::chrono::seconds(1));
  EXPECT_TRUE(pause.Paused(de, at));
  pause.OnOtherReply(de, at);
  EXPECT_FALSE(pause.Paused(de, at));
  EXPECT_EQ(pause.OnCaptcha(de, at), 1);
}

TEST(ProductPageCheck, TheTimeoutLimitBoundsBothRequestsTogether) {
  // The reviews page answers at once with the sign-in page; the product page's host takes
  // the connection and never answers.
  testing::FakeMarketplace marketplace;
  ASSERT_TRUE(marketplace.Ok());
  marketplace.SetProductPage("B0SLOW0001", "unused");
  testing::LoopbackSocket hanging;
  hanging.Listen(16);
  TestEngine engine = MakeTestEngine(PlainHost(marketplace), hanging.HostPort());
  engine.settings().SetTicked(Tick::Timeout, true);
  engine.settings().SetText(Edit::Timeout, "2");
  const RowId id = engine.products().Append(TestRow("奶粉", "B0SLOW0001", "60", "德国"));

  const auto started = std::chrono::steady_clock::now();
  CheckRow(engine.context, id);
  const auto took = std::chrono::steady_clock::now() - started;

  // Without the whole-check limit the product page would wait for the 60 s stall guard.
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_GE(took, std::chrono::milliseconds(1500));
  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(WithoutStamp(entries[2]), Ansi("\r\n奶粉 - 原因：没有收到回复\r\n\r\n"));
}

}  // namespace
}  // namespace korvelin
