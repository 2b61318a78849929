// The nine marketplaces: everything that differs from one Amazon marketplace to the next.
#pragma once

#include <array>
#include <map>
#include <string>

namespace korvelin {

struct Marketplace {
  std::string CountryName;           // code page 936, e.g. 德国
  std::string ReviewsUrlPrefix;      // "http://www.amazon.de/product-reviews/"
  std::string PriceMarker;           // ">EUR "
  std::string CommaReplacement;      // "." or ""
  std::string ProductPageUrlPrefix;  // "http://www.amazon.de/dp/"
};

class MarketplaceTable {
 public:
  // The real hosts. `hostOverride` (tests only) maps a UTF-8 country name to another
  // host[:port] for both prefixes.
  explicit MarketplaceTable(const std::map<std::string, std::string>& hostOverride = {});
  // The record whose CountryName equals the text byte for byte, else the 德国 record.
  const Marketplace& MarketplaceFor(const std::string& countryName) const;
  const std::array<Marketplace, 9>& Records() const { return records_; }
  // Scheme and host of the 德国 marketplace, "http://www.amazon.de" with the real hosts.
  std::string DefaultSite() const;

 private:
  std::array<Marketplace, 9> records_;
};

}  // namespace korvelin
