#include "monitor/price_check.h"

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

  const std::string address = marketplace.ReviewsUrlPrefix + code;
  const std::uint64_t check = context->rowWrites.Begin();
  const std::uint64_t ledgerGeneration = context->ledger->Generation();
  const auto started = std::chrono::steady_clock::now();

  const Settings& settings = *context->settings;
  std::string body;
  if (settings.IsTicked(Tick::Timeout)) {
    body = FetchViaRequestObject(address, TextToInt(settings.Text(Edit::Timeout)));
  } else {
    body = FetchViaInternetApi(address);
  }
  const std::string pageText = Utf8ToAnsi(BytesToText(body));
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();

  const std::string priceText = CutPriceText(pageText, marketplace);
  ActivityLog& log = *context->log;
  log.Append(NowText() + "\r\n" + name + texts::PriceLabel() + priceText + texts::ElapsedLabel() +
             IntToText(elapsed) + "\r\n\r\n");

  if (RemoveSpaces(priceText).empty()) {
    running.Return();
    log.Append(NowText() + "\r\n" + name + texts::NoPriceSuffix());
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

std::string NormalisePriceText(std::string priceText, const Marketplace& marketplace) {
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
