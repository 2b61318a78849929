#include "app/price_charts.h"

#include "app/ui_bridge.h"

namespace korvelin {

PriceCharts::PriceCharts(std::shared_ptr<PriceHistory> history, QObject* parent)
    : QObject(parent), history_(std::move(history)), bridge_(std::make_shared<UiBridge>(this)) {
  if (history_) {
    // Called on the history's writer thread; the windows are redrawn on the UI thread.
    std::weak_ptr<UiBridge> weakBridge = bridge_;
    history_->SetListener([weakBridge, self = this] {
      if (const auto bridge = weakBridge.lock()) bridge->Post([self] { self->RefreshAll(); });
    });
  }
}

PriceCharts::~PriceCharts() {
  bridge_->Close();
  if (history_) history_->SetListener(nullptr);
}

PriceChartWindow* PriceCharts::Open(const ChartedProduct& product) {
  if (PriceChartWindow* open = Find(product.code, product.country)) {
    open->show();
    open->raise();
    open->activateWindow();
    return open;
  }
  auto* window = new PriceChartWindow(history_, product);
  windows_[{product.code, product.country}] = window;
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

PriceChartWindow* PriceCharts::Find(const std::string& code, const std::string& country) const {
  const auto found = windows_.find({code, country});
  return found == windows_.end() ? nullptr : found->second.data();
}

void PriceCharts::RefreshAll() {
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (!it->second) {
      it = windows_.erase(it);
      continue;
    }
    it->second->Refresh();
    ++it;
  }
}

}  // namespace korvelin
