// The fake marketplace's pages read the way the price check reads real ones: after the
// UTF-8 to code page 936 conversion, each host's page carries that marketplace's marker.
#include "support/fake_marketplace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/code_page.h"
#include "common/utilities.h"
#include "net/page_fetcher.h"

namespace korvelin {
namespace {

using testing::FakeMarketplace;
using testing::PageMarkerForHost;
using testing::PricePage;

TEST(FakeMarketplace, EachHostsPageCarriesItsMarketplaceMarkerAfterConversion) {
  struct Case {
    const char* host;
    const char* marker;  // UTF-8 source form of the marker the price check looks for
    const char* price;
  } cases[] = {
      {"www.amazon.de", ">EUR ", "54,99"},   {"www.amazon.fr", ">EUR ", "12,34"},
      {"www.amazon.it", ">EUR ", "9,90"},    {"www.amazon.nl", ">EUR ", "1.299,00"},
      {"www.amazon.co.jp", ">?? ", "1,980"}, {"www.amazon.com", ">$", "1,299.00"},
      {"www.amazon.ca", ">CDN$ ", "45.50"},  {"www.amazon.co.uk", ">?", "12.99"},
      {"www.amazon.cn", ">￥ ", "199.00"},   {"www.amazon.co.jp:8080", ">?? ", "500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    const std::string page = Utf8ToAnsi(PricePage(PageMarkerForHost(c.host), c.price));
    EXPECT_EQ(TextBetween(page, "class=\"price\"" + Ansi(c.marker), "<"), c.price);
  }
}

TEST(FakeMarketplace, PricesFollowTheHostHeaderAndEveryHeadGoesToTheLog) {
  const std::string log = ::testing::TempDir() + "fake_marketplace_log.txt";
  std::remove(log.c_str());
  FakeMarketplace server;
  ASSERT_TRUE(server.SetLogFile(log));
  server.SetPrice("B0TEST", "7,50");  // marker chosen by the Host header

  std::string headers = "Host: www.amazon.co.uk";
  const std::string body = FetchViaInternetApi(server.BaseUrl() + "/product-reviews/B0TEST",
                                               HttpMethod::Get, {}, nullptr, &headers);
  EXPECT_EQ(body, PricePage(testing::page_marker::kUk, "7,50"));
  EXPECT_EQ(FetchViaRequestObject(server.BaseUrl() + "/product-reviews/UNKNOWN", 5)
                .find("class=\"price\""),
            std::string::npos);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  std::ifstream in(log, std::ios::binary);
  std::stringstream logged;
  logged << in.rdbuf();
  EXPECT_EQ(logged.str(), requests[0].requestLine + "\r\n" + requests[0].headerBlock + "\r\n" +
                              requests[1].requestLine + "\r\n" + requests[1].headerBlock + "\r\n");
  EXPECT_EQ(requests[0].Header("host"), "www.amazon.co.uk");
  std::remove(log.c_str());
}

}  // namespace
}  // namespace korvelin
