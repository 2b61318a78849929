#include "monitor/price_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/code_page.h"
#include "monitor/engine_test_context.h"
#include "monitor/price_check.h"
#include "support/fake_marketplace.h"
#include "support/saved_page.h"

namespace korvelin {
namespace {

using testing::MakeTestEngine;
using testing::SavedPage;
using testing::TestEngine;
using testing::TestRow;
using testing::WithoutStamp;

const Marketplace& MarketplaceOf(const char* country) {
  static const MarketplaceTable table;
  return table.MarketplaceFor(Ansi(country));
}

// ---------------------------------------------------------------------------------------
// Prices as the marketplaces write them.

struct AmountCase {
  const char* country;
  const char* written;  // UTF-8
  const char* amount;
};

TEST(ReadPriceAmount, EveryWayAMarketplaceWritesAPrice) {
  const AmountCase cases[] = {
      {"美国", "$1,299.00", "1299.00"},
      {"美国", "$8.99", "8.99"},
      {"英国", "£13.53", "13.53"},
      {"德国", "EUR 39,99", "39.99"},
      {"德国", "12,00 €", "12.00"},
      {"法国", "8,00€", "8.00"},
      {"德国", "1.299,00 €", "1299.00"},
      {"法国", "1 299,00 €", "1299.00"},            // space
      {"法国", "1\u00a0299,00\u00a0€", "1299.00"},  // U+00A0
      {"法国", "1\u202f299,00\u202f€", "1299.00"},  // U+202F
      {"法国", "1&nbsp;299,00&nbsp;€", "1299.00"},  // as an entity
      {"意大利", "1.299", "1299"},                  // dot-grouped, no decimals
      {"意大利", "1.234.567,89", "1234567.89"},
      {"日本", "¥32,970", "32970"},
      {"日本", "￥1,980", "1980"},
      {"中国", "￥1,980", "1980"},
      {"加拿大", "CDN$ 24.99", "24.99"},
      {"加拿大", "CDN$&nbsp;1,024.99", "1024.99"},
      {"德国", "EUR 10,00 - EUR 20,00", "10.00"},  // a range reads its low end
      {"美国", "$10.99 - $15.99", "10.99"},
      {"美国", "$35.99 with 22 percent savings", "35.99"},
      {"美国", "1,299", "1299"},
      {"美国", "no digits", ""},
      {"德国", "", ""},
  };
  for (const AmountCase& c : cases) {
    const Marketplace& marketplace = MarketplaceOf(c.country);
    EXPECT_EQ(ReadPriceAmount(Ansi(c.written), IsCommaDecimal(marketplace)), c.amount)
        << c.country << " " << c.written;
  }
}

// The marker rule reads the same forms, and keeps what it always kept.
TEST(NormalisePriceText, GroupingSpacesAndDotGroupedWholeNumbers) {
  const AmountCase cases[] = {
      {"法国", "1 299,00", "1299.00"},
      {"法国", "1\u00a0299,00", "1299.00"},  // "?" after the conversion
      {"德国", "1.299", "1299"},
      {"德国", "12.50", "12.50"},  // a decimal dot stays
      {"德国", "1.299,00", "1299.00"},
      {"美国", "1 299.00", "1299.00"},
      {"加拿大", "5.00 ", "5.00 "},  // trailing spaces are no grouping
      {"美国", "abc", "abc"},
  };
  for (const AmountCase& c : cases) {
    EXPECT_EQ(NormalisePriceText(Utf8ToAnsi(c.written), MarketplaceOf(c.country)), c.amount)
        << c.country << " " << c.written;
  }
}

// ---------------------------------------------------------------------------------------
// The markup families, each with the prices around it that are not the price.

struct MarkupCase {
  const char* label;
  const char* country;
  std::string page;  // UTF-8
  const char* price;
  const char* family;
};

const std::string kStruckListPrice =
    "<span class=\"a-price a-text-price\" data-a-strike=\"true\"><span class=\"a-offscreen\">"
    "$99.00</span></span>";
const std::string kCarousel =
    "<div class=\"a-carousel\"><span class=\"a-price\"><span class=\"a-offscreen\">$1.00</span>"
    "</span></div>";

std::vector<MarkupCase> MarkupCases() {
  return {
      {"priceToPay in the core block", "美国",
       kCarousel + "<div id=\"corePriceDisplay_desktop_feature_div\">" + kStruckListPrice +
           "<span class=\"a-price aok-align-center priceToPay\"><span class=\"a-offscreen\">"
           "$1,299.00</span><span aria-hidden=\"true\">$1,299.00</span></span>"
           "<span class=\"a-price a-text-price a-size-mini\"><span class=\"a-offscreen\">$6.24"
           "</span></span> / Pack)</div>",
       "1299.00", "priceToPay a-offscreen"},
      {"apexPriceToPay in apex_desktop", "德国",
       "<div id=\"apex_desktop\"><span class=\"a-price a-text-price a-size-medium "
       "apexPriceToPay\"><span class=\"a-offscreen\">1.299,00&nbsp;€</span></span>"
       "<span class=\"a-size-mini\">(EUR 23,05 / kg)</span></div>",
       "1299.00", "apexPriceToPay a-offscreen"},
      {"blank a-offscreen, readable aok-offscreen", "法国",
       "<div id=\"corePrice_feature_div\"><span class=\"aok-offscreen\"> 1 299,00 € </span>"
       "<span class=\"a-price priceToPay\"><span class=\"a-offscreen\"> </span>"
       "<span aria-hidden=\"true\"><span class=\"a-price-whole\">1 299<span "
       "class=\"a-price-decimal\">,</span></span><span class=\"a-price-fraction\">00</span>"
       "</span></span></div>",
       "1299.00", "priceToPay aok-offscreen"},
      {"only the visible parts", "日本",
       "<div id=\"corePrice_feature_div\"><span class=\"a-price priceToPay\"><span "
       "class=\"a-offscreen\"></span><span aria-hidden=\"true\"><span class=\"a-price-symbol\">"
       "￥</span><span class=\"a-price-whole\">32,970</span></span></span></div>",
       "32970", "priceToPay a-price-whole"},
      {"deal price before our price", "美国",
       "<span id=\"priceblock_ourprice\" class=\"a-text-strike\">$49.99</span>"
       "<span id=\"priceblock_dealprice\" class=\"a-size-medium a-color-price\">$29.99</span>",
       "29.99", "priceblock_dealprice"},
      {"our price, a range", "加拿大",
       "<span id=\"priceblock_ourprice\" class=\"a-size-medium a-color-price\">CDN$ 24.99 - "
       "CDN$ 35.99</span>",
       "24.99", "priceblock_ourprice"},
      {"buy box copy", "英国",
       "<span id=\"price_inside_buybox\" class=\"a-size-medium a-color-price\"> £13.53 </span>",
       "13.53", "price_inside_buybox"},
      {"new offer of a book, not the used one", "英国",
       "<div id=\"usedBuySection\"><span class=\"a-color-price offer-price\">£4.45</span></div>"
       "<div id=\"buyNewSection\"><span class=\"a-color-price offer-price\">£8.92</span></div>",
       "8.92", "buyNewSection offer-price"},
      {"Kindle price row", "美国",
       "<tr class=\"kindle-price\"><td>Kindle Price:</td><td class=\"a-color-price\">$9.99"
       "</td></tr>",
       "9.99", "kindle-price"},
      {"hidden input of the variation picker", "德国",
       "<input type=\"hidden\" id=\"twister-plus-price-data-price\" value=\"44.99\" />", "44.99",
       "twister-plus-price-data-price"},
      {"JSON buying options: NEW, never USED", "意大利",
       "<div data-a-state=\"x\">{\"desktop_buybox_group_1\":[{\"displayPrice\":\"12,00 €\","
       "\"priceAmount\":12.00,\"buyingOptionType\":\"USED\"},{\"displayPrice\":\"19,99 €\","
       "\"priceAmount\":19.99,\"buyingOptionType\":\"NEW\"}]}</div>",
       "19.99", "priceAmount"},
      {"struck and carousel prices only", "美国", kCarousel + kStruckListPrice, "", ""},
  };
}

TEST(ReadTodaysMarkup, EachFamilyGivesTheBuyablePriceOnly) {
  for (const MarkupCase& c : MarkupCases()) {
    SCOPED_TRACE(c.label);
    const MarkupPrice found = ReadTodaysMarkup(Utf8ToAnsi(c.page), MarketplaceOf(c.country));
    EXPECT_EQ(found.priceText, c.price);
    EXPECT_EQ(found.family, c.family);
  }
}

TEST(ClassifyPageWithoutPrice, NamesEachCause) {
  const struct {
    std::string page;
    NoPriceCause cause;
  } cases[] = {
      {"", NoPriceCause::kNoReply},
      {" \r\n ", NoPriceCause::kNoReply},
      {"<form action=\"/errors/validateCaptcha\"></form>", NoPriceCause::kCaptcha},
      {"<h4>Type the characters you see in this image:</h4>", NoPriceCause::kCaptcha},
      {"<h4>Click the button below to continue shopping</h4>", NoPriceCause::kCaptcha},
      {"<img src=\"https://opfcaptcha-prod.s3.amazonaws.com/x.jpg\">", NoPriceCause::kCaptcha},
      {"<div id=\"outOfStock\"><span>x</span></div>", NoPriceCause::kUnavailable},
      {"<div id=\"availability\"><span>Currently unavailable.</span></div>",
       NoPriceCause::kUnavailable},
      {"<div id=\"availability\"><span>Derzeit nicht verfügbar.</span></div>",
       NoPriceCause::kUnavailable},
      {"<div id=\"availability\"><span>目前无货</span></div>", NoPriceCause::kUnavailable},
      {"<div id=\"availability\"><span>Actuellement indisponible.</span></div>",
       NoPriceCause::kUnavailable},
      {"<div id=\"availability\"><span>現在在庫切れです。</span></div>",
       NoPriceCause::kUnavailable},
      // The words alone, outside the availability block (a script, a review), are no verdict.
      {"<script>var s = 'Currently unavailable';</script>", NoPriceCause::kNoPriceOnPage},
      {"<html><body>Sign in</body></html>", NoPriceCause::kNoPriceOnPage},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyPageWithoutPrice(Utf8ToAnsi(c.page)), c.cause) << c.page;
  }
}

// ---------------------------------------------------------------------------------------
// The saved pages: through the extraction, and through the real check against a fake
// marketplace whose reviews page sends the anonymous visitor to the sign-in page.

struct SavedPageCase {
  const char* file;
  const char* country;
  const char* price;  // empty: no price, `cause` says why
  NoPriceCause cause;
  const char* family;
  const char* causeEntry;  // UTF-8, after the name
};

const SavedPageCase kSavedPages[] = {
    {"us-2017-kindle-whole-truth.html.gz", "美国", "9.99", NoPriceCause::kNone, "kindle-price", ""},
    {"us-2017-sainsmart-relay.html.gz", "美国", "8.99", NoPriceCause::kNone, "priceblock_ourprice",
     ""},
    {"uk-2017-vegetable-perfection.html.gz", "英国", "13.53", NoPriceCause::kNone,
     "buyNewSection offer-price", ""},
    {"es-2017-conga-990.html.gz", "法国", "219.00", NoPriceCause::kNone, "priceblock_ourprice", ""},
    {"es-2019-conga-990.html.gz", "意大利", "225.00", NoPriceCause::kNone, "priceblock_ourprice",
     ""},
    {"us-2019-plaster-light.html.gz", "美国", "29.99", NoPriceCause::kNone, "priceblock_saleprice",
     ""},
    {"us-2021-gorilla-tape.html.gz", "美国", "12.48", NoPriceCause::kNone, "priceblock_ourprice",
     ""},
    {"us-2024-kindle-whole-truth.html.gz", "美国", "10.99", NoPriceCause::kNone, "kindle-price",
     ""},
    {"us-2024-sainsmart-relay.html.gz", "美国", "8.99", NoPriceCause::kNone,
     "priceToPay a-offscreen", ""},
    {"uk-2024-vegetable-perfection.html.gz", "英国", "", NoPriceCause::kNoPriceOnPage, "",
     " - 原因：页面上没有价格"},
    {"es-2024-windroid-880.html.gz", "法国", "", NoPriceCause::kNoPriceOnPage, "",
     " - 原因：页面上没有价格"},
    {"us-2025-instant-pot.html.gz", "美国", "99.95", NoPriceCause::kNone,
     "priceToPay aok-offscreen", ""},
    {"us-2026-charmast-power-bank.html.gz", "美国", "35.99", NoPriceCause::kNone,
     "priceToPay aok-offscreen", ""},
    {"us-2026-charmast-power-bank-first-capture.html.gz", "美国", "35.99", NoPriceCause::kNone,
     "priceToPay aok-offscreen", ""},
    {"de-2015-gastroback-kettle.html.gz", "德国", "109.00", NoPriceCause::kNone,
     "priceblock_ourprice", ""},
    {"br-2026-robot-check.html.gz", "美国", "", NoPriceCause::kCaptcha, "",
     " - 原因：网站要求验证码"},
    {"it-2026-out-of-stock.html.gz", "意大利", "", NoPriceCause::kUnavailable, "",
     " - 原因：商品暂时无货"},
};

class SavedPageTest : public ::testing::TestWithParam<SavedPageCase> {};

TEST_P(SavedPageTest, ExtractionGivesThePriceOrTheCause) {
  const SavedPageCase& c = GetParam();
  const PriceReading reading =
      ReadPricePage(SavedPage(c.file), MarketplaceOf(c.country), /*reviewsPage=*/false);
  EXPECT_EQ(reading.priceText, c.price);
  EXPECT_EQ(reading.family, c.family);
  EXPECT_EQ(reading.cause, c.cause);
}

TEST_P(SavedPageTest, TheCheckLogsAndWritesIt) {
  const SavedPageCase& c = GetParam();
  testing::FakeMarketplace marketplace;
  ASSERT_TRUE(marketplace.Ok());
  marketplace.SetProductPage("B0SAVED", SavedPage(c.file));
  TestEngine engine = MakeTestEngine("127.0.0.1:" + std::to_string(marketplace.Port()));
  engine.settings().SetTicked(Tick::Balloon, false);
  ProductEntry row = TestRow("产品", "B0SAVED", "0", c.country);
  row.currentPrice = "old";
  const RowId id = engine.products().Append(row);

  CheckRow(engine.context, id);

  const std::vector<std::string> entries = engine.log->Entries();
  ASSERT_GE(entries.size(), 1u);
  EXPECT_TRUE(
      WithoutStamp(entries[0])
          .starts_with("\r\n" + row.name + Ansi(" - 价格：") + c.price + " ---- " + Ansi("耗时:")))
      << AnsiToUtf8(entries[0]);
  if (*c.price != '\0') {
    EXPECT_EQ(engine.products().RowById(id)->currentPrice, c.price);
    EXPECT_EQ(entries.size(), 1u);  // above the target of 0
  } else {
    EXPECT_EQ(engine.products().RowById(id)->currentPrice, "old");
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(WithoutStamp(entries[1]), "\r\n" + row.name + Ansi(" - 超时了！\r\n\r\n"));
    EXPECT_EQ(WithoutStamp(entries[2]), "\r\n" + row.name + Ansi(c.causeEntry) + "\r\n\r\n");
  }
  // The reviews page went to the sign-in page; then came the product page.
  const auto requests = marketplace.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].requestLine, "GET /product-reviews/B0SAVED HTTP/1.1");
  EXPECT_EQ(requests[1].requestLine, "GET /ap/signin HTTP/1.1");
  EXPECT_EQ(requests[2].requestLine, "GET /dp/B0SAVED HTTP/1.1");
}

INSTANTIATE_TEST_SUITE_P(Pages, SavedPageTest, ::testing::ValuesIn(kSavedPages),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           name = name.substr(0, name.find('.'));
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace korvelin
