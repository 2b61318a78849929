// korvelin-probe: what the price check makes of a page, for maintainers and bug reports.
//
//   korvelin-probe PAGE_FILE COUNTRY        read a saved page (plain or gzip-compressed)
//   korvelin-probe --fetch CODE COUNTRY     fetch the product as a check does
//
// COUNTRY is the country name as a product row carries it (UTF-8: 德国, 美国, ...). Prints the
// price text, the markup family that gave it, or the cause when there is none; for a saved
// page also what the reviews-page marker rule would read from it. Exit status 0 with a
// price, 1 without, 2 on wrong use.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "common/code_page.h"
#include "common/gzip_file.h"
#include "monitor/marketplace.h"
#include "monitor/price_check.h"
#include "net/page_fetcher.h"

namespace {

using korvelin::NoPriceCause;

const char* CauseName(NoPriceCause cause) {
  switch (cause) {
    case NoPriceCause::kCaptcha:
      return "captcha (网站要求验证码)";
    case NoPriceCause::kUnavailable:
      return "unavailable (商品暂时无货)";
    case NoPriceCause::kNoPriceOnPage:
      return "no price on page (页面上没有价格)";
    case NoPriceCause::kNoReply:
      return "no reply (没有收到回复)";
    default:
      return "none";
  }
}

int Report(const korvelin::PriceReading& reading) {
  if (reading.priceText.empty()) {
    std::cout << "price: (none)\ncause: " << CauseName(reading.cause) << "\n";
    return 1;
  }
  std::cout << "price: " << korvelin::AnsiToUtf8(reading.priceText)
            << "\nfamily: " << reading.family << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string usage =
      "usage: korvelin-probe PAGE_FILE COUNTRY\n       korvelin-probe --fetch CODE COUNTRY\n";
  if (argc != 3 && !(argc == 4 && std::string(argv[1]) == "--fetch")) {
    std::cerr << usage;
    return 2;
  }
  const korvelin::MarketplaceTable table;
  const std::string country = korvelin::Ansi(argv[argc - 1]);
  const korvelin::Marketplace& marketplace = table.MarketplaceFor(country);
  std::cout << "marketplace: " << korvelin::AnsiToUtf8(marketplace.CountryName) << "\n";
  if (argc == 4) {
    korvelin::InitHttp();
    bool productPage = false;
    const korvelin::PriceReading reading =
        korvelin::FetchAndReadPrice(marketplace, argv[2], std::nullopt, &productPage);
    std::cout << "fetched: " << marketplace.ReviewsUrlPrefix << argv[2];
    if (productPage) std::cout << ", " << marketplace.TodayPageUrlPrefix << argv[2];
    std::cout << "\n";
    return Report(reading);
  }
  const std::optional<std::string> read = korvelin::ReadMaybeCompressedFile(argv[1]);
  if (!read) {
    std::cerr << "korvelin-probe: cannot read " << argv[1] << "\n";
    return 2;
  }
  const std::string& page = *read;
  // A saved page is read both ways the check reads a reply: as the reviews page (the marker
  // rule, which counts only there) and as the product page (today's markup).
  const korvelin::PriceReading asReviews = korvelin::ReadPricePage(page, marketplace);
  std::cout << "marker rule (reviews page): "
            << (asReviews.family == "class=\"price\"" ? korvelin::AnsiToUtf8(asReviews.priceText)
                                                      : std::string("(none)"))
            << "\n";
  return Report(korvelin::ReadPricePage(page, marketplace, /*reviewsPage=*/false));
}
