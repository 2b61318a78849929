// Opening the price chart window of a product with 1,000,000 points: the window is made and
// shown, reads the file on its worker, thins the points out and draws the chart once; against
// opening the same window on a product without points.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <limits>

#include "app/price_chart_window.h"
#include "history_bench_data.h"

namespace korvelin {
namespace {

using bench::Big;

// Shows the chart window of `code` and waits until its first read is drawn.
void OpenWindow(benchmark::State& state, const std::string& code) {
  auto& big = Big();
  std::size_t points = 0;
  double readMs = 0;
  double paintMs = 0;
  const double cpuStart = bench::ProcessCpuSeconds();
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    PriceChartWindow window(big.history, {Ansi("爱他美1"), code, big.country, "50"});
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QEventLoop loop;
    QObject::connect(&window, &PriceChartWindow::Updated, &loop, &QEventLoop::quit);
    window.show();
    if (!window.Loaded()) loop.exec();  // sleeps until the read has come back and is drawn
    readMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    const QPixmap drawn = window.grab();  // one whole paint of the chart
    benchmark::DoNotOptimize(drawn.cacheKey());
    paintMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    points = window.Points().size();
  }
  state.counters["points"] = static_cast<double>(points);
  // Of the time above: until the chart was read and set up, and its first paint.
  state.counters["read_ms"] = benchmark::Counter(readMs, benchmark::Counter::kAvgIterations);
  state.counters["paint_ms"] = benchmark::Counter(paintMs, benchmark::Counter::kAvgIterations);
  state.counters["all_threads_cpu_ms"] = benchmark::Counter(
      (bench::ProcessCpuSeconds() - cpuStart) * 1000, benchmark::Counter::kAvgIterations);
}

void BM_OpenChartWindowOf1MPoints(benchmark::State& state) { OpenWindow(state, "B00D8V0972"); }
BENCHMARK(BM_OpenChartWindowOf1MPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_BaselineOpenEmptyChartWindow(benchmark::State& state) { OpenWindow(state, "NONE"); }
BENCHMARK(BM_BaselineOpenEmptyChartWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvelin
