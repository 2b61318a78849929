// The page fetcher against hostile servers on loopback: a reply that trickles without end,
// phases that each take most of the time-out, a reply cut short, addresses with bytes an
// address cannot hold, and certificates that must not be trusted. Each case asserts the
// bound or the refusal.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "net/page_fetcher.h"
#include "support/fake_marketplace.h"
#include "support/loopback_server.h"

namespace korvelin {
namespace {

using testing::Connection;
using testing::FakeMarketplace;
using testing::LoopbackServer;
using testing::PricePage;
using testing::TlsIdentity;
namespace page_marker = testing::page_marker;
using Clock = std::chrono::steady_clock;

constexpr char kCode[] = "B00D8V0972";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the fetch and gives its result and how long it took; a fetch that has not returned
// `limit` after its start fails the test, and the server is then stopped to end it.
struct Timed {
  FetchResult result;
  double seconds = 0;
};
Timed RunBounded(std::unique_ptr<FakeMarketplace>& server, std::chrono::seconds limit,
                 const std::function<FetchResult()>& fetch) {
  const Clock::time_point start = Clock::now();
  std::future<FetchResult> done = std::async(std::launch::async, fetch);
  if (done.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the fetch had not returned after " << limit.count() << " s";
    server.reset();
  }
  Timed timed;
  timed.result = done.get();
  timed.seconds = SecondsSince(start);
  return timed;
}

TEST(PageFetcherHostile, ATricklingReplyEndsAtTheWholeTransferDeadlineWithWhatArrived) {
  auto server = std::make_unique<FakeMarketplace>();
  server->SetPrice(kCode, "54,99", page_marker::kEuro);
  const std::string page = PricePage(page_marker::kEuro, "54,99");
  // Two bytes a second, without end.
  const std::string url = server->BaseUrl() + "/trickle/500/product-reviews/" + kCode;

  // Request object, T = 1 s: the whole transfer at most 4 x T.
  const Timed object = RunBounded(server, std::chrono::seconds(12),
                                  [&] { return FetchViaRequestObjectResult(url, 1); });
  std::printf("trickle, request object T=1 s: returned after %.2f s with %zu bytes\n",
              object.seconds, object.result.body.size());
  EXPECT_GE(object.seconds, 3.9);
  EXPECT_LE(object.seconds, 5.0);
  EXPECT_EQ(object.result.curlCode, CURLE_OPERATION_TIMEDOUT);
  EXPECT_FALSE(object.result.body.empty());
  EXPECT_EQ(page.compare(0, object.result.body.size(), object.result.body), 0);

  // Internet API with a deadline of 2 s (120 s in the program).
  ASSERT_TRUE(server);
  const Timed api = RunBounded(server, std::chrono::seconds(10), [&] {
    return FetchViaInternetApiResult(url, HttpMethod::Get, {}, nullptr, nullptr, nullptr, 2000);
  });
  std::printf("trickle, internet API deadline 2 s: returned after %.2f s with %zu bytes\n",
              api.seconds, api.result.body.size());
  EXPECT_GE(api.seconds, 1.9);
  EXPECT_LE(api.seconds, 3.0);
  EXPECT_EQ(api.result.curlCode, CURLE_OPERATION_TIMEDOUT);
  EXPECT_FALSE(api.result.body.empty());
  EXPECT_EQ(kWholeTransferDeadline, std::chrono::seconds(120));
}

// A TLS server that takes 0.7 s before its handshake and 0.7 s before its reply: every phase
// within T = 1 s, so the page comes through; a reply after 1.6 s is cut.
TEST(PageFetcherHostile, EachPhaseHasItsOwnTimeOut) {
  for (const int replyDelayMs : {700, 1600}) {
    SCOPED_TRACE(replyDelayMs);
    LoopbackServer server([replyDelayMs](Connection& c) {
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
      if (!c.StartTls()) return;
      std::string line;
      while (c.ReadLine(line) && !line.empty()) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(replyDelayMs));
      c.Write("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nthe end");
    });
    const Clock::time_point start = Clock::now();
    const FetchResult result =
        FetchViaRequestObjectResult("https://127.0.0.1:" + std::to_string(server.Port()) + "/", 1);
    const double seconds = SecondsSince(start);
    std::printf("handshake 0.7 s, reply after %d ms, T=1 s: %.2f s, curl code %d\n", replyDelayMs,
                seconds, result.curlCode);
    if (replyDelayMs < 1000) {
      EXPECT_EQ(result.curlCode, CURLE_OK);
      EXPECT_EQ(result.body, "the end");
    } else {
      EXPECT_EQ(result.body, "");
      EXPECT_LE(seconds, 0.7 + 1.0 + 1.2);  // the wait for the reply is bounded by T (+1 s tick)
    }
  }
}

TEST(PageFetcherHostile, AReplyCutShortKeepsTheBytesThatArrived) {
  FakeMarketplace server;
  server.SetPrice(kCode, "54,99", page_marker::kEuro);
  const std::string page = PricePage(page_marker::kEuro, "54,99");
  const std::string url = server.BaseUrl() + "/cut/120/product-reviews/" + kCode;
  const FetchResult viaObject = FetchViaRequestObjectResult(url, 5);
  const FetchResult viaApi = FetchViaInternetApiResult(url);
  for (const FetchResult* r : {&viaObject, &viaApi}) {
    EXPECT_EQ(r->curlCode, CURLE_PARTIAL_FILE);
    EXPECT_EQ(r->body, page.substr(0, 120));
    EXPECT_EQ(r->replyHeaders.rfind("HTTP/1.1 200 ", 0), 0u);
  }
  EXPECT_EQ(FetchViaRequestObject(url, 5), page.substr(0, 120));
  EXPECT_EQ(FetchViaInternetApi(url), page.substr(0, 120));
  // Over the size limit nothing is kept.
  const std::string huge = server.BaseUrl() + "/bytes/" + std::to_string(16 * 1024 * 1024 + 1);
  EXPECT_EQ(FetchViaRequestObject(huge, 5), "");
  EXPECT_EQ(FetchViaInternetApi(huge), "");
}

TEST(SendableAddress, PercentEncodesOnlyWhatAnAddressCannotHold) {
  struct Case {
    std::string given;
    std::string sent;
  };
  const Case cases[] = {
      {"http://h/product-reviews/B00D8V0972", "http://h/product-reviews/B00D8V0972"},
      {"http://h/p/B0 1", "http://h/p/B0%201"},
      {"http://h/p/a\x01\x1F\x7F", "http://h/p/a%01%1F%7F"},
      {"http://h/p/\xC3\xA9\x80\xFF", "http://h/p/%C3%A9%80%FF"},
      {std::string("http://h/p/\0\r\n", 14), "http://h/p/%00%0D%0A"},
      {"http://h/p/%41?x=1&y=[2]#f", "http://h/p/%41?x=1&y=[2]#f"},
  };
  for (const Case& c : cases) EXPECT_EQ(SendableAddress(c.given), c.sent) << c.given;
}

TEST(PageFetcherHostile, ACodeWithASpaceOrControlByteIsSentEncoded) {
  FakeMarketplace server;
  const std::string address = server.BaseUrl() + "/product-reviews/B0 1\x01\xC3\xA9x";
  const std::string sent = server.BaseUrl() + "/product-reviews/B0%201%01%C3%A9x";
  EXPECT_FALSE(FetchViaRequestObject(address, 5).empty());
  EXPECT_FALSE(FetchViaInternetApi(address).empty());
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.requestLine, "GET /product-reviews/B0%201%01%C3%A9x HTTP/1.1");
    EXPECT_EQ(request.Header("Referer"), sent);
  }
}

// Only the request object accepts certificate errors; the internet API (the SMS gateway's
// routine) refuses a certificate of an unknown authority or for another host, before any
// byte of the request goes out.
TEST(PageFetcherHostile, OnlyTheRequestObjectAcceptsCertificateErrors) {
  struct Case {
    TlsIdentity identity;
    bool verified;
  };
  for (const Case c : {Case{TlsIdentity::kTrusted, true}, Case{TlsIdentity::kUntrusted, false},
                       Case{TlsIdentity::kWrongHost, false}}) {
    SCOPED_TRACE(static_cast<int>(c.identity));
    FakeMarketplace server(0, 0, c.identity);
    server.SetPrice(kCode, "54,99", page_marker::kEuro);
    const std::string page = PricePage(page_marker::kEuro, "54,99");
    const std::string url = server.TlsBaseUrl() + "/product-reviews/" + kCode;
    EXPECT_EQ(FetchViaRequestObject(url, 5), page);
    const FetchResult api = FetchViaInternetApiResult(url, HttpMethod::Post, "phone=1");
    EXPECT_EQ(api.curlCode, c.verified ? CURLE_OK : CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_EQ(api.body, c.verified ? page : "");
    EXPECT_EQ(server.Requests().size(), c.verified ? 2u : 1u);
  }
}

}  // namespace
}  // namespace korvelin
