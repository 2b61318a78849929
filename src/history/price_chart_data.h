// What the price chart shows of one product's history: the points of the chosen range,
// thinned out for the screen, and the lowest, highest and last price with their times.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "history/price_history.h"

namespace korvelin {

// The chart's ranges: the last day, 7 days, 30 days before now, or everything.
enum class ChartRange { kDay, kWeek, kMonth, kAll };

// The first moment (Unix ms) of `range` at `now`; the smallest value for kAll.
std::int64_t ChartRangeStart(ChartRange range, std::int64_t now);

struct PriceSummary {
  bool empty = true;
  // With equal prices, the latest time the price was seen.
  PricePoint lowest;
  PricePoint highest;
  PricePoint last;
};

// The summary of points ordered oldest first.
PriceSummary SummarizePrices(std::span<const PricePoint> points);

// Thins points (oldest first) that span [from, to] out to at most four points a bucket of
// `buckets` equal time slices: the first, the lowest, the highest and the last point of the
// slice, in time order and each once. So the line drawn through them touches every low and
// every high a pixel column holds, and the lowest and highest points always stay. Fewer
// points than four a bucket are kept as they are; buckets < 1 counts as 1.
std::vector<PricePoint> DownsampleForScreen(std::span<const PricePoint> points, std::int64_t from,
                                            std::int64_t to, int buckets);

struct PriceChartData {
  std::vector<PricePoint> line;  // what the chart draws
  PriceSummary summary;          // of every point in the range, not only the drawn ones
  std::int64_t from = 0;         // the time axis, Unix ms
  std::int64_t to = 0;
};

// The chart of `range` at `now` from a product's points (oldest first), for a plot
// `buckets` pixels wide. The time axis of a range ends at now; that of kAll spans the
// points (one second at least; the last day when there are none). No points in the range
// gives an empty line and summary.
PriceChartData MakePriceChartData(std::span<const PricePoint> points, ChartRange range,
                                  std::int64_t now, int buckets);

// The CSV export of points: a header line "时间,价格", then one line a point, the time as
// the date-time text of the log and the price as the program writes numbers, each line ended
// by "\r\n". The file is UTF-8 with a byte order mark, so spreadsheets (Chinese Windows
// included) and text tools read the Chinese time texts without guessing the encoding.
std::string PriceHistoryCsv(std::span<const PricePoint> points);

}  // namespace korvelin
