// The price chart of one product: a window "价格走势 - NAME" with the price over time, the
// target price as a line, the lowest, highest and last price with their times, the ranges
// 1天 / 7天 / 30天 / 全部 and "导出CSV". It reads the history on a thread of its own, so the
// window never waits for the file; Refresh() reads what was written since and redraws.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "history/price_chart_data.h"
#include "history/price_history.h"

class QAbstractButton;
class QButtonGroup;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace korvelin {

class UiBridge;

// The product a chart shows; texts in code page 936 as the list holds them.
struct ChartedProduct {
  std::string name;
  std::string code;
  std::string country;
  std::string targetPrice;
};

class PriceChartWindow : public QWidget {
  Q_OBJECT

 public:
  // `history` may be null: the chart then has no records.
  PriceChartWindow(std::shared_ptr<PriceHistory> history, ChartedProduct product,
                   QWidget* parent = nullptr);
  ~PriceChartWindow() override;

  const ChartedProduct& Product() const { return product_; }
  ChartRange Range() const { return range_; }
  // What the chart shows now.
  const PriceChartData& Data() const { return data_; }
  // Every point read so far, oldest first.
  const std::vector<PricePoint>& Points() const { return points_; }
  // Whether the first read has come back.
  bool Loaded() const { return loaded_; }

  // Writes the product's whole history as CSV to `path` (a file-system path), replacing the file
  // atomically; false when it could not be written.
  bool ExportCsvTo(const std::string& path) const;

 public slots:
  void SetRange(ChartRange range);
  // Reads the points written since the last read (on a worker thread) and redraws.
  void Refresh();
  // "导出CSV": a save dialog, then ExportCsvTo; a failure is reported in a message box.
  void ExportCsv();

 signals:
  // After each read has come back and the chart was redrawn.
  void Updated();

 private:
  void TakePoints(std::vector<PricePoint> points);
  void Redraw();

  std::shared_ptr<PriceHistory> history_;
  ChartedProduct product_;
  double target_ = 0;
  ChartRange range_ = ChartRange::kAll;
  std::vector<PricePoint> points_;
  PriceChartData data_;
  bool loaded_ = false;
  bool reading_ = false;    // a read is under way
  bool readAgain_ = false;  // Refresh() came while it was
  std::shared_ptr<UiBridge> bridge_;

  QChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QLineSeries* priceSeries_ = nullptr;
  QLineSeries* targetSeries_ = nullptr;
  QDateTimeAxis* timeAxis_ = nullptr;
  QValueAxis* priceAxis_ = nullptr;
  QLabel* emptyLabel_ = nullptr;
  QLabel* lowestLabel_ = nullptr;
  QLabel* highestLabel_ = nullptr;
  QLabel* lastLabel_ = nullptr;
  QButtonGroup* rangeButtons_ = nullptr;
};

}  // namespace korvelin
