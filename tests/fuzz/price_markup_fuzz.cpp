// Today's markup extraction, on any page bytes, for every marketplace: the price reading, the
// cause of no price and the amount reader. A price found is an amount written with "." as the
// decimal sign and no grouping (digits and at most one "."), and it comes with its family;
// no price always comes with a cause, and a price never does.
#include <cstdint>
#include <string>

#include "common/code_page.h"
#include "fuzz/fuzz_check.h"
#include "monitor/marketplace.h"
#include "monitor/price_markup.h"

namespace {

bool IsAmount(const std::string& text) {
  if (text.empty()) return false;
  int dots = 0;
  for (const char c : text) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots <= 1 && text.front() != '.';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvelin;
  static const MarketplaceTable table;
  const std::string page = Utf8ToAnsi(fuzz::Bytes(data, size));
  for (const Marketplace& marketplace : table.Records()) {
    const ProductPageReading reading = ReadProductPage(page, marketplace);
    if (reading.price.priceText.empty()) {
      KORVELIN_FUZZ_CHECK(reading.cause != NoPriceCause::kNone);
    } else {
      KORVELIN_FUZZ_CHECK(reading.cause == NoPriceCause::kNone);
      KORVELIN_FUZZ_CHECK(IsAmount(reading.price.priceText));
      KORVELIN_FUZZ_CHECK(!reading.price.family.empty());
    }
    KORVELIN_FUZZ_CHECK(ReadTodaysMarkup(page, marketplace).priceText == reading.price.priceText);
  }
  for (const bool commaDecimal : {false, true}) {
    const std::string amount = ReadPriceAmount(page, commaDecimal);
    KORVELIN_FUZZ_CHECK(amount.empty() || IsAmount(amount));
  }
  ClassifyPageWithoutPrice(fuzz::Bytes(data, size));  // raw bytes too
  return 0;
}
