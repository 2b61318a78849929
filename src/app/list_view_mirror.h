// Keeps the list view 超级列表框监控列表 equal to the core ProductList.
//
// Structural changes (reset, insert, remove) are made on the UI thread and applied at once;
// a reset builds every item before the view sees any, and the ticks of a whole-list command
// reach the view as one change, so a list of 100 000 rows stays quick.
// Cell and tick changes may come from check threads; they are handed to the UI thread, which
// looks the row up by its RowId (kept in the item's data) and copies the row's current value
// from the list, so a row removed meanwhile is simply not found. A click on a row's check box
// writes the tick into the list.
//
// The list holds a plain pointer to its listener and check threads may call it until the
// process ends, so this object belongs to the shared monitoring context, not to the window;
// it reaches the widget only through the UI bridge.
#pragma once

#include <QHash>
#include <QPointer>
#include <QTreeWidget>
#include <memory>
#include <mutex>
#include <vector>

#include "app/ui_bridge.h"
#include "products/product_list.h"

namespace korvelin {

// The list view itself: seven columns, check boxes, grid lines, whole-row single selection.
QTreeWidget* CreateProductListView(QWidget* parent);
// The RowId of the row an item shows (toULongLong()); the list commands read it too.
constexpr int kRowIdRole = Qt::UserRole;

class ListViewMirror : public ProductListListener {
 public:
  ListViewMirror(std::shared_ptr<UiBridge> bridge, std::weak_ptr<ProductList> products,
                 QTreeWidget* view);
  ~ListViewMirror() override;

  void RowsReset() override;
  void RowInserted(int index, RowId id) override;
  void RowRemoved(int index, RowId id) override;
  void CellChanged(RowId id, int column, const std::string& text) override;
  void MonitoredChanged(RowId id, bool monitored) override;
  void ManyMonitoredChanged(const std::vector<std::pair<RowId, bool>>& changes) override;

  // The item showing the row, or null (UI thread).
  QTreeWidgetItem* ItemFor(RowId id) const;

 private:
  // UI thread only.
  void Rebuild();
  void Insert(int index, RowId id);
  QTreeWidgetItem* MakeItem(RowId id, const ProductEntry& row) const;
  void ApplyTicks(const std::vector<std::pair<RowId, bool>>& changes);
  void Remove(RowId id);
  void RefreshRow(RowId id);
  void OnItemChanged(QTreeWidgetItem* item, int column);

  // Rows whose cells or tick changed on other threads, waiting to be shown; the first one
  // into an empty list hands the UI thread one call that shows them all, so a busy monitor
  // wakes the UI thread once per batch, not once per cell.
  void QueueRefresh(RowId id);
  void RefreshQueued();
  std::mutex queuedMutex_;
  std::vector<RowId> queued_;

  std::shared_ptr<UiBridge> bridge_;
  std::weak_ptr<ProductList> products_;
  QPointer<QTreeWidget> view_;
  QHash<RowId, QTreeWidgetItem*> items_;
  bool updating_ = false;  // true while this object writes into the view
  QMetaObject::Connection itemChanged_;
};

}  // namespace korvelin
