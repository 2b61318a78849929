// The engine's costs: the monitoring tick, price extraction from a page and a full check
// against a loopback marketplace, each next to a baseline measured in the same run.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "support/loopback_page_server.h"
#include "monitor/monitor_scheduler.h"
#include "monitor/price_check.h"
#include "net/page_fetcher.h"
#include "support/recording_ports.h"

namespace korvelin {
namespace {

std::shared_ptr<MonitorContext> BenchContext(const std::string& hostPort) {
  auto context = std::make_shared<MonitorContext>();
  context->settings = std::make_shared<Settings>();
  context->settings->SetTicked(Tick::Sound, false);
  context->log = std::make_shared<testing::MemoryLog>();
  context->products = std::make_shared<ProductList>();
  context->ledger = std::make_shared<AlertLedger>();
  context->desktop = std::make_shared<testing::RecordingDesktop>();
  std::map<std::string, std::string> hosts;
  for (const char* country :
       {"中国", "德国", "日本", "美国", "加拿大", "英国", "法国", "意大利", "荷兰"}) {
    hosts[country] = hostPort;
  }
  context->marketplaces = std::make_shared<const MarketplaceTable>(hosts);
  return context;
}

void WaitUntilIdle(const MonitorContext& context) {
  while (context.RunningCheckCount.load() != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

ProductEntry Row(int i, bool monitored) {
  ProductEntry entry;
  entry.name = Ansi("产品") + std::to_string(i);
  entry.code = "B" + std::to_string(1000000 + i);
  entry.targetPrice = "10";
  entry.country = Ansi("德国");
  entry.monitored = monitored;
  return entry;
}

class NullControls : public SchedulerControls {
 public:
  void SetTickTimerPeriod(int) override {}
  void SetSweepTimerPeriod(int) override {}
  void SetStartEnabled(bool) override {}
  void SetStopEnabled(bool) override {}
  void SetRunningCountCaption(const std::string&) override {}
};

// (a) One tick over 10,000 rows, 1,000 ticked; checks end at once on a refused port. Only
// the tick call is timed (the checks are started by the tick's launcher thread).
void BM_MonitoringTick(benchmark::State& state) {
  InitHttp();
  auto context = BenchContext(testing::ClosedHostPort());
  for (int i = 0; i < 10000; ++i) context->products->Append(Row(i, i % 10 == 0));
  NullControls controls;
  MonitorScheduler scheduler(context, controls);
  long long started = 0;
  for (auto _ : state) {
    scheduler.MonitoringTick();
    state.PauseTiming();
    while (!scheduler.LastTickStarted()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    started += *scheduler.LastTickStarted();
    WaitUntilIdle(*context);
    state.ResumeTiming();
  }
  state.counters["checks_started_per_tick"] =
      static_cast<double>(started) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MonitoringTick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The baseline of (a): starting 1,000 empty detached threads, what a tick on the UI thread
// would pay if it started every check itself.
void BM_StartThousandThreadsBaseline(benchmark::State& state) {
  std::atomic<int> running{0};
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) {
      running.fetch_add(1);
      std::thread([&running] { running.fetch_sub(1); }).detach();
    }
    state.PauseTiming();
    while (running.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartThousandThreadsBaseline)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

// A 1 MiB UTF-8 reviews page: Chinese and ASCII text with the price near the end.
std::string MegabytePage() {
  const std::string filler =
      "<div class=\"review\">这个奶粉很好，宝宝喜欢。Very good milk, 5 stars.</div>\n";
  std::string page = "<html><body>";
  while (page.size() < (1u << 20) - 200) page += filler;
  page += "<span class=\"price\">EUR 1.299,00</span></body></html>";
  page.resize(1u << 20, ' ');
  return page;
}

// (b) Page conversion, price cut and comma rule on a 1 MiB page.
void BM_PriceExtraction(benchmark::State& state) {
  const std::string page = MegabytePage();
  auto context = BenchContext("127.0.0.1:1");
  const Marketplace& germany = context->marketplaces->MarketplaceFor(Ansi("德国"));
  for (auto _ : state) {
    std::string price = PriceTextFromPage(page, germany);
    benchmark::DoNotOptimize(price);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_PriceExtraction)->Unit(benchmark::kMillisecond);

void BM_MemcpyBaseline(benchmark::State& state) {
  const std::string page = MegabytePage();
  std::string copy(page.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_MemcpyBaseline)->Unit(benchmark::kMillisecond);

constexpr int kChecks = 1000;
constexpr int kConcurrency = 64;

std::string SmallPage() {
  std::string page = "<html><body>";
  for (int i = 0; i < 200; ++i) page += "<div class=\"review\">这个奶粉很好。</div>\n";
  return page + "<span class=\"price\">EUR 54,99</span></body></html>";
}

// Runs `work(i)` for i in [0, kChecks) on kConcurrency threads.
template <typename Work>
void RunConcurrently(Work work) {
  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kConcurrency; ++t) {
    threads.emplace_back([&] {
      for (int i = next++; i < kChecks; i = next++) work(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// (c) 1,000 full checks (fetch, convert, cut, log, row write), 64 at a time.
void BM_CheckRows(benchmark::State& state) {
  InitHttp();
  const std::string page = SmallPage();
  testing::LoopbackPageServer server([&](const std::string&) { return page; });
  auto context = BenchContext(server.HostPort());
  std::vector<RowId> ids;
  for (int i = 0; i < kChecks; ++i) ids.push_back(context->products->Append(Row(i, true)));
  for (auto _ : state) {
    RunConcurrently([&](int i) { CheckRow(context, ids[i]); });
  }
  state.SetItemsProcessed(state.iterations() * kChecks);
}
BENCHMARK(BM_CheckRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

size_t AppendBody(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// The baseline: plain libcurl GETs of the same pages, same concurrency.
void BM_CurlBaseline(benchmark::State& state) {
  InitHttp();
  const std::string page = SmallPage();
  testing::LoopbackPageServer server([&](const std::string&) { return page; });
  const std::string prefix = "http://" + server.HostPort() + "/product-reviews/B";
  for (auto _ : state) {
    RunConcurrently([&](int i) {
      CURL* curl = curl_easy_init();
      std::string body;
      const std::string url = prefix + std::to_string(1000000 + i);
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_perform(curl);
      curl_easy_cleanup(curl);
      benchmark::DoNotOptimize(body);
    });
  }
  state.SetItemsProcessed(state.iterations() * kChecks);
}
BENCHMARK(BM_CurlBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Resident memory per running check: 64 checks held in their fetch by a slow page.
void BM_ResidentPerRunningCheck(benchmark::State& state) {
  InitHttp();
  const std::string page = SmallPage();
  testing::LoopbackPageServer server([&](const std::string&) { return page; });
  auto context = BenchContext(server.HostPort());
  std::vector<RowId> ids;
  for (int i = 0; i < kConcurrency; ++i) ids.push_back(context->products->Append(Row(i, true)));
  double perCheck = 0;
  for (auto _ : state) {
    state.PauseTiming();
    server.Hold();
    const std::size_t requestsBefore = server.Paths().size();
    const long before = ResidentKilobytes();
    std::vector<std::thread> checks;
    for (RowId id : ids) checks.emplace_back([&, id] { CheckRow(context, id); });
    server.WaitForRequests(requestsBefore + kConcurrency, std::chrono::seconds(30));
    const long during = ResidentKilobytes();
    server.Release();
    for (std::thread& check : checks) check.join();
    perCheck = static_cast<double>(during - before) / kConcurrency;
    state.ResumeTiming();
  }
  state.counters["rss_kib_per_running_check"] = perCheck;
}
BENCHMARK(BM_ResidentPerRunningCheck)->Iterations(1);

}  // namespace
}  // namespace korvelin
