// A product page address pasted where a product code belongs:
//   https://www.amazon.de/dp/B00D8V0972/ref=...      https://www.amazon.de/Name/dp/B00D8V0972
//   https://www.amazon.co.jp/gp/product/B00D8V0972 https://www.amazon.de/product-reviews/B00D8V0972
// gives the code alone and the country whose marketplace the host belongs to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "monitor/marketplace.h"

namespace korvelin {

struct ProductAddress {
  std::string code;         // as it stands in the address, e.g. "B00D8V0972"
  std::string countryName;  // code page 936, one of the table's nine country names
};

// The code and country of a product address on one of the table's marketplaces (with or
// without "http://", "https://", "www."); nothing for any other text. The code is the path
// segment after "/dp/", "/gp/product/", "/gp/aw/d/" or "/product-reviews/", and must be
// letters and digits only.
std::optional<ProductAddress> ParseProductAddress(std::string_view text,
                                                  const MarketplaceTable& table);

}  // namespace korvelin
