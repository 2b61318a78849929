// The open price chart windows: one per product, opened from the list menu's "价格走势", and
// redrawn whenever the history has written a batch while monitoring runs.
#pragma once

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "app/price_chart_window.h"
#include "history/price_history.h"

namespace korvelin {

class UiBridge;

class PriceCharts : public QObject {
  Q_OBJECT

 public:
  // Listens to `history` (may be null) for written batches. `parent` owns this object; the
  // windows are top-level windows of their own, deleted when closed.
  PriceCharts(std::shared_ptr<PriceHistory> history, QObject* parent = nullptr);
  ~PriceCharts() override;

  // Shows the chart of the product, or raises it when it is open already.
  PriceChartWindow* Open(const ChartedProduct& product);
  // The open window of a product (code and country), or nullptr.
  PriceChartWindow* Find(const std::string& code, const std::string& country) const;

 public slots:
  // Every open window reads what was written since.
  void RefreshAll();

 private:
  std::shared_ptr<PriceHistory> history_;
  std::shared_ptr<UiBridge> bridge_;
  std::map<std::pair<std::string, std::string>, QPointer<PriceChartWindow>> windows_;
};

}  // namespace korvelin
