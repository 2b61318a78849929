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
  const char* acceptLanguage;
};

// The order is the one of the country list in the product dialog; 德国 comes first and is
// also the record for any country text that is none of the nine.
constexpr RecordSource kSources[9] = {
    {"德国", "www.amazon.de", ">EUR ", ".", "/dp/", "de-DE,de;q=0.9,en-US;q=0.6,en;q=0.4"},
    {"日本", "www.amazon.co.jp", ">?? ", "", "/gp/product/", "ja-JP,ja;q=0.9,en-US;q=0.6,en;q=0.4"},
    {"美国", "www.amazon.com", ">$", "", "/dp/", "en-US,en;q=0.9"},
    {"加拿大", "www.amazon.ca", ">CDN$ ", "", "/dp/", "en-CA,en;q=0.9,fr-CA;q=0.6"},
    {"英国", "www.amazon.co.uk", ">?", "", "/dp/", "en-GB,en;q=0.9"},
    {"荷兰", "www.amazon.nl", ">EUR ", ".", "/dp/", "nl-NL,nl;q=0.9,en-US;q=0.6,en;q=0.4"},
    {"法国", "www.amazon.fr", ">EUR ", ".", "/dp/", "fr-FR,fr;q=0.9,en-US;q=0.6,en;q=0.4"},
    {"意大利", "www.amazon.it", ">EUR ", ".", "/dp/", "it-IT,it;q=0.9,en-US;q=0.6,en;q=0.4"},
    // The full-width yuan sign, code page 936 bytes A3 A4.
    {"中国", "www.amazon.cn", ">\xA3\xA4 ", "", "/dp/", "zh-CN,zh;q=0.9,en;q=0.6"},
};

}  // namespace

MarketplaceTable::MarketplaceTable(const std::map<std::string, std::string>& hostOverride)
    : MarketplaceTable(hostOverride, TlsHostOverride{}) {}

MarketplaceTable::MarketplaceTable(const std::map<std::string, std::string>& hostOverride,
                                   const TlsHostOverride& tlsHostOverride) {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const RecordSource& source = kSources[i];
    std::string host = source.host;
    std::string todayPrefix = std::string("https://") + source.host + "/dp/";
    if (auto it = hostOverride.find(source.country); it != hostOverride.end()) {
      host = it->second;
      todayPrefix = "http://" + host + "/dp/";
    }
    if (auto it = tlsHostOverride.hosts.find(source.country); it != tlsHostOverride.hosts.end()) {
      todayPrefix = "https://" + it->second + "/dp/";
    }
    Marketplace& record = records_[i];
    record.CountryName = Ansi(source.country);
    record.ReviewsUrlPrefix = "http://" + host + "/product-reviews/";
    record.PriceMarker = source.priceMarker;
    record.CommaReplacement = source.commaReplacement;
    record.ProductPageUrlPrefix = "http://" + host + source.productPagePath;
    record.TodayPageUrlPrefix = todayPrefix;
    record.AcceptLanguage = source.acceptLanguage;
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
