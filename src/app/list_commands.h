// The product list commands: the seven buttons above the list view 超级列表框监控列表 and the
// pop-up menu "列表菜单" on it. All commands run on the UI thread and read and write the rows
// only through ProductList; the list view mirrors ProductList by itself.
//
// Wiring:
//   auto commands = std::make_unique<ListCommands>(listView, list, marketplaces, desktop,
//                                                  listFileUi, programDirectory, window);
//   commands->ConnectControls(monitorPage.listButtons);
// ConnectControls connects the clicked() of the seven buttons (按钮导入产品, 按钮加入一个产品,
// 按钮清空产品列表, 按钮导出产品列表, 按钮全选, 按钮全不选, 按钮反选) to Import, AddOne, Clear,
// Export, CheckAll, UncheckAll, Invert; a button that is missing is reported on the
// program's error output at once, naming it. It also sets the list view's context menu
// policy to Qt::CustomContextMenu and connects customContextMenuRequested to
// ShowListMenuAtViewport.
//
// Contract with the list view: every QTreeWidgetItem of `listView` carries the RowId of its
// ProductList row in item->data(0, Qt::UserRole) (read with toULongLong()). The selected row
// is the list view's selected item (at most one).
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "app/product_dialog.h"
#include "app/widget_handles.h"
#include "common/ports.h"
#include "monitor/marketplace.h"
#include "products/product_list.h"
#include "products/product_store.h"

class QMenu;
class QTreeWidget;
class QWidget;

namespace korvelin {

class ListCommands : public QObject {
  Q_OBJECT

 public:
  // `programDirectory` (a path, see common/files.h) is where the default list file lives and where
  // the open and save dialogs start. `dialogParent` owns the product dialog. `desktop` and `ui`
  // must outlive this object.
  ListCommands(QTreeWidget* listView, std::shared_ptr<ProductList> list,
               std::shared_ptr<const MarketplaceTable> marketplaces, Desktop& desktop,
               ListFileUi& ui, std::string programDirectory, QWidget* dialogParent);
  ~ListCommands() override;

  // Returns false when a button is missing (the others are still connected).
  bool ConnectControls(const ListButtons& buttons);

  // The pop-up menu "列表菜单" ("打开链接", "删除这个产品", "修改", "价格走势"); built once,
  // owned here.
  QMenu* ListMenu() const { return listMenu_.get(); }
  // What "价格走势" does with the selected row (the app opens its price chart).
  void SetPriceChartOpener(std::function<void(const ProductEntry&)> opener) {
    priceChartOpener_ = std::move(opener);
  }
  // The product dialog of a modification in progress, or nullptr.
  ProductDialog* ModifyDialog() const { return modifyDialog_; }

 public slots:
  void Import();      // 按钮导入产品: the open dialog, load, save
  void AddOne();      // 按钮加入一个产品: the product dialog, modal; save after it closes
  void Clear();       // 按钮清空产品列表: asks, then removes every row (no save)
  void Export();      // 按钮导出产品列表: the save dialog, write, offer to open the file
  void CheckAll();    // 按钮全选
  void UncheckAll();  // 按钮全不选
  void Invert();      // 按钮反选
  // Pops up "列表菜单" at `globalPos` when a row is selected; does nothing otherwise.
  void ShowListMenu(const QPoint& globalPos);
  // customContextMenuRequested of the list view (a position in its viewport).
  void ShowListMenuAtViewport(const QPoint& viewportPos);
  void OpenLink();        // "打开链接": the selected row's product page in the browser
  void DeleteProduct();   // "删除这个产品": asks, removes the selected row, saves
  void Modify();          // "修改": the product dialog, non-modal, on the selected row
  void ShowPriceChart();  // "价格走势": the selected row's price chart

 protected:
  // Delete on the list view.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  RowId SelectedRow() const;
  void Save();

  QPointer<QTreeWidget> listView_;
  std::shared_ptr<ProductList> list_;
  std::shared_ptr<const MarketplaceTable> marketplaces_;
  Desktop& desktop_;
  ListFileUi& ui_;
  std::string programDirectory_;
  QPointer<QWidget> dialogParent_;
  std::unique_ptr<QMenu> listMenu_;
  QPointer<ProductDialog> modifyDialog_;
  std::function<void(const ProductEntry&)> priceChartOpener_;
};

}  // namespace korvelin
