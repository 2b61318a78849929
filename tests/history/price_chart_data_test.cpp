#include "history/price_chart_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "common/date_time.h"

namespace korvelin {
namespace {

constexpr std::int64_t kHour = 3600 * 1000;
constexpr std::int64_t kDay = 24 * kHour;

TEST(ChartRangeTest, RangesReachBackFromNow) {
  const std::int64_t now = 100 * kDay;
  const struct {
    ChartRange range;
    std::int64_t start;
  } cases[] = {
      {ChartRange::kDay, now - kDay},
      {ChartRange::kWeek, now - 7 * kDay},
      {ChartRange::kMonth, now - 30 * kDay},
      {ChartRange::kAll, std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(ChartRangeStart(c.range, now), c.start);
}

TEST(PriceSummaryTest, LowestHighestAndLastWithTheirTimes) {
  EXPECT_TRUE(SummarizePrices({}).empty);
  const std::vector<PricePoint> points = {{1000, 50}, {2000, 40}, {3000, 70},
                                          {4000, 40}, {5000, 70}, {6000, 55}};
  const PriceSummary summary = SummarizePrices(points);
  EXPECT_FALSE(summary.empty);
  // Of equal prices, the latest time counts.
  EXPECT_EQ(summary.lowest, (PricePoint{4000, 40}));
  EXPECT_EQ(summary.highest, (PricePoint{5000, 70}));
  EXPECT_EQ(summary.last, (PricePoint{6000, 55}));
}

TEST(PriceChartDataTest, EachRangeShowsItsPointsAndTheirSummary) {
  const std::int64_t now = 100 * kDay;
  const std::vector<PricePoint> points = {
      {now - 40 * kDay, 10},  // only in 全部
      {now - 20 * kDay, 90},  // 30天 on
      {now - 3 * kDay, 30},   // 7天 on
      {now - 2 * kHour, 50},  // 1天 on
      {now - kHour, 45},
  };
  const struct {
    ChartRange range;
    std::size_t count;
    double lowest;
    double highest;
    std::int64_t from;
    std::int64_t to;
  } cases[] = {
      {ChartRange::kDay, 2, 45, 50, now - kDay, now},
      {ChartRange::kWeek, 3, 30, 50, now - 7 * kDay, now},
      {ChartRange::kMonth, 4, 30, 90, now - 30 * kDay, now},
      {ChartRange::kAll, 5, 10, 90, now - 40 * kDay, now - kHour},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.range));
    const PriceChartData data = MakePriceChartData(points, c.range, now, 800);
    EXPECT_EQ(data.line.size(), c.count);
    EXPECT_EQ(data.line, std::vector<PricePoint>(points.end() - c.count, points.end()));
    EXPECT_EQ(data.summary.lowest.price, c.lowest);
    EXPECT_EQ(data.summary.highest.price, c.highest);
    EXPECT_EQ(data.summary.last, (PricePoint{now - kHour, 45}));
    EXPECT_EQ(data.from, c.from);
    EXPECT_EQ(data.to, c.to);
  }
}

TEST(PriceChartDataTest, NoPointsInTheRangeGiveAnEmptyChart) {
  const std::int64_t now = 100 * kDay;
  const std::vector<PricePoint> old = {{now - 3 * kDay, 30}};
  const PriceChartData day = MakePriceChartData(old, ChartRange::kDay, now, 800);
  EXPECT_TRUE(day.line.empty());
  EXPECT_TRUE(day.summary.empty);
  const PriceChartData none = MakePriceChartData({}, ChartRange::kAll, now, 800);
  EXPECT_TRUE(none.line.empty());
  EXPECT_TRUE(none.summary.empty);
  // The time axis of an empty chart is the last day, never an empty span.
  EXPECT_EQ(none.from, now - kDay);
  EXPECT_EQ(none.to, now);
  // A single point still spans a time axis.
  const PriceChartData one = MakePriceChartData(old, ChartRange::kAll, now, 800);
  EXPECT_EQ(one.line, old);
  EXPECT_LT(one.from, one.to);
}

TEST(DownsampleTest, KeepsEveryLowAndHighOfEachBucketInTimeOrder) {
  // 1,000,000 noisy points with a few sharp spikes, drawn into 500 columns.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(50, 60);
  std::vector<PricePoint> points;
  points.reserve(1'000'000);
  for (std::int64_t i = 0; i < 1'000'000; ++i) points.push_back({i * 1000, noise(random)});
  points[123'457].price = 1.25;   // the lowest
  points[876'543].price = 999.5;  // the highest
  points[500'000].price = 2.5;    // a second dip, in another column
  const int buckets = 500;
  const auto line =
      DownsampleForScreen(points, points.front().checkedAt, points.back().checkedAt, buckets);

  EXPECT_LE(line.size(), static_cast<std::size_t>(buckets) * 4);
  EXPECT_GE(line.size(), static_cast<std::size_t>(buckets) * 2);
  EXPECT_TRUE(std::is_sorted(line.begin(), line.end(), [](const auto& a, const auto& b) {
    return a.checkedAt < b.checkedAt;
  }));
  auto has = [&](const PricePoint& p) {
    return std::find(line.begin(), line.end(), p) != line.end();
  };
  EXPECT_TRUE(has(points[123'457]));
  EXPECT_TRUE(has(points[876'543]));
  EXPECT_TRUE(has(points[500'000]));
  EXPECT_EQ(line.front(), points.front());
  EXPECT_EQ(line.back(), points.back());
  // Every column's own low and high survive: compare per column against the full data.
  const std::int64_t width = points.back().checkedAt - points.front().checkedAt + 1;
  std::vector<double> low(buckets, 1e9), high(buckets, -1e9), lineLow(buckets, 1e9),
      lineHigh(buckets, -1e9);
  auto column = [&](std::int64_t t) { return static_cast<int>((long double)t * buckets / width); };
  for (const auto& p : points) {
    low[column(p.checkedAt)] = std::min(low[column(p.checkedAt)], p.price);
    high[column(p.checkedAt)] = std::max(high[column(p.checkedAt)], p.price);
  }
  for (const auto& p : line) {
    lineLow[column(p.checkedAt)] = std::min(lineLow[column(p.checkedAt)], p.price);
    lineHigh[column(p.checkedAt)] = std::max(lineHigh[column(p.checkedAt)], p.price);
  }
  EXPECT_EQ(low, lineLow);
  EXPECT_EQ(high, lineHigh);
}

TEST(DownsampleTest, FewPointsAreKeptAsTheyAre) {
  const std::vector<PricePoint> points = {{0, 3}, {10, 1}, {20, 2}, {30, 5}};
  EXPECT_EQ(DownsampleForScreen(points, 0, 30, 1), points);
  EXPECT_EQ(DownsampleForScreen(points, 0, 30, 0), points);  // fewer than one column is one
  // Five points in one column: first, lowest, highest, last.
  const std::vector<PricePoint> five = {{0, 3}, {10, 1}, {20, 2}, {30, 5}, {40, 4}};
  EXPECT_EQ(DownsampleForScreen(five, 0, 40, 1),
            (std::vector<PricePoint>{{0, 3}, {10, 1}, {30, 5}, {40, 4}}));
}

TEST(PriceCsvTest, TimesAsTheLogWritesThemAndPricesAsTheProgramWritesNumbers) {
  const std::int64_t first = 1'700'000'000'000;  // any moment; the text is local time
  const std::vector<PricePoint> points = {{first, 54.99}, {first + 61'500, 1299}};
  const std::string csv = PriceHistoryCsv(points);
  const std::string expected = "\xEF\xBB\xBF" + std::string("时间,价格\r\n") +
                               AnsiToUtf8(DateTimeText(LocalDateTimeAt(first))) + ",54.99\r\n" +
                               AnsiToUtf8(DateTimeText(LocalDateTimeAt(first + 61'500))) +
                               ",1299\r\n";
  EXPECT_EQ(csv, expected);
  EXPECT_EQ(PriceHistoryCsv({}), "\xEF\xBB\xBF" + std::string("时间,价格\r\n"));
}

TEST(LocalDateTimeAtTest, MillisecondsFallInTheirSecond) {
  setenv("TZ", "UTC", 1);
  tzset();
  const DateTime at = LocalDateTimeAt(1'416'229'509'999);  // 2014-11-17 13:05:09.999 UTC
  EXPECT_EQ(DateTimeText(at), Ansi("2014年11月17日13时5分9秒"));
  EXPECT_EQ(DateTimeText(LocalDateTimeAt(-1)), Ansi("1969年12月31日23时59分59秒"));
}

}  // namespace
}  // namespace korvelin
