// The page fetcher under load: 1,000 GETs of one loopback price page, 64 at a time, through
// FetchViaInternetApi, against the same load through a plain libcurl loop (one easy handle
// per request, nothing else set) measured in the same run.
//
// Counters:
//   ratio          time of the fetcher / time of the plain libcurl loop
//   fetcher_ms     wall time of one batch through the fetcher
//   curl_ms        wall time of one batch through plain libcurl
//   rss_KiB_per_fetch_fetcher / _curl   peak resident-set growth while 64 fetches run at
//                  once, divided by 64 (the peak is reset through /proc/self/clear_refs)
//   failures       requests that did not return the page (must be 0)
//
// The server runs in a child process, so its threads and buffers do not count in the RSS.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/page_fetcher.h"
#include "support/fake_marketplace.h"

namespace {

constexpr int kRequests = 1000;
constexpr int kConcurrency = 64;
constexpr char kCode[] = "B00D8V0972";

struct ServerProcess {
  pid_t pid = -1;
  int port = 0;
  std::string url;
  std::string page;
};

// Forks the fake marketplace into a child process that ends with this process.
const ServerProcess& Server() {
  static ServerProcess server = [] {
    ServerProcess s;
    s.page = korvelin::testing::PricePage(korvelin::testing::page_marker::kEuro, "54,99");
    int portPipe[2];
    if (pipe(portPipe) != 0) std::abort();
    s.pid = fork();
    if (s.pid == 0) {
      close(portPipe[0]);
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      korvelin::testing::FakeMarketplace fake;
      fake.SetPrice(kCode, "54,99", korvelin::testing::page_marker::kEuro);
      int port = fake.Port();
      if (write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
      for (;;) pause();
    }
    close(portPipe[1]);
    if (read(portPipe[0], &s.port, sizeof s.port) != sizeof s.port) std::abort();
    close(portPipe[0]);
    s.url = "http://127.0.0.1:" + std::to_string(s.port) + "/product-reviews/" + kCode;
    std::atexit([] {
      kill(Server().pid, SIGTERM);
      waitpid(Server().pid, nullptr, 0);
    });
    return s;
  }();
  return server;
}

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// The baseline: one plain easy handle per request.
bool PlainCurlGet(const std::string& url, const std::string& expected) {
  CURL* easy = curl_easy_init();
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  const bool ok = curl_easy_perform(easy) == CURLE_OK && body == expected;
  curl_easy_cleanup(easy);
  return ok;
}

bool FetcherGet(const std::string& url, const std::string& expected) {
  return korvelin::FetchViaInternetApi(url) == expected;
}

using Fetch = bool (*)(const std::string&, const std::string&);

// `total` requests, `concurrency` threads pulling from one counter. Returns the failures.
int RunBatch(Fetch fetch, int total, int concurrency) {
  const ServerProcess& s = Server();
  std::atomic<int> next{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  threads.reserve(concurrency);
  for (int t = 0; t < concurrency; ++t) {
    threads.emplace_back([&] {
      while (next.fetch_add(1) < total) {
        if (!fetch(s.url, s.page)) failures.fetch_add(1);
      }
    });
  }
  for (auto& t : threads) t.join();
  return failures.load();
}

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return 0;
}

// Peak RSS growth per fetch while `concurrency` fetches run at once.
double PeakRssGrowthPerFetchKiB(Fetch fetch) {
  std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to the current RSS
  const long before = StatusKiB("VmRSS");
  RunBatch(fetch, kConcurrency * 4, kConcurrency);
  const long peak = StatusKiB("VmHWM");
  return static_cast<double>(peak - before) / kConcurrency;
}

double Seconds(Fetch fetch, int* failures) {
  const auto start = std::chrono::steady_clock::now();
  *failures += RunBatch(fetch, kRequests, kConcurrency);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ThousandGets64AtATime(benchmark::State& state) {
  korvelin::InitHttp();
  Server();
  // Warm both paths (threads, TLS-free connection set-up, allocator) once.
  RunBatch(PlainCurlGet, kConcurrency, kConcurrency);
  RunBatch(FetcherGet, kConcurrency, kConcurrency);
  const double rssCurl = PeakRssGrowthPerFetchKiB(PlainCurlGet);
  const double rssFetcher = PeakRssGrowthPerFetchKiB(FetcherGet);

  double fetcherTotal = 0, curlTotal = 0;
  int failures = 0;
  for (auto _ : state) {
    const double curl = Seconds(PlainCurlGet, &failures);
    const double fetcher = Seconds(FetcherGet, &failures);
    curlTotal += curl;
    fetcherTotal += fetcher;
    state.SetIterationTime(fetcher);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ratio"] = fetcherTotal / curlTotal;
  state.counters["fetcher_ms"] = fetcherTotal / n * 1000.0;
  state.counters["curl_ms"] = curlTotal / n * 1000.0;
  state.counters["rss_KiB_per_fetch_fetcher"] = rssFetcher;
  state.counters["rss_KiB_per_fetch_curl"] = rssCurl;
  state.counters["failures"] = failures;
}
BENCHMARK(BM_ThousandGets64AtATime)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
