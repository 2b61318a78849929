// Opening the price chart window of a product with 1,000,000 points: the window is made and
// shown, reads the file on its worker, thins the points out and draws the chart once; against
// opening the same window on a product without points.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
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
  for (auto _ : state) {
    PriceChartWindow window(big.history, {Ansi("爱他美1"), code, big.country, "50"});
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    while (!window.Loaded()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const QPixmap drawn = window.grab();  // one whole paint of the chart
    benchmark::DoNotOptimize(drawn.cacheKey());
    points = window.Points().size();
  }
  state.counters["points"] = static_cast<double>(points);
}

void BM_OpenChartWindowOf1MPoints(benchmark::State& state) { OpenWindow(state, "B00D8V0972"); }
BENCHMARK(BM_OpenChartWindowOf1MPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_BaselineOpenEmptyChartWindow(benchmark::State& state) { OpenWindow(state, "NONE"); }
BENCHMARK(BM_BaselineOpenEmptyChartWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvelin

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
