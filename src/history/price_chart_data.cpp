#include "history/price_chart_data.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/numbers.h"
#include "history/history_texts.h"

namespace korvelin {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

// Appends the first, lowest, highest and last point of points[begin, end) in time order.
void EmitBucket(std::span<const PricePoint> points, std::size_t begin, std::size_t lowest,
                std::size_t highest, std::size_t end, std::vector<PricePoint>& out) {
  std::array<std::size_t, 4> picks = {begin, lowest, highest, end - 1};
  std::sort(picks.begin(), picks.end());
  for (std::size_t i = 0; i < picks.size(); ++i) {
    if (i > 0 && picks[i] == picks[i - 1]) continue;
    out.push_back(points[picks[i]]);
  }
}

}  // namespace

std::int64_t ChartRangeStart(ChartRange range, std::int64_t now) {
  switch (range) {
    case ChartRange::kDay:
      return now - kDayMs;
    case ChartRange::kWeek:
      return now - 7 * kDayMs;
    case ChartRange::kMonth:
      return now - 30 * kDayMs;
    case ChartRange::kAll:
      break;
  }
  return std::numeric_limits<std::int64_t>::min();
}

PriceSummary SummarizePrices(std::span<const PricePoint> points) {
  PriceSummary summary;
  if (points.empty()) return summary;
  summary.empty = false;
  summary.lowest = summary.highest = summary.last = points.front();
  for (const PricePoint& point : points) {
    if (point.price <= summary.lowest.price) summary.lowest = point;
    if (point.price >= summary.highest.price) summary.highest = point;
  }
  summary.last = points.back();
  return summary;
}

std::vector<PricePoint> DownsampleForScreen(std::span<const PricePoint> points, std::int64_t from,
                                            std::int64_t to, int buckets) {
  std::vector<PricePoint> out;
  buckets = std::max(buckets, 1);
  if (points.size() <= static_cast<std::size_t>(buckets) * 4) {
    out.assign(points.begin(), points.end());
    return out;
  }
  out.reserve(static_cast<std::size_t>(buckets) * 4);
  // The slice of a point; computed in long double so a span of any length cannot overflow.
  const long double width = static_cast<long double>(to) - static_cast<long double>(from) + 1;
  auto bucketOf = [&](std::int64_t t) {
    const long double offset = static_cast<long double>(t) - static_cast<long double>(from);
    const auto index = static_cast<long long>(offset * buckets / width);
    return std::clamp<long long>(index, 0, buckets - 1);
  };

  std::size_t begin = 0;
  std::size_t lowest = 0;
  std::size_t highest = 0;
  long long bucket = bucketOf(points[0].checkedAt);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const long long current = bucketOf(points[i].checkedAt);
    if (current != bucket) {
      EmitBucket(points, begin, lowest, highest, i, out);
      begin = lowest = highest = i;
      bucket = current;
      continue;
    }
    if (points[i].price < points[lowest].price) lowest = i;
    if (points[i].price > points[highest].price) highest = i;
  }
  EmitBucket(points, begin, lowest, highest, points.size(), out);
  return out;
}

PriceChartData MakePriceChartData(std::span<const PricePoint> points, ChartRange range,
                                  std::int64_t now, int buckets) {
  const std::int64_t start = ChartRangeStart(range, now);
  const auto first =
      std::lower_bound(points.begin(), points.end(), start,
                       [](const PricePoint& point, std::int64_t t) { return point.checkedAt < t; });
  const std::span<const PricePoint> shown(first, points.end());

  PriceChartData data;
  if (range == ChartRange::kAll && shown.empty()) {
    data.from = now - kDayMs;  // an empty chart spans the last day
    data.to = now;
  } else if (range == ChartRange::kAll) {
    data.from = shown.front().checkedAt;
    data.to = std::max(shown.back().checkedAt, data.from + 1000);
  } else {
    data.from = start;
    data.to = std::max(now, shown.empty() ? now : shown.back().checkedAt);
  }
  data.summary = SummarizePrices(shown);
  data.line = DownsampleForScreen(shown, data.from, data.to, buckets);
  return data;
}

std::string PriceHistoryCsv(std::span<const PricePoint> points) {
  std::string ansi = history_texts::CsvHeader();
  for (const PricePoint& point : points) {
    ansi += DateTimeText(LocalDateTimeAt(point.checkedAt));
    ansi += ',';
    ansi += RealToText(point.price);
    ansi += "\r\n";
  }
  return "\xEF\xBB\xBF" + AnsiToUtf8(ansi);
}

}  // namespace korvelin
