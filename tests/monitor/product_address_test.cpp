// Product page addresses pasted into the code box give the code and the country.
#include "monitor/product_address.h"

#include <gtest/gtest.h>

#include "common/code_page.h"

namespace korvelin {
namespace {

TEST(ProductAddress, AddressesOfTheNineMarketplaces) {
  const MarketplaceTable table;
  struct Case {
    const char* text;
    const char* code;
    const char* country;
  };
  const Case cases[] = {
      {"https://www.amazon.de/dp/B00D8V0972/ref=sr_1_1?keywords=milch", "B00D8V0972", "德国"},
      {"https://www.amazon.de/gp/product/B00D8V0972", "B00D8V0972", "德国"},
      {"https://www.amazon.de/product-reviews/B00D8V0972", "B00D8V0972", "德国"},
      {"http://www.amazon.de/Aptamil-Pre-Anfangsmilch/dp/B00D8V0972?th=1", "B00D8V0972", "德国"},
      {"www.amazon.co.jp/gp/product/B004X0XATQ#reviews", "B004X0XATQ", "日本"},
      {"https://amazon.com/dp/B0084CRNBA", "B0084CRNBA", "美国"},
      {"HTTPS://WWW.AMAZON.CA/DP/b0084crnba", "b0084crnba", "加拿大"},
      {"https://www.amazon.co.uk/gp/aw/d/B007X2CL6E/", "B007X2CL6E", "英国"},
      {"https://www.amazon.nl/dp/B00BSNACII", "B00BSNACII", "荷兰"},
      {"https://www.amazon.fr/product-reviews/B00BSNAC9C/ref=cm_cr_dp", "B00BSNAC9C", "法国"},
      {"https://www.amazon.it:443/dp/B003R7KV34", "B003R7KV34", "意大利"},
      {"https://www.amazon.cn/dp/B008V8YZMM", "B008V8YZMM", "中国"},
  };
  for (const Case& c : cases) {
    const std::optional<ProductAddress> address = ParseProductAddress(c.text, table);
    ASSERT_TRUE(address.has_value()) << c.text;
    EXPECT_EQ(address->code, c.code) << c.text;
    EXPECT_EQ(address->countryName, Ansi(c.country)) << c.text;
  }
}

TEST(ProductAddress, AnythingElseIsNoAddress) {
  const MarketplaceTable table;
  for (const char* text :
       {"B00D8V0972", "", "https://www.amazon.de/", "https://www.amazon.de/s?k=milch",
        "https://www.amazon.com.au/dp/B00D8V0972", "https://example.com/dp/B00D8V0972",
        "https://www.amazon.de.example.com/dp/B00D8V0972", "https://www.amazon.de/dp/",
        "https://www.amazon.de/dp/B00D-8V0972", "www.amazon.de"}) {
    EXPECT_FALSE(ParseProductAddress(text, table).has_value()) << text;
  }
}

}  // namespace
}  // namespace korvelin
