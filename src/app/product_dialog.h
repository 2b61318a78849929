// The product dialog "加入一个产品": adds one product to the list, or edits the name, code,
// target price and country of an existing row. The current price, the drop mark, the number
// and the check box of a row are never touched here.
#pragma once

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "app/widget_handles.h"
#include "products/product_fields.h"
#include "products/product_list.h"

namespace korvelin {

// 1 while the product dialog edits an existing row, 0 otherwise (adding, or no dialog open).
// Start-up sets it to 0.
std::atomic<int>& ModifyMode();

class ProductDialog : public QDialog {
  Q_OBJECT

 public:
  // `row` 0: adding; "确 定 加 入" appends a row at the end (the caller saves the list after
  // the dialog has closed). Otherwise modifying that row: the boxes are filled from it now,
  // and "确 定 加 入" writes them back into it and saves. A row that is gone by then (the
  // list was cleared or imported meanwhile) is left alone; the dialog still saves and closes.
  // `saveList` writes the list file. `listView` is enabled again when the dialog ends; the
  // caller disables it when it opens a modification.
  ProductDialog(std::shared_ptr<ProductList> list, RowId row, std::function<void()> saveList,
                QWidget* listView, QWidget* parent = nullptr);

  RowId EditedRow() const { return row_; }
  const ProductDialogWidgets& Widgets() const { return widgets_; }

  // The close box (and Escape): ModifyMode 0, the list view enabled, the list saved, the
  // dialog closed. Fields typed but not confirmed are dropped. Never refused.
  void reject() override;

 private:
  void Confirm();  // "确 定 加 入"
  // When the code box holds a product page address: the code alone, and its country.
  bool TakeProductAddress();
  // Tells which field cannot be stored and why, then puts the cursor into it.
  void Refuse(const FieldProblem& problem);
  void FillFromRow();

  std::shared_ptr<ProductList> list_;
  RowId row_;
  std::function<void()> saveList_;
  QPointer<QWidget> listView_;
  ProductDialogWidgets widgets_;
};

}  // namespace korvelin
