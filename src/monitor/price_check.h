// The price check: the work of one check thread for one product row on one monitoring tick.
// It fetches the row's reviews page, cuts the price out, logs it, writes it into the row,
// marks the row when the price is at or below the target and, while monitoring runs, raises
// the alerts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/marketplace.h"
#include "monitor/monitor_context.h"
#include "monitor/price_markup.h"
#include "products/product_list.h"

namespace korvelin {

// One unit of MonitorContext::RunningCheckCount, given back when the token is destroyed (or
// by Return()). Move-only; a moved-from token holds nothing. Holding the count through a
// token makes every way out of a check, early returns included, count down exactly once.
class RunningCheckToken {
 public:
  // Counts one check up unconditionally.
  static RunningCheckToken Take(const std::shared_ptr<MonitorContext>& context);
  // Counts one check up only while fewer than `bound` checks are counted; in one atomic step,
  // so concurrent callers never pass the bound. An empty token (held() false) when full.
  static RunningCheckToken TryTake(const std::shared_ptr<MonitorContext>& context, int bound);

  RunningCheckToken() = default;
  RunningCheckToken(RunningCheckToken&& other) noexcept;
  RunningCheckToken& operator=(RunningCheckToken&& other) noexcept;
  RunningCheckToken(const RunningCheckToken&) = delete;
  RunningCheckToken& operator=(const RunningCheckToken&) = delete;
  ~RunningCheckToken();

  bool held() const { return context_ != nullptr; }
  // Counts down now (once); later calls and the destructor do nothing.
  void Return();

 private:
  explicit RunningCheckToken(std::shared_ptr<MonitorContext> context);
  std::shared_ptr<MonitorContext> context_;
};

// The price text of a fetched page (UTF-8 body bytes): the page converted to code page 936,
// the text between "class=\"price\"" + PriceMarker and the next "<", then normalised by
// NormalisePriceText. Empty when the marker or the end is missing.
std::string PriceTextFromPage(std::string_view body, const Marketplace& marketplace);

// The comma rule of a marketplace applied to a cut price text. Every "," becomes the
// marketplace's CommaReplacement. Where the comma is the decimal sign (replacement "."), the
// "." grouping thousands must go first, or "1.299,00" would read as 1.299: when the text holds
// a ",", every "." before the last "," is removed, then "," becomes ".". So "1.299,00" gives
// "1299.00" and "54,99" gives "54.99"; a text without "," is left as it is. The result is
// what the check logs and writes into the row.
std::string NormalisePriceText(std::string priceText, const Marketplace& marketplace);

// What one reply gives: the price, the markup family that gave it, or the cause when there is
// none. The reviews page is read with the marker rule first, then today's markup; a product
// page (`reviewsPage` false) with today's markup alone, since the marker rule finds the
// prices of other products there (carousels carry class="price").
struct PriceReading {
  std::string priceText;   // as logged and written; empty when there is none
  std::string markerText;  // the cut of the marker rule, normalised (may be blank)
  std::string family;      // "class=\"price\"" for the marker rule, else today's family
  NoPriceCause cause = NoPriceCause::kNone;
};
PriceReading ReadPricePage(std::string_view body, const Marketplace& marketplace,
                           bool reviewsPage = true);

// The request headers of a current desktop browser for the marketplace's product page.
std::string BrowserRequestHeaders(const Marketplace& marketplace);

// The fetches of one check: the reviews page (with the time-out rule when `timeoutSeconds`
// is given), then, when its reply holds no price and is no captcha, the product page of today
// with a browser's headers and the marketplace's cookies. With `timeoutSeconds` given, the
// limit bounds both fetches together. `productPageFetched` tells whether the second went out.
PriceReading FetchAndReadPrice(const Marketplace& marketplace, const std::string& code,
                               std::optional<int> timeoutSeconds,
                               bool* productPageFetched = nullptr);

// Checks the row with identity `id` once, on the calling thread; counts itself in
// RunningCheckCount for its whole run. The row is read and written through its identity
// only: when the row is gone by the time of a write, that write is skipped and no other row
// is touched; a row already gone at the start is not checked at all.
void CheckRow(const std::shared_ptr<MonitorContext>& context, RowId id);
// The same with a count taken by the caller before the thread started (the scheduler does
// so to keep its bound exact); the check gives it back when it ends.
void CheckRow(const std::shared_ptr<MonitorContext>& context, RowId id, RunningCheckToken token);

}  // namespace korvelin
