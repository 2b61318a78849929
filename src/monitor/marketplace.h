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
  // The product page a desktop browser opens today, read when the reviews page gives no
  // price: "https://www.amazon.de/dp/" (the product code is appended).
  std::string TodayPageUrlPrefix;
  // The language a browser of the marketplace asks for ("de-DE,de;q=0.9,en;q=0.5").
  std::string AcceptLanguage;
};

// Tests only: the host[:port] of a TLS server per UTF-8 country name.
struct TlsHostOverride {
  std::map<std::string, std::string> hosts;
};

class MarketplaceTable {
 public:
  // The real hosts. `hostOverride` (tests only) maps a UTF-8 country name to another
  // host[:port] for every prefix; the product page of today is then fetched over plain HTTP
  // from that host, or over TLS from the host[:port] that `tlsHostOverride` gives.
  explicit MarketplaceTable(const std::map<std::string, std::string>& hostOverride = {});
  MarketplaceTable(const std::map<std::string, std::string>& hostOverride,
                   const TlsHostOverride& tlsHostOverride);
  // The record whose CountryName equals the text byte for byte, else the 德国 record.
  const Marketplace& MarketplaceFor(const std::string& countryName) const;
  const std::array<Marketplace, 9>& Records() const { return records_; }
  // Scheme and host of the 德国 marketplace, "http://www.amazon.de" with the real hosts.
  std::string DefaultSite() const;

 private:
  std::array<Marketplace, 9> records_;
};

}  // namespace korvelin
