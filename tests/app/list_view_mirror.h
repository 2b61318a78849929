// A small stand-in for the main window's list view in tests: a QTreeWidget whose items
// follow a ProductList, each item carrying its RowId in data(0, Qt::UserRole). Changes are
// applied at once; tests make them on the UI thread.
#pragma once

#include <QTreeWidget>
#include <memory>

#include "common/code_page.h"
#include "products/product_list.h"

namespace korvelin::test {

class ListViewMirror : public ProductListListener {
 public:
  explicit ListViewMirror(std::shared_ptr<ProductList> list) : list_(std::move(list)) {
    view_.setObjectName(QString::fromUtf8("超级列表框监控列表"));
    view_.setColumnCount(kColumnCount);
    view_.setSelectionMode(QAbstractItemView::SingleSelection);
    list_->SetListener(this);
    RowsReset();
  }
  ~ListViewMirror() override { list_->SetListener(nullptr); }

  QTreeWidget& View() { return view_; }
  QTreeWidgetItem* Item(int index) { return view_.topLevelItem(index); }
  void Select(int index) {
    view_.clearSelection();
    if (index >= 0) Item(index)->setSelected(true);
  }

  void RowsReset() override {
    view_.clear();
    const std::vector<RowId> ids = list_->Ids();
    for (int i = 0; i < static_cast<int>(ids.size()); ++i) RowInserted(i, ids[i]);
  }
  void RowInserted(int index, RowId id) override {
    auto* item = new QTreeWidgetItem;
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(id));
    view_.insertTopLevelItem(index, item);
    if (const auto row = list_->RowById(id)) {
      for (int column = 0; column < kColumnCount; ++column) {
        item->setText(column, QString::fromStdString(AnsiToUtf8(row->Cell(column))));
      }
      item->setCheckState(0, row->monitored ? Qt::Checked : Qt::Unchecked);
    }
  }
  void RowRemoved(int index, RowId) override { delete view_.takeTopLevelItem(index); }
  void CellChanged(RowId id, int column, const std::string& text) override {
    if (QTreeWidgetItem* item = Find(id))
      item->setText(column, QString::fromStdString(AnsiToUtf8(text)));
  }
  void MonitoredChanged(RowId id, bool monitored) override {
    if (QTreeWidgetItem* item = Find(id))
      item->setCheckState(0, monitored ? Qt::Checked : Qt::Unchecked);
  }

 private:
  QTreeWidgetItem* Find(RowId id) {
    for (int i = 0; i < view_.topLevelItemCount(); ++i) {
      if (view_.topLevelItem(i)->data(0, Qt::UserRole).toULongLong() == id)
        return view_.topLevelItem(i);
    }
    return nullptr;
  }

  std::shared_ptr<ProductList> list_;
  QTreeWidget view_;
};

}  // namespace korvelin::test
