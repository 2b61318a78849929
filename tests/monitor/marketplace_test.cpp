#include "monitor/marketplace.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/code_page.h"

namespace korvelin {
namespace {

struct Expected {
  const char* country;  // UTF-8
  const char* host;
  std::string priceMarker;
  const char* commaReplacement;
  const char* productPagePath;
};

const Expected kExpected[] = {
    {"中国", "www.amazon.cn", ">\xA3\xA4 ", "", "/dp/"},
    {"德国", "www.amazon.de", ">EUR ", ".", "/dp/"},
    {"日本", "www.amazon.co.jp", ">\x3F\x3F ", "", "/gp/product/"},
    {"美国", "www.amazon.com", ">$", "", "/dp/"},
    {"加拿大", "www.amazon.ca", ">CDN$ ", "", "/dp/"},
    {"英国", "www.amazon.co.uk", ">\x3F", "", "/dp/"},
    {"法国", "www.amazon.fr", ">EUR ", ".", "/dp/"},
    {"意大利", "www.amazon.it", ">EUR ", ".", "/dp/"},
    {"荷兰", "www.amazon.nl", ">EUR ", ".", "/dp/"},
};

TEST(MarketplaceTableTest, HoldsTheNineMarketplaces) {
  const MarketplaceTable table;
  std::set<std::string> names;
  for (const Marketplace& record : table.Records()) names.insert(record.CountryName);
  EXPECT_EQ(names.size(), 9u);

  for (const Expected& expected : kExpected) {
    SCOPED_TRACE(expected.country);
    const std::string name = Ansi(expected.country);
    EXPECT_EQ(names.count(name), 1u);
    const Marketplace& record = table.MarketplaceFor(name);
    EXPECT_EQ(record.CountryName, name);
    EXPECT_EQ(record.ReviewsUrlPrefix,
              std::string("http://") + expected.host + "/product-reviews/");
    EXPECT_EQ(record.PriceMarker, expected.priceMarker);
    EXPECT_EQ(record.CommaReplacement, expected.commaReplacement);
    EXPECT_EQ(record.ProductPageUrlPrefix,
              std::string("http://") + expected.host + expected.productPagePath);
  }
}

TEST(MarketplaceTableTest, CountryNamesAreCodePage936) {
  const MarketplaceTable table;
  EXPECT_EQ(table.MarketplaceFor("\xB5\xC2\xB9\xFA").ProductPageUrlPrefix,
            "http://www.amazon.de/dp/");  // 德国
  EXPECT_EQ(table.MarketplaceFor("\xD6\xD0\xB9\xFA").ProductPageUrlPrefix,
            "http://www.amazon.cn/dp/");  // 中国
  // The UTF-8 spelling is not a country name of a row.
  EXPECT_EQ(table.MarketplaceFor("中国").ProductPageUrlPrefix, "http://www.amazon.de/dp/");
}

TEST(MarketplaceTableTest, AnyOtherTextGetsTheGermanRecord) {
  const MarketplaceTable table;
  const Marketplace& germany = table.MarketplaceFor(Ansi("德国"));
  for (const std::string& text :
       {std::string(), Ansi("德国 "), Ansi(" 德国"), Ansi("德"), Ansi("瑞士"), std::string("DE"),
        Ansi("德国\xA1\xA1"), Ansi("日本\r\n")}) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(&table.MarketplaceFor(text), &germany);
  }
  EXPECT_EQ(germany.ReviewsUrlPrefix + "B00D8V0972",
            "http://www.amazon.de/product-reviews/B00D8V0972");
}

TEST(MarketplaceTableTest, HostOverridePointsOneRecordElsewhere) {
  const MarketplaceTable table({{"日本", "127.0.0.1:8081"}, {"德国", "127.0.0.1:9"}});
  const Marketplace& japan = table.MarketplaceFor(Ansi("日本"));
  EXPECT_EQ(japan.ReviewsUrlPrefix, "http://127.0.0.1:8081/product-reviews/");
  EXPECT_EQ(japan.ProductPageUrlPrefix, "http://127.0.0.1:8081/gp/product/");
  EXPECT_EQ(japan.PriceMarker, ">?? ");
  EXPECT_EQ(table.MarketplaceFor("unknown").ReviewsUrlPrefix,
            "http://127.0.0.1:9/product-reviews/");
  EXPECT_EQ(table.MarketplaceFor(Ansi("美国")).ReviewsUrlPrefix,
            "http://www.amazon.com/product-reviews/");
}

// The site the test mail links to: the German record's scheme and host.
TEST(MarketplaceTableTest, DefaultSiteIsTheGermanRecordsSite) {
  EXPECT_EQ(MarketplaceTable().DefaultSite(), "http://www.amazon.de");
  const MarketplaceTable germanyElsewhere(
      std::map<std::string, std::string>{{"德国", "127.0.0.1:9"}});
  EXPECT_EQ(germanyElsewhere.DefaultSite(), "http://127.0.0.1:9");
  const MarketplaceTable japanElsewhere(
      std::map<std::string, std::string>{{"日本", "127.0.0.1:9"}});
  EXPECT_EQ(japanElsewhere.DefaultSite(), "http://www.amazon.de");
}

}  // namespace
}  // namespace korvelin
