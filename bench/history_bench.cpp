// The price history: opening the chart data of a product with 1,000,000 points (read from
// the file and thinned out for the screen), against copying the same points in memory; and
// the processor time that recording 1,000 prices a second costs, against the same paced loop
// without recording.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "history/price_chart_data.h"
#include "history/price_history.h"
#include "history_bench_data.h"

namespace korvelin {
namespace {

using bench::Big;
using bench::BigHistory;
using bench::kPoints;
using bench::kScreenBuckets;
using bench::ProcessCpuSeconds;

// Opening the chart: every point of the product from the file, then the chart of 全部.
void BM_OpenChartOf1MPoints(benchmark::State& state) {
  BigHistory& big = Big();
  std::size_t drawn = 0;
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    const std::vector<PricePoint> points =
        big.history->Query("B00D8V0972", big.country, std::numeric_limits<std::int64_t>::min(),
                           std::numeric_limits<std::int64_t>::max());
    const PriceChartData data =
        MakePriceChartData(points, ChartRange::kAll, big.now, kScreenBuckets);
    drawn = data.line.size();
    benchmark::DoNotOptimize(data.summary);
  }
  state.counters["points"] = static_cast<double>(kPoints);
  state.counters["drawn"] = static_cast<double>(drawn);
  // The processor time of every thread (the reads run in slices at once), per opening.
  state.counters["all_threads_cpu_ms"] = benchmark::Counter((ProcessCpuSeconds() - cpuStart) * 1000,
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OpenChartOf1MPoints)->Unit(benchmark::kMillisecond)->MinTime(2);

// The chart data alone (points already in memory), as on a range button or a redraw.
void BM_ChartDataOf1MPoints(benchmark::State& state) {
  BigHistory& big = Big();
  static const std::vector<PricePoint> points =
      big.history->Query("B00D8V0972", big.country, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
  for (auto _ : state) {
    const PriceChartData data =
        MakePriceChartData(points, ChartRange::kAll, big.now, kScreenBuckets);
    benchmark::DoNotOptimize(data.line.data());
  }
}
BENCHMARK(BM_ChartDataOf1MPoints)->Unit(benchmark::kMillisecond);

// Baseline: copying 1,000,000 points in memory.
void BM_BaselineCopy1MPoints(benchmark::State& state) {
  std::vector<PricePoint> from(kPoints, PricePoint{1, 2});
  std::vector<PricePoint> to(kPoints);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kPoints * sizeof(PricePoint));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BaselineCopy1MPoints)->Unit(benchmark::kMillisecond);

// Runs 1,000 steps a second for `seconds` in bursts of 10 every 10 ms, each step calling
// `step`; gives the processor time of the whole process (every thread) as a share of one
// core over the wall time.
template <typename Step>
double PacedCoreShare(double seconds, Step step) {
  using Clock = std::chrono::steady_clock;
  const double cpuStart = ProcessCpuSeconds();
  const auto wallStart = Clock::now();
  const int bursts = static_cast<int>(seconds * 100);
  for (int burst = 0; burst < bursts; ++burst) {
    for (int i = 0; i < 10; ++i) step(burst * 10 + i);
    std::this_thread::sleep_until(wallStart + std::chrono::milliseconds(10 * (burst + 1)));
  }
  const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
  return (ProcessCpuSeconds() - cpuStart) / wall;
}

// Recording 1,000 prices a second through the store (the writer thread's batches, SQLite
// and the file included) for 3 seconds; `core_share` is the share of one core the process
// used, `baseline_share` that of the same paced loop without recording.
void BM_Record1000PricesASecond(benchmark::State& state) {
  const std::string folder = bench::MakeFolder();
  const std::string country = Ansi("德国");
  double share = 0;
  double baseline = 0;
  for (auto _ : state) {
    auto history = std::make_shared<PriceHistory>(folder, nullptr);
    history->Record({UnixMillisNow(), "WARMUP", country, 1, "1"});
    history->Flush();  // the file is open and the schema made before the measurement
    const std::int64_t start = UnixMillisNow();
    volatile std::int64_t sink = 0;
    baseline = PacedCoreShare(3, [&](int i) { sink = sink + i; });
    share = PacedCoreShare(3, [&](int i) {
      history->Record({start + i, "B00D8V0972", country, 50.0 + (i % 100) * 0.01, "50.00"});
    });
    history->Flush();
  }
  state.counters["core_share"] = share;
  state.counters["baseline_share"] = baseline;
  state.counters["recording_share"] = share - baseline;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_Record1000PricesASecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace korvelin
