// The price extraction, on any page bytes, for every marketplace: the design's rule (the
// text after class="price" and the marketplace's marker up to the next "<", commas
// replaced). The price text never reaches past the end marker and holds no comma (every
// marketplace replaces or removes them).
#include <cstdint>
#include <string>

#include "common/code_page.h"
#include "fuzz/fuzz_check.h"
#include "monitor/marketplace.h"
#include "monitor/price_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvelin;
  static const MarketplaceTable table;
  const std::string_view page = fuzz::Bytes(data, size);
  for (const Marketplace& marketplace : table.Records()) {
    const std::string price = PriceTextFromPage(page, marketplace);
    KORVELIN_FUZZ_CHECK(price.find('<') == std::string::npos);
    KORVELIN_FUZZ_CHECK(price.find(',') == std::string::npos);
    // The comma rule on any page text the program can hold (a code page 936 text made from
    // the page; raw bytes could pair a lead byte with a comma).
    const std::string normalised = NormalisePriceText(Utf8ToAnsi(page), marketplace);
    KORVELIN_FUZZ_CHECK(normalised.find(',') == std::string::npos);
  }
  return 0;
}
