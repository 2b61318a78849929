// Today's marketplace markup: the buyable price of a product page's main offer, read from the
// families of markup the marketplaces have used since 2017, and the reason a page holds no
// price. Everything here works on the page text after its conversion to code page 936 (the
// markup itself is ASCII, so it survives that conversion unchanged).
#pragma once

#include <string>
#include <string_view>

#include "monitor/marketplace.h"

namespace korvelin {

// Why a reply gave no price.
enum class NoPriceCause {
  kNone,           // a price was found
  kCaptcha,        // a captcha or robot-check page
  kUnavailable,    // a product page that says the item is unavailable
  kNoPriceOnPage,  // a page arrived, with no price on it
  kNoReply,        // no reply: connection failure, time-out, empty body
};

struct MarkupPrice {
  std::string priceText;  // "." as the decimal sign, no grouping ("1299.00"); empty if none
  std::string family;     // the markup family that gave it (ASCII), empty if none
};

// The price of the main offer by today's markup; empty when no family gives one.
MarkupPrice ReadTodaysMarkup(std::string_view pageText, const Marketplace& marketplace);

// Both at once, with one look at the page's ids: the price, or the cause when there is none.
struct ProductPageReading {
  MarkupPrice price;
  NoPriceCause cause = NoPriceCause::kNone;
};
ProductPageReading ReadProductPage(std::string_view pageText, const Marketplace& marketplace);

// The cause for a page that gave no price: kNoReply for an empty page, kCaptcha, kUnavailable
// or kNoPriceOnPage.
NoPriceCause ClassifyPageWithoutPrice(std::string_view pageText);

// A price as a marketplace writes it ("$1,299.00", "1.299,00 €", "1 299,00 €", "¥32,970",
// "CDN$ 24.99", "EUR 10,00 - EUR 20,00") read as an amount: the first number in the text,
// with "." as the decimal sign and no grouping ("1299.00", "32970", "10.00"). The decimal
// sign is the marketplace's (its CommaReplacement "." marks a comma-decimal marketplace); on
// such a marketplace a number grouped by dots without decimals ("1.299") is a whole number.
// Spaces, U+00A0 and U+202F (after the conversion "?"), and "&nbsp;"-like entities group
// thousands. Empty when the text holds no digit.
std::string ReadPriceAmount(std::string_view text, bool commaDecimal);

// Whether the marketplace writes a decimal comma.
inline bool IsCommaDecimal(const Marketplace& marketplace) {
  return marketplace.CommaReplacement == ".";
}

}  // namespace korvelin
