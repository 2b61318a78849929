#include "monitor/marketplace.h"

#include "common/code_page.h"
#include "common/utilities.h"

namespace korvelin {

namespace {

struct RecordSource {
  const char* country;  // UTF-8 in the source
  const char* host;
  const char* priceMarker;  // code page 936 bytes
  const char* commaReplacement;
  const char* productPagePath;
};

// The order is the one of the country list in the product dialog; 德国 comes first and is
// also the record for any country text that is none of the nine.
constexpr RecordSource kSources[9] = {
    {"德国", "www.amazon.de", ">EUR ", ".", "/dp/"},
    {"日本", "www.amazon.co.jp", ">?? ", "", "/gp/product/"},
    {"美国", "www.amazon.com", ">$", "", "/dp/"},
    {"加拿大", "www.amazon.ca", ">CDN$ ", "", "/dp/"},
    {"英国", "www.amazon.co.uk", ">?", "", "/dp/"},
    {"荷兰", "www.amazon.nl", ">EUR ", ".", "/dp/"},
    {"法国", "www.amazon.fr", ">EUR ", ".", "/dp/"},
    {"意大利", "www.amazon.it", ">EUR ", ".", "/dp/"},
    // The full-width yuan sign, code page 936 bytes A3 A4.
    {"中国", "www.amazon.cn", ">\xA3\xA4 ", "", "/dp/"},
};

}  // namespace

MarketplaceTable::MarketplaceTable(const std::map<std::string, std::string>& hostOverride) {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const RecordSource& source = kSources[i];
    std::string host = source.host;
    if (auto it = hostOverride.find(source.country); it != hostOverride.end()) host = it->second;
    Marketplace& record = records_[i];
    record.CountryName = Ansi(source.country);
    record.ReviewsUrlPrefix = "http://" + host + "/product-reviews/";
    record.PriceMarker = source.priceMarker;
    record.CommaReplacement = source.commaReplacement;
    record.ProductPageUrlPrefix = "http://" + host + source.productPagePath;
  }
}

const Marketplace& MarketplaceTable::MarketplaceFor(const std::string& countryName) const {
  for (const Marketplace& record : records_) {
    if (record.CountryName == countryName) return record;
  }
  return records_[0];
}

std::string MarketplaceTable::DefaultSite() const {
  return TextBetween(records_[0].ReviewsUrlPrefix, "", "/product-reviews/");
}

}  // namespace korvelin
