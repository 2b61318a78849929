// A busy monitor in the real main window (Qt's offscreen platform): 1 000 ticked rows checked
// every second by the real scheduler and the real checks against a loopback marketplace (a
// page server in a child process, so its work is not counted here).
//   (a) BM_WindowLag/idle and BM_WindowLag/busy: the UI thread's event-loop lag, seen by a
//       1 ms probe timer (how late each firing comes), p50 and p99 in milliseconds, for the
//       same window idle and then monitoring. Target: busy p99 at most 16 ms (one frame).
//   (b) cpu_per_check_ms of BM_WindowLag/busy against BM_CurlLoop: the process's CPU time
//       per finished check, and per request of a plain libcurl loop fetching the same page
//       with a new connection each time. Target: at most 1.3 times the loop.
// The marketplace page is priced above every target, so no alert runs.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/log_view.h"
#include "app/main_window.h"
#include "app/text_convert.h"
#include "common/code_page.h"
#include "common/files.h"
#include "monitor/marketplace.h"
#include "net/page_fetcher.h"
#include "products/list_file.h"
#include "products/product_store.h"
#include "support/loopback_page_server.h"

namespace korvelin {
namespace {

constexpr int kRows = 1000;
constexpr int kSeconds = 5;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::string Page() {
  std::string page = "<html><body>";
  for (int i = 0; i < 200; ++i) page += "<div class=\"review\">这个奶粉很好。</div>\n";
  return page + "<span class=\"price\">EUR 99,99</span></body></html>";
}

// The page server, in a child process; "127.0.0.1:port".
std::string g_hostPort;
pid_t g_server = 0;

void StartServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  g_server = fork();
  if (g_server == 0) {
    close(fds[0]);
    const std::string page = Page();
    auto* server = new testing::LoopbackPageServer([page](const std::string&) { return page; });
    const std::string hostPort = server->HostPort();
    if (write(fds[1], hostPort.data(), hostPort.size()) < 0) _exit(1);
    close(fds[1]);
    for (;;) pause();
  }
  close(fds[1]);
  char buffer[64] = {};
  const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
  close(fds[0]);
  if (n > 0) g_hostPort.assign(buffer, static_cast<std::size_t>(n));
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `seconds` with a 1 ms probe timer; returns how late each firing
// came, in milliseconds.
std::vector<double> ProbeLag(int seconds) {
  std::vector<double> lags;
  lags.reserve(static_cast<std::size_t>(seconds) * 1000);
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(1);
  QElapsedTimer clock;
  clock.start();
  qint64 last = clock.nsecsElapsed();
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    lags.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - 1.0));
    last = now;
  });
  probe.start();
  while (clock.elapsed() < seconds * 1000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return lags;
}

// Runs the event loop as the program does, for `seconds`.
void RunEventLoop(int seconds) {
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

std::string ListText() {
  std::vector<ProductEntry> rows(kRows);
  for (int i = 0; i < kRows; ++i) {
    rows[static_cast<std::size_t>(i)].name = Ansi("喜宝有机奶粉") + std::to_string(i + 1);
    rows[static_cast<std::size_t>(i)].code = "B004X0X" + std::to_string(100 + i);
    rows[static_cast<std::size_t>(i)].targetPrice = "60";
    rows[static_cast<std::size_t>(i)].country = Ansi("德国");
  }
  return EncodeProductList(rows);
}

// The check entries in the activity log so far: each finished check writes one.
std::uint64_t FinishedChecks(QWidget& window) {
  static const std::string kMarker = Ansi(" ---- 耗时:");
  const std::string text = window.findChild<LogView*>(U("编辑框日志"))->Text();
  std::uint64_t count = 0;
  for (std::size_t at = text.find(kMarker); at != std::string::npos;
       at = text.find(kMarker, at + kMarker.size()))
    ++count;
  return count;
}

// arg 0: the window idle; arg 1: monitoring 1 000 ticked rows every second.
void BM_WindowLag(benchmark::State& state) {
  const bool busy = state.range(0) == 1;
  QTemporaryDir folder;
  const std::string directory = ToAnsi(folder.path());
  WriteFileBytes(ProductListFilePath(directory), ListText());
  AppOptions options;
  options.useTray = false;
  options.mailServer = MailServer{"127.0.0.1", 9};
  App app(options);
  app.Start(directory);
  QWidget& window = app.Window();
  std::map<std::string, std::string> hosts;
  for (const char* country :
       {"中国", "德国", "日本", "美国", "加拿大", "英国", "法国", "意大利", "荷兰"}) {
    hosts[country] = g_hostPort;
  }
  auto marketplaces = std::make_shared<const MarketplaceTable>(hosts);
  // Only the loopback server is ever asked.
  for (const Marketplace& record : marketplaces->Records()) {
    if (record.ReviewsUrlPrefix.rfind("http://" + g_hostPort + "/", 0) != 0) {
      state.SkipWithError("a marketplace is not the loopback server");
      return;
    }
  }
  app.Context()->marketplaces = marketplaces;
  window.show();
  while (!window.windowHandle() || !window.windowHandle()->isExposed())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  window.findChild<QAbstractButton*>(U("按钮全选"))->click();
  window.findChild<QLineEdit*>(U("编辑框频率"))->setText(U("1"));
  if (busy) {
    window.findChild<QAbstractButton*>(U("按钮开始监控"))->click();
    ProbeLag(2);  // the first ticks
  }
  for (auto _ : state) {
    // The CPU time per check is taken while the event loop runs as in the program, without
    // the probe (a 1 ms timer keeps the loop polling and costs CPU of its own).
    const double cpuBefore = ProcessCpuSeconds();
    const std::uint64_t finishedBefore = FinishedChecks(window);
    RunEventLoop(kSeconds);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const std::uint64_t finished = FinishedChecks(window) - finishedBefore;
    const std::vector<double> lags = ProbeLag(kSeconds);
    state.counters["p50_ms"] = Percentile(lags, 0.50);
    state.counters["p99_ms"] = Percentile(lags, 0.99);
    state.counters["probes"] = static_cast<double>(lags.size());
    state.counters["checks_per_s"] = static_cast<double>(finished) / kSeconds;
    if (finished > 0) {
      state.counters["cpu_per_check_ms"] = cpu * 1000 / static_cast<double>(finished);
    }
  }
  if (busy) window.findChild<QAbstractButton*>(U("按钮停止监控"))->click();
  app.Shutdown();
  QCoreApplication::processEvents();
}

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// Baseline: the same page fetched by a plain libcurl loop, a new connection each time.
void BM_CurlLoop(benchmark::State& state) {
  const std::string prefix = "http://" + g_hostPort + "/product-reviews/B";
  constexpr int kRequests = 1000;
  for (auto _ : state) {
    const double cpuBefore = ProcessCpuSeconds();
    for (int i = 0; i < kRequests; ++i) {
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
    }
    state.counters["cpu_per_check_ms"] = (ProcessCpuSeconds() - cpuBefore) * 1000 / kRequests;
  }
}

BENCHMARK(BM_WindowLag)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlLoop)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvelin

int main(int argc, char** argv) {
  korvelin::StartServer();
  if (korvelin::g_hostPort.empty()) return 1;
  korvelin::InitHttp();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kill(korvelin::g_server, SIGTERM);
  waitpid(korvelin::g_server, nullptr, 0);
  std::fflush(nullptr);
  std::_Exit(0);  // check threads may still be running
}
