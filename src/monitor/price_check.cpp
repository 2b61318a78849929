#include "monitor/price_check.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/utilities.h"
#include "monitor/alert_dispatch.h"
#include "monitor/monitor_texts.h"
#include "net/page_fetcher.h"

namespace korvelin {

namespace texts = monitor_texts;

RunningCheckToken::RunningCheckToken(std::shared_ptr<MonitorContext> context)
    : context_(std::move(context)) {}

RunningCheckToken RunningCheckToken::Take(const std::shared_ptr<MonitorContext>& context) {
  context->RunningCheckCount.fetch_add(1);
  return RunningCheckToken(context);
}

RunningCheckToken RunningCheckToken::TryTake(const std::shared_ptr<MonitorContext>& context,
                                             int bound) {
  int count = context->RunningCheckCount.load();
  while (count < bound) {
    if (context->RunningCheckCount.compare_exchange_weak(count, count + 1)) {
      return RunningCheckToken(context);
    }
  }
  return {};
}

RunningCheckToken::RunningCheckToken(RunningCheckToken&& other) noexcept
    : context_(std::exchange(other.context_, nullptr)) {}

RunningCheckToken& RunningCheckToken::operator=(RunningCheckToken&& other) noexcept {
  if (this != &other) {
    Return();
    context_ = std::exchange(other.context_, nullptr);
  }
  return *this;
}

RunningCheckToken::~RunningCheckToken() { Return(); }

void RunningCheckToken::Return() {
  if (context_) {
    context_->RunningCheckCount.fetch_sub(1);
    context_.reset();
  }
}

namespace {

// Enters the per-thread component runtime for the life of the object.
class ComponentRuntimeBracket {
 public:
  ComponentRuntimeBracket() { EnterComponentRuntime(); }
  ~ComponentRuntimeBracket() { LeaveComponentRuntime(); }
  ComponentRuntimeBracket(const ComponentRuntimeBracket&) = delete;
  ComponentRuntimeBracket& operator=(const ComponentRuntimeBracket&) = delete;
};

std::string CutPriceText(std::string_view pageText, const Marketplace& marketplace) {
  return NormalisePriceText(
      TextBetween(pageText, texts::PriceAttribute() + marketplace.PriceMarker, texts::PriceEnd()),
      marketplace);
}

const std::string& CauseText(NoPriceCause cause) {
  switch (cause) {
    case NoPriceCause::kCaptcha:
      return texts::CauseCaptcha();
    case NoPriceCause::kUnavailable:
      return texts::CauseUnavailable();
    case NoPriceCause::kNoReply:
      return texts::CauseNoReply();
    default:
      return texts::CauseNoPriceOnPage();
  }
}

// The limit of the time-out rule in milliseconds: T for 1 s or more, none for -1, else 15 s.
long TimeoutMilliseconds(int seconds) {
  if (seconds == -1) return 0;
  if (seconds >= 1) return std::min<long>(seconds, 2147483L) * 1000L;
  return 15000L;
}

void RunCheck(const std::shared_ptr<MonitorContext>& context, RowId id, RunningCheckToken token) {
  ComponentRuntimeBracket runtime;
  // Declared after the bracket so the count goes down before the runtime is left.
  RunningCheckToken running = token.held() ? std::move(token) : RunningCheckToken::Take(context);

  const std::optional<ProductEntry> row = context->products->RowById(id);
  if (!row) return;  // deleted before the check began: nothing to check or write
  const std::string name = row->name;
  const std::string code = row->code;
  const std::string targetText = row->targetPrice;
  const Marketplace marketplace = context->marketplaces->MarketplaceFor(row->country);

  // After a captcha the marketplace is left alone for a while: no request at all.
  if (context->captchaPause.Paused(marketplace.CountryName)) return;
  const std::uint64_t check = context->rowWrites.Begin();
  const std::uint64_t ledgerGeneration = context->ledger->Generation();

  const auto started = std::chrono::steady_clock::now();
  const Settings& settings = *context->settings;
  std::optional<int> timeoutSeconds;
  if (settings.IsTicked(Tick::Timeout)) timeoutSeconds = TextToInt(settings.Text(Edit::Timeout));
  const PriceReading reading = FetchAndReadPrice(marketplace, code, timeoutSeconds);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();

  ActivityLog& log = *context->log;
  if (reading.cause != NoPriceCause::kCaptcha && reading.cause != NoPriceCause::kNoReply) {
    context->captchaPause.OnOtherReply(marketplace.CountryName, started);
  }

  const std::string priceText = reading.priceText.empty() ? reading.markerText : reading.priceText;
  log.Append(NowText() + "\r\n" + name + texts::PriceLabel() + priceText + texts::ElapsedLabel() +
             IntToText(elapsed) + "\r\n\r\n");

  if (reading.priceText.empty()) {
    running.Return();
    log.Append(NowText() + "\r\n" + name + texts::NoPriceSuffix());
    log.Append(NowText() + "\r\n" + name + CauseText(reading.cause) + "\r\n\r\n");
    if (reading.cause == NoPriceCause::kCaptcha) {
      const int minutes = context->captchaPause.OnCaptcha(marketplace.CountryName);
      if (minutes > 0) {
        log.Append(NowText() + "\r\n" + marketplace.CountryName + texts::PauseMiddle() +
                   IntToText(minutes) + texts::PauseEnd());
      }
    }
    return;
  }

  // Each write is left out once a later-started check of the row has written into it.
  ProductList& products = *context->products;
  RowWriteOrder& writes = context->rowWrites;
  writes.SetCell(products, id, check, kCurrentPriceColumn, priceText);
  const double price = TextToReal(priceText);
  if (context->history) {
    context->history->Record({UnixMillisNow(), code, row->country, price, priceText});
  }
  const double target = TextToReal(targetText);
  if (price - target > 0.0000001) {
    writes.SetCell(products, id, check, kDropMarkColumn, std::string());
    return;
  }

  log.Append(NowText() + "\r\n" + name + texts::DropSuffix());
  writes.SetCell(products, id, check, kDropMarkColumn, texts::DropMark());

  if (context->MonitoringStopped.load() != 0) return;  // stopped meanwhile: no alert
  DispatchAlerts(context, name, code, marketplace, ledgerGeneration);
}

}  // namespace

namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool ThreeDigitsAt(std::string_view text, std::size_t p) {
  if (p + 3 > text.size()) return false;
  for (std::size_t k = 0; k < 3; ++k)
    if (!IsAsciiDigit(text[p + k])) return false;
  return p + 3 == text.size() || !IsAsciiDigit(text[p + 3]);
}

// Spaces that group thousands ("1 299,00"; U+00A0 and U+202F read "?" after the conversion;
// the full-width space A1 A1) are left out: between a digit and a group of three digits.
std::string WithoutGroupSpaces(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t length = 0;
    if (text[i] == ' ' || text[i] == '?') {
      length = 1;
    } else if (static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0xA1) {
      length = 2;
    }
    if (length > 0 && i > 0 && IsAsciiDigit(text[i - 1]) && ThreeDigitsAt(text, i + length)) {
      i += length - 1;
      continue;
    }
    kept.push_back(text[i]);
  }
  return kept;
}

// On a comma-decimal marketplace a first number grouped by dots without decimals ("1.299",
// "1.000.000") is a whole number: its dots go.
std::string WithoutGroupDots(std::string text) {
  std::size_t begin = 0;
  while (begin < text.size() && !IsAsciiDigit(text[begin])) ++begin;
  std::size_t p = begin;
  while (p < text.size() && IsAsciiDigit(text[p])) ++p;
  if (p == begin || p - begin > 3) return text;
  std::size_t groups = 0;
  while (p < text.size() && text[p] == '.' && ThreeDigitsAt(text, p + 1)) {
    p += 4;
    ++groups;
  }
  if (groups == 0 || (p < text.size() && (text[p] == '.' || text[p] == ','))) return text;
  text.erase(std::remove(text.begin() + static_cast<std::ptrdiff_t>(begin),
                         text.begin() + static_cast<std::ptrdiff_t>(p), '.'),
             text.begin() + static_cast<std::ptrdiff_t>(p));
  return text;
}

}  // namespace

std::string NormalisePriceText(std::string priceText, const Marketplace& marketplace) {
  priceText = WithoutGroupSpaces(priceText);
  if (marketplace.CommaReplacement == "." && priceText.find(',') == std::string::npos) {
    priceText = WithoutGroupDots(std::move(priceText));
  }
  if (marketplace.CommaReplacement == ".") {
    // "," and "." are single bytes that never occur inside a double-byte character, so a
    // byte-wise pass is safe on code page 936 text.
    const std::size_t lastComma = priceText.rfind(',');
    if (lastComma != std::string::npos) {
      std::string kept;
      kept.reserve(priceText.size());
      for (std::size_t i = 0; i < priceText.size(); ++i) {
        if (i < lastComma && priceText[i] == '.') continue;
        kept.push_back(priceText[i]);
      }
      priceText = std::move(kept);
    }
  }
  return ReplaceText(priceText, ",", marketplace.CommaReplacement);
}

PriceReading ReadPricePage(std::string_view body, const Marketplace& marketplace,
                           bool reviewsPage) {
  PriceReading reading;
  // The body as text ends at its first zero byte (BytesToText), without a copy of the page.
  const std::string pageText = Utf8ToAnsi(body.substr(0, body.find('\0')));
  if (reviewsPage) reading.markerText = CutPriceText(pageText, marketplace);
  if (!RemoveSpaces(reading.markerText).empty()) {
    reading.priceText = reading.markerText;
    reading.family = texts::PriceAttribute();
    return reading;
  }
  ProductPageReading today = ReadProductPage(pageText, marketplace);
  reading.priceText = std::move(today.price.priceText);
  reading.family = std::move(today.price.family);
  reading.cause = today.cause;
  return reading;
}

std::string BrowserRequestHeaders(const Marketplace& marketplace) {
  return "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:146.0) Gecko/20100101 "
         "Firefox/146.0\r\n"
         "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
         "Accept-Language: " +
         marketplace.AcceptLanguage + "\r\nUpgrade-Insecure-Requests: 1";
}

PriceReading FetchAndReadPrice(const Marketplace& marketplace, const std::string& code,
                               std::optional<int> timeoutSeconds, bool* productPageFetched) {
  if (productPageFetched != nullptr) *productPageFetched = false;
  const auto started = std::chrono::steady_clock::now();
  const std::string address = marketplace.ReviewsUrlPrefix + code;
  const std::string body = timeoutSeconds ? FetchViaRequestObject(address, *timeoutSeconds)
                                          : FetchViaInternetApi(address);
  PriceReading reading = ReadPricePage(body, marketplace);
  if (!reading.priceText.empty() || reading.cause == NoPriceCause::kCaptcha) return reading;

  long remainingMs = 0;  // no bound
  if (timeoutSeconds) {
    const long limit = TimeoutMilliseconds(*timeoutSeconds);
    if (limit > 0) {
      const long spent = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - started)
                                               .count());
      remainingMs = limit - spent;
      if (remainingMs <= 0) return reading;  // the limit is used up: no second request
    }
  }
  std::string headers = BrowserRequestHeaders(marketplace);
  if (productPageFetched != nullptr) *productPageFetched = true;
  const FetchResult productPage =
      FetchViaInternetApiResult(marketplace.TodayPageUrlPrefix + code, HttpMethod::Get, {},
                                nullptr, &headers, nullptr, remainingMs);
  PriceReading today = ReadPricePage(productPage.body, marketplace, /*reviewsPage=*/false);
  today.markerText = reading.markerText;  // the marker rule's text is the reviews page's
  return today;
}

std::string PriceTextFromPage(std::string_view body, const Marketplace& marketplace) {
  return CutPriceText(Utf8ToAnsi(BytesToText(body)), marketplace);
}

void CheckRow(const std::shared_ptr<MonitorContext>& context, RowId id) {
  RunCheck(context, id, RunningCheckToken());
}

void CheckRow(const std::shared_ptr<MonitorContext>& context, RowId id, RunningCheckToken token) {
  RunCheck(context, id, std::move(token));
}

}  // namespace korvelin
