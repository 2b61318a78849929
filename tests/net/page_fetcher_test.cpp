// The page fetcher against a real HTTP server on loopback: the exact request heads both
// routines send, bodies, cookies, redirects to TLS, time-outs and every failure path; and
// the address, cookie and header rules as tables.
#include "net/page_fetcher.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_marketplace.h"
#include "support/http_request.h"
#include "support/loopback_page_server.h"

namespace korvelin {
namespace {

using testing::FakeMarketplace;
using testing::PricePage;
using testing::RecordedRequest;
namespace page_marker = testing::page_marker;

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr char kCode[] = "B00D8V0972";

class PageFetcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok());
    server_.SetPrice(kCode, "54,99", page_marker::kEuro);
  }
  std::string Url(const std::string& path) const { return server_.BaseUrl() + path; }
  std::string HostLine() const {
    return "Host: 127.0.0.1:" + std::to_string(server_.Port()) + "\r\n";
  }
  RecordedRequest OnlyRequest() {
    auto requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.front();
  }
  std::string PageOfCode() const { return PricePage(page_marker::kEuro, "54,99"); }

  FakeMarketplace server_;
};

// ------------------------------------------------------------------ exact request heads

TEST_F(PageFetcherTest, RequestObjectSendsHostThenTheDefaultLinesAndNothingElse) {
  const std::string url = Url("/product-reviews/B00D8V0972");
  EXPECT_EQ(FetchViaRequestObject(url, 5), PageOfCode());
  const RecordedRequest r = OnlyRequest();
  EXPECT_EQ(r.requestLine, "GET /product-reviews/B00D8V0972 HTTP/1.1");
  EXPECT_EQ(r.headerBlock, HostLine() +
                               "Accept: */*\r\n"
                               "Referer: " + url + "\r\n"
                               "Accept-Language: zh-cn\r\n"
                               "User-Agent: " + kAgent + "\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n");
  EXPECT_EQ(r.body, "");
}

TEST_F(PageFetcherTest, InternetApiSendsTheAgentAfterHostThenTheDefaultLines) {
  const std::string url = Url("/product-reviews/B00D8V0972");
  EXPECT_EQ(FetchViaInternetApi(url), PageOfCode());
  const RecordedRequest r = OnlyRequest();
  EXPECT_EQ(r.requestLine, "GET /product-reviews/B00D8V0972 HTTP/1.1");
  EXPECT_EQ(r.headerBlock, HostLine() + "User-Agent: " + kAgent + "\r\n" +
                               "Accept: */*\r\n"
                               "Referer: " + url + "\r\n"
                               "Accept-Language: zh-cn\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n");
}

// The caller's lines: completed case-sensitively, written back, sent in order as written.
struct HeaderCase {
  const char* given;
  const char* completed;  // "@" stands for the request address
  const char* sentAfterHost;
};

TEST_F(PageFetcherTest, InternetApiCompletesAndSendsTheCallersLines) {
  const HeaderCase cases[] = {
      // A lower-case accept line is not found by the case-sensitive search.
      {"accept: text/html",
       "accept: text/html\r\nAccept: */*\r\nReferer: @\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "User-Agent: ~\r\naccept: text/html\r\nAccept: */*\r\nReferer: @\r\n"
       "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"},
      // The caller's user-agent line is the one User-Agent sent, in its own place.
      {"user-agent: Probe/1.0",
       "user-agent: Probe/1.0\r\nAccept: */*\r\nReferer: @\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "user-agent: Probe/1.0\r\nAccept: */*\r\nReferer: @\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\n"},
      // Lines already present are kept as they are and not repeated.
      {"Referer: http://example/\r\nAccept: text/plain\r\nContent-Type: text/plain\r\n"
       "Accept-Language: en",
       "Referer: http://example/\r\nAccept: text/plain\r\nContent-Type: text/plain\r\n"
       "Accept-Language: en",
       "User-Agent: ~\r\nReferer: http://example/\r\nAccept: text/plain\r\n"
       "Content-Type: text/plain\r\nAccept-Language: en\r\n"},
  };
  const std::string url = Url("/no-marker");
  auto expand = [&](std::string s) {
    for (std::size_t p; (p = s.find('@')) != std::string::npos;) s.replace(p, 1, url);
    for (std::size_t p; (p = s.find('~')) != std::string::npos;) s.replace(p, 1, kAgent);
    return s;
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.given);
    server_.ClearRequests();
    std::string headers = c.given;
    EXPECT_FALSE(FetchViaInternetApi(url, HttpMethod::Get, {}, nullptr, &headers).empty());
    EXPECT_EQ(headers, expand(c.completed));
    EXPECT_EQ(OnlyRequest().headerBlock, HostLine() + expand(c.sentAfterHost));
  }
}

TEST(CompleteRequestHeaders, AddsTheDefaultsInOrderCaseSensitively) {
  const std::string a = "http://h/p";
  EXPECT_EQ(CompleteRequestHeaders("", a, true),
            "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\nUser-Agent: " +
                std::string(kAgent) + "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteRequestHeaders("", a, false),
            "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteRequestHeaders("user-agent: x", a, true),
            "user-agent: x\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\n"
            "User-Agent: " + std::string(kAgent) +
                "\r\nContent-Type: application/x-www-form-urlencoded");
}

// ------------------------------------------------------------------ methods and bodies

TEST_F(PageFetcherTest, PostSendsTheBodyWithItsLengthAfterTheLines) {
  const std::string url = Url("/echo");
  const std::string form = "phone=5555555555&message=hello%20there&key=textbelt";
  EXPECT_EQ(FetchViaInternetApi(url, HttpMethod::Post, form), form);
  const RecordedRequest r = OnlyRequest();
  EXPECT_EQ(r.requestLine, "POST /echo HTTP/1.1");
  EXPECT_EQ(r.body, form);
  EXPECT_EQ(r.headerBlock, HostLine() + "User-Agent: " + kAgent + "\r\n" +
                               "Accept: */*\r\nReferer: " + url +
                               "\r\nAccept-Language: zh-cn\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: " + std::to_string(form.size()) + "\r\n");
}

TEST_F(PageFetcherTest, HeadAndUnknownMethods) {
  std::string replyHeaders;
  EXPECT_EQ(FetchViaInternetApi(Url("/product-reviews/B00D8V0972"), HttpMethod::Head, "ignored",
                                nullptr, nullptr, &replyHeaders),
            "");
  EXPECT_EQ(replyHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(OnlyRequest().requestLine, "HEAD /product-reviews/B00D8V0972 HTTP/1.1");
  server_.ClearRequests();
  // Any other method is a GET without a body.
  EXPECT_EQ(FetchViaInternetApi(Url("/echo"), static_cast<HttpMethod>(7), "not sent"), "");
  const RecordedRequest r = OnlyRequest();
  EXPECT_EQ(r.requestLine, "GET /echo HTTP/1.1");
  EXPECT_EQ(r.body, "");
}

TEST_F(PageFetcherTest, ErrorStatusBodiesAreReturnedLikeAnyOther) {
  const std::string notFound = FetchViaRequestObject(Url("/missing"), 5);
  EXPECT_NE(notFound.find("404 Not Found"), std::string::npos);
  std::string replyHeaders;
  EXPECT_EQ(
      FetchViaInternetApi(Url("/status/503"), HttpMethod::Get, {}, nullptr, nullptr, &replyHeaders),
      FetchViaRequestObject(Url("/status/503"), 5));
  EXPECT_EQ(replyHeaders.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u);
}

TEST_F(PageFetcherTest, TimeOutMinusOneUsesTheClientDefaults) {
  EXPECT_EQ(FetchViaRequestObject(Url("/product-reviews/B00D8V0972"), -1), PageOfCode());
  EXPECT_EQ(FetchViaRequestObject(Url("/product-reviews/B00D8V0972"), 2147483647), PageOfCode());
}

// ------------------------------------------------------------------ failures: empty body

TEST_F(PageFetcherTest, ASlowServerBeyondTheTimeOutGivesAnEmptyBody) {
  EXPECT_EQ(FetchViaRequestObject(Url("/slow/4000/product-reviews/B00D8V0972"), 1), "");
  // The same page within the time-out comes through.
  EXPECT_EQ(FetchViaRequestObject(Url("/slow/100/product-reviews/B00D8V0972"), 3), PageOfCode());
}

// One connection on loopback answered with a head at once and then its body one byte at a
// time, `gapMs` apart: a slow line that never stalls.
class TricklingServer {
 public:
  TricklingServer(std::string body, int gapMs)
      : server_([body = std::move(body), gapMs](testing::Connection& c) {
          testing::HttpRequest request;
          if (!testing::ReadHttpRequest(c, request)) return;
          bool open = c.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n");
          for (std::size_t i = 0; open && i < body.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
            open = c.Write(body.substr(i, 1));
          }
        }) {}
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.Port()) + "/"; }

 private:
  testing::LoopbackServer server_;
};

TEST(PageFetcherTimeOut, BoundsEachWaitNotTheWholeTransfer) {
  // Every byte comes well within the 1 s time-out, the whole body takes about 3 s: a slow
  // line delivers the page instead of timing out.
  const std::string body = "0123456789abcde";
  TricklingServer server(body, 200);
  EXPECT_EQ(FetchViaRequestObject(server.Url(), 1), body);
}

TEST_F(PageFetcherTest, FailuresGiveAnEmptyBodyFromBothRoutines) {
  // A port nobody listens on.
  const std::string closedPort = "http://" + testing::ClosedHostPort() + "/";

  const std::string addresses[] = {
      closedPort,
      Url("/reset"),
      Url("/endless"),                                   // beyond the 16 MiB cap
      Url("/bytes/" + std::to_string(16 * 1024 * 1024 + 1)),
      "ftp://127.0.0.1/",  // not an address of either scheme
  };
  for (const std::string& a : addresses) {
    SCOPED_TRACE(a);
    EXPECT_EQ(FetchViaRequestObject(a, 5), "");
    std::string replyHeaders = "stale", replyCookies = "stale";
    EXPECT_EQ(
        FetchViaInternetApi(a, HttpMethod::Get, {}, nullptr, nullptr, &replyHeaders, &replyCookies),
        "");
    EXPECT_EQ(replyHeaders, "");
    EXPECT_EQ(replyCookies, "");
  }
  // A body of exactly 16 MiB is still whole.
  EXPECT_EQ(FetchViaInternetApi(Url("/bytes/" + std::to_string(16 * 1024 * 1024))).size(),
            16u * 1024u * 1024u);
}

// The result forms keep why a request ended as it did; the plain routines give the same
// body.
TEST_F(PageFetcherTest, ResultFormsKeepTheCause) {
  const std::string closedPort = "http://" + testing::ClosedHostPort() + "/";

  struct Case {
    std::string address;
    int curlCode;
    bool tooLarge;
    long httpStatus;
    std::string finalAddress;
    bool withBody;
  };
  const Case cases[] = {
      {Url("/product-reviews/B00D8V0972"), CURLE_OK, false, 200, Url("/product-reviews/B00D8V0972"),
       true},
      {Url("/status/503"), CURLE_OK, false, 503, Url("/status/503"), true},
      {Url("/redirect-https/product-reviews/B00D8V0972"), CURLE_OK, false, 200,
       server_.TlsBaseUrl() + "/product-reviews/B00D8V0972", true},
      {closedPort, CURLE_COULDNT_CONNECT, false, 0, closedPort, false},
      {Url("/bytes/" + std::to_string(16 * 1024 * 1024 + 1)), CURLE_WRITE_ERROR, true, 200,
       Url("/bytes/" + std::to_string(16 * 1024 * 1024 + 1)), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const FetchResult viaObject = FetchViaRequestObjectResult(c.address, 5);
    const FetchResult viaApi = FetchViaInternetApiResult(c.address);
    for (const FetchResult* r : {&viaObject, &viaApi}) {
      EXPECT_EQ(r->curlCode, c.curlCode);
      EXPECT_EQ(r->tooLarge, c.tooLarge);
      EXPECT_EQ(r->Ok(), c.curlCode == CURLE_OK);
      EXPECT_EQ(r->httpStatus, c.httpStatus);
      EXPECT_EQ(r->finalAddress, c.finalAddress);
      EXPECT_EQ(r->body.empty(), !c.withBody);
      EXPECT_EQ(r->replyHeaders.empty(), !c.withBody);
      if (c.withBody) {
        EXPECT_EQ(r->replyHeaders.rfind("HTTP/1.1 " + std::to_string(c.httpStatus) + " ", 0), 0u);
      }
    }
    EXPECT_EQ(viaObject.body, FetchViaRequestObject(c.address, 5));
    EXPECT_EQ(viaApi.body, FetchViaInternetApi(c.address));
  }
}

// ------------------------------------------------------------------ redirects

TEST_F(PageFetcherTest, RedirectsToHttpsWithASelfSignedCertificateAreFollowed) {
  const std::string url = Url("/redirect-https/product-reviews/B00D8V0972");
  EXPECT_EQ(FetchViaRequestObject(url, 5), PageOfCode());
  EXPECT_EQ(FetchViaInternetApi(url), PageOfCode());
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  for (int i : {1, 3}) {
    EXPECT_TRUE(requests[i].tls);
    EXPECT_EQ(requests[i].requestLine, "GET /product-reviews/B00D8V0972 HTTP/1.1");
    EXPECT_EQ(requests[i].Header("Host"), "127.0.0.1:" + std::to_string(server_.TlsPort()));
  }
  // Direct https too.
  EXPECT_EQ(FetchViaInternetApi(server_.TlsBaseUrl() + "/product-reviews/B00D8V0972"),
            PageOfCode());
}

// ------------------------------------------------------------------ reply head and cookies

TEST_F(PageFetcherTest, GivenCookiesAreSentAsACookieLineAndMergedWithTheReply) {
  std::string cookies = "session=old; x=1";
  std::string replyHeaders, replyCookies;
  EXPECT_EQ(FetchViaInternetApi(Url("/set-cookie"), HttpMethod::Get, {}, &cookies, nullptr,
                                &replyHeaders, &replyCookies),
            "cookies set\n");
  EXPECT_EQ(OnlyRequest().headerBlock,
            HostLine() + "User-Agent: " + kAgent + "\r\n" + "Accept: */*\r\nReferer: " +
                Url("/set-cookie") +
                "\r\nAccept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "Cookie: session=old; x=1\r\n");
  // Every Set-Cookie, whatever its letter case, is written "Set-Cookie".
  EXPECT_NE(replyHeaders.find("\r\nSet-Cookie: session=abc123; Path=/\r\n"), std::string::npos);
  EXPECT_NE(replyHeaders.find("\r\nSet-Cookie: lang=en; path=/\r\n"), std::string::npos);
  EXPECT_NE(replyHeaders.find("\r\nSet-Cookie: theme=dark\r\n"), std::string::npos);
  EXPECT_EQ(replyHeaders.find("set-cookie"), std::string::npos);
  EXPECT_EQ(replyCookies, "session=abc123;lang=en;theme=dark");  // spaces removed by the merge
  EXPECT_EQ(cookies, "session=abc123; lang=en; theme=dark; x=1");

  // The reply's cookies went to the caller only, not into the automatic store.
  server_.ClearRequests();
  FetchViaInternetApi(Url("/no-marker"));
  EXPECT_EQ(OnlyRequest().Header("Cookie"), "");

  // An expired cookie leaves the caller's text.
  FetchViaInternetApi(Url("/delete-cookie"), HttpMethod::Get, {}, &cookies);
  EXPECT_EQ(cookies, "lang=en; theme=dark; x=1");
}

TEST_F(PageFetcherTest, WithoutGivenCookiesTheAutomaticStoreCarriesThemToTheNextRequest) {
  // "localhost" keeps this store's cookies apart from the other tests' host 127.0.0.1.
  const std::string base = "http://localhost:" + std::to_string(server_.Port());
  std::string replyCookies;
  FetchViaInternetApi(base + "/set-cookie", HttpMethod::Get, {}, nullptr, nullptr, nullptr,
                      &replyCookies);
  EXPECT_EQ(replyCookies, "session=abc123; lang=en; theme=dark");
  EXPECT_EQ(FetchViaInternetApi(base + "/product-reviews/B00D8V0972"), PageOfCode());
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string cookieLine = requests[1].Header("Cookie");
  for (const char* c : {"session=abc123", "lang=en", "theme=dark"})
    EXPECT_NE(cookieLine.find(c), std::string::npos) << cookieLine;
  // The store's Cookie line comes right after the agent, before the request lines.
  EXPECT_EQ(requests[1].headerBlock.rfind("Host: localhost:" + std::to_string(server_.Port()) +
                                              "\r\nUser-Agent: " + kAgent +
                                              "\r\nCookie: ",
                                          0),
            0u);

  // The request-object routine keeps no cookies between calls.
  server_.ClearRequests();
  FetchViaRequestObject(base + "/no-marker", 5);
  EXPECT_EQ(OnlyRequest().Header("Cookie"), "");

  // An expired cookie is dropped from the store.
  FetchViaInternetApi(base + "/delete-cookie");
  server_.ClearRequests();
  FetchViaInternetApi(base + "/no-marker");
  EXPECT_EQ(OnlyRequest().Header("Cookie").find("session="), std::string::npos);
}

TEST_F(PageFetcherTest, ReplyHeadsOfAnySizeComeBackWhole) {
  std::string replyHeaders, replyCookies;
  FetchViaInternetApi(Url("/long-headers/20000"), HttpMethod::Get, {}, nullptr, nullptr,
                      &replyHeaders, &replyCookies);
  EXPECT_NE(replyHeaders.find("X-Filler: " + std::string(20000, 'f') + "\r\n"),
            std::string::npos);
  EXPECT_EQ(replyCookies, "late=1");
}

// ------------------------------------------------------------------ the rule tables

TEST(SplitUrl, HostPortAndPath) {
  struct Case {
    const char* address;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://www.amazon.de/product-reviews/B00D8V0972", "www.amazon.de", 80,
       "/product-reviews/B00D8V0972"},
      {"http://Example.COM:8080/a/b?x=1", "example.com", 8080, "/a/b?x=1"},
      {"http://www.amazon.de", "www.amazon.de", 80, "/"},
      {"https://textbelt.com/text", "textbelt.com", 443, "/text"},
      {"HTTPS://Host:8443", "host", 8443, "/"},
      {"www.amazon.cn/dp/X", "www.amazon.cn", 80, "/dp/X"},
      {"http://127.0.0.1:5000/", "127.0.0.1", 5000, "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const SplitAddress s = SplitUrl(c.address);
    EXPECT_EQ(s.host, c.host);
    EXPECT_EQ(s.port, c.port);
    EXPECT_EQ(s.path, c.path);
  }
}

TEST(ExtractReplyCookies, OneItemPerSetCookieLine) {
  struct Case {
    const char* headers;
    const char* cookies;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: lang=en; path=/\r\n\r\n", "lang=en"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: lang=en\r\n\r\n", "lang=en"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie:  a=1 ; path=/\r\nX: y\r\nSet-Cookie: b=2\r\n", "a=1; b=2"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractReplyCookies(c.headers), c.cookies) << c.headers;
}

TEST(MergeCookies, ReplyWinsOldOnesFollowDeletedOnesGo) {
  struct Case {
    const char* sent;
    const char* reply;
    const char* merged;
    const char* replyAfter;
  } cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
      {"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
      {"a=1", "", "a=1", ""},
      {"", "x=1; path=/", "x=1; path=/", "x=1;path=/"},
      {"a=1; a=1; b", "c=3", "c=3; a=1; b", "c=3"},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sent) + " + " + c.reply);
    std::string sent = c.sent, reply = c.reply;
    MergeCookies(sent, reply);
    EXPECT_EQ(sent, c.merged);
    EXPECT_EQ(reply, c.replyAfter);
  }
}

}  // namespace
}  // namespace korvelin
