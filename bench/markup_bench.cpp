// Reading a price from a saved 3 MB product page: the marker rule alone, today's markup, and
// the whole reading a check does on one reply, next to memcpy of the same page.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "common/code_page.h"
#include "support/loopback_page_server.h"
#include "monitor/marketplace.h"
#include "monitor/price_check.h"
#include "monitor/price_markup.h"
#include "net/page_fetcher.h"
#include "support/recording_ports.h"
#include "support/saved_page.h"

namespace korvelin {
namespace {

// A 3.1 MB product page of 2024 (priceToPay inside the core price block), and a 1.9 MB page
// without any buy-box price, on which every family is looked for in vain.
const std::string& PricedPage() {
  static const std::string page = testing::SavedPage("us-2024-sainsmart-relay.html.gz");
  return page;
}
const std::string& PagelessOfPrice() {
  static const std::string page = testing::SavedPage("es-2024-windroid-880.html.gz");
  return page;
}
const Marketplace& Usa() {
  static const MarketplaceTable table;
  return table.MarketplaceFor(Ansi("美国"));
}

void BM_Memcpy3MB(benchmark::State& state) {
  const std::string& page = PricedPage();
  std::string copy(page.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_Memcpy3MB)->Unit(benchmark::kMillisecond);

// The marker rule alone: conversion to code page 936, one search, the comma rule.
void BM_MarkerRuleOnly3MB(benchmark::State& state) {
  const std::string& page = PricedPage();
  for (auto _ : state) benchmark::DoNotOptimize(PriceTextFromPage(page, Usa()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_MarkerRuleOnly3MB)->Unit(benchmark::kMillisecond);

// Today's markup alone, on the converted text.
void BM_TodaysMarkupOnly3MB(benchmark::State& state) {
  const std::string text = Utf8ToAnsi(PricedPage());
  for (auto _ : state) benchmark::DoNotOptimize(ReadTodaysMarkup(text, Usa()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_TodaysMarkupOnly3MB)->Unit(benchmark::kMillisecond);

// What a check does with one reply: conversion, the marker rule, today's markup.
void BM_WholeReading3MB(benchmark::State& state) {
  const std::string& page = PricedPage();
  for (auto _ : state) benchmark::DoNotOptimize(ReadPricePage(page, Usa()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_WholeReading3MB)->Unit(benchmark::kMillisecond);

// The worst case: no family finds a price, so every one is looked for, then the cause.
void BM_MarkerRuleOnlyNoPrice(benchmark::State& state) {
  const std::string& page = PagelessOfPrice();
  for (auto _ : state) benchmark::DoNotOptimize(PriceTextFromPage(page, Usa()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_MarkerRuleOnlyNoPrice)->Unit(benchmark::kMillisecond);

void BM_WholeReadingNoPrice(benchmark::State& state) {
  const std::string& page = PagelessOfPrice();
  for (auto _ : state) benchmark::DoNotOptimize(ReadPricePage(page, Usa()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_WholeReadingNoPrice)->Unit(benchmark::kMillisecond);

// Whole checks on this thread against a loopback marketplace (the server's own work is on
// its thread and not counted): the marker rule alone, with the page as the reviews page and
// the marker in it, against today's path, where the reviews page sends to the sign-in page
// and the product page is the saved page.
std::shared_ptr<MonitorContext> CheckContext(const std::string& hostPort) {
  auto context = std::make_shared<MonitorContext>();
  context->settings = std::make_shared<Settings>();
  context->settings->SetTicked(Tick::Sound, false);
  context->log = std::make_shared<testing::MemoryLog>();
  context->products = std::make_shared<ProductList>();
  context->ledger = std::make_shared<AlertLedger>();
  context->desktop = std::make_shared<testing::RecordingDesktop>();
  context->marketplaces = std::make_shared<const MarketplaceTable>(
      std::map<std::string, std::string>{{"美国", hostPort}});
  return context;
}

void RunChecks(benchmark::State& state, const std::string& page, bool markerOnReviewsPage) {
  InitHttp();
  const std::string reviews =
      markerOnReviewsPage ? page + "<span class=\"price\">$8.99</span>" : "<html>Sign in</html>";
  testing::LoopbackPageServer server(
      [&](const std::string& path) { return path.starts_with("/dp/") ? page : reviews; });
  auto context = CheckContext(server.HostPort());
  auto log = std::make_shared<testing::MemoryLog>();
  context->log = log;
  ProductEntry row;
  row.name = "x";
  row.code = "B0BENCH001";
  row.targetPrice = "1";
  row.country = Ansi("美国");
  const RowId id = context->products->Append(row);
  for (auto _ : state) CheckRow(context, id);
  // What the checks read, so that a figure never stands for a failed fetch.
  state.SetLabel(AnsiToUtf8(context->products->RowById(id)->currentPrice) + " / " +
                 std::to_string(log->Entries().size() / state.iterations()) + " entries a check");
}

// The page-sized buffers of a check come and go on every run; glibc's allocator then hands
// them out as fresh mappings or from its heap depending on what ran before, and the page
// faults of the first way swamp the work measured. Both checks keep their buffers in the
// heap, so they are compared on their own work.
const bool kHeapForPageBuffers = [] {
  mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
  return true;
}();

void BM_CheckMarkerRuleAlone3MB(benchmark::State& state) { RunChecks(state, PricedPage(), true); }
BENCHMARK(BM_CheckMarkerRuleAlone3MB)->Unit(benchmark::kMillisecond);
void BM_CheckTodaysPage3MB(benchmark::State& state) { RunChecks(state, PricedPage(), false); }
BENCHMARK(BM_CheckTodaysPage3MB)->Unit(benchmark::kMillisecond);
void BM_CheckMarkerRuleAloneNoPrice(benchmark::State& state) {
  RunChecks(state, PagelessOfPrice(), true);
}
BENCHMARK(BM_CheckMarkerRuleAloneNoPrice)->Unit(benchmark::kMillisecond);
void BM_CheckTodaysPageNoPrice(benchmark::State& state) {
  RunChecks(state, PagelessOfPrice(), false);
}
BENCHMARK(BM_CheckTodaysPageNoPrice)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvelin
