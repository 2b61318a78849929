#include "app/list_commands.h"

#include <QAction>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/qt_list_file_ui.h"
#include "app/text_convert.h"
#include "common/files.h"
#include "products/list_file.h"

namespace korvelin {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// The texts of the list commands (UTF-8 here; the widgets take them as they are).
constexpr const char* kInfoTitle = "信息：";
constexpr const char* kClearTitle = "提醒";
constexpr const char* kClearQuestion = "确定要清空列表吗？";
constexpr const char* kExportFileName = "监控列表.txt";
constexpr const char* kExportFilter = "文本文件.txt|*.txt";
constexpr const char* kExportDone = "导出成功！是否打开查看？";
constexpr const char* kExportFailed = "导出失败！";
constexpr const char* kDeleteQuestionStart = "确定要删除【";
constexpr const char* kDeleteQuestionEnd = "】这个产品吗？";
constexpr const char* kListMenu = "列表菜单";
constexpr const char* kOpenLinkItem = "打开链接";
constexpr const char* kDeleteItem = "删除这个产品";
constexpr const char* kModifyItem = "修改";
constexpr const char* kPriceChartItem = "价格走势";

// A message box without owner window; true when the user answered Yes.
bool AskYesNo(const char* title, const QString& question) {
  return QMessageBox::question(nullptr, Utf8(title), question,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

ListCommands::ListCommands(QTreeWidget* listView, std::shared_ptr<ProductList> list,
                           std::shared_ptr<const MarketplaceTable> marketplaces, Desktop& desktop,
                           ListFileUi& ui, std::string programDirectory, QWidget* dialogParent)
    : listView_(listView),
      list_(std::move(list)),
      marketplaces_(std::move(marketplaces)),
      desktop_(desktop),
      ui_(ui),
      programDirectory_(std::move(programDirectory)),
      dialogParent_(dialogParent),
      listMenu_(std::make_unique<QMenu>(Utf8(kListMenu))) {
  listMenu_->setObjectName(Utf8(kListMenu));
  connect(listMenu_->addAction(Utf8(kOpenLinkItem)), &QAction::triggered, this,
          &ListCommands::OpenLink);
  connect(listMenu_->addAction(Utf8(kDeleteItem)), &QAction::triggered, this,
          &ListCommands::DeleteProduct);
  connect(listMenu_->addAction(Utf8(kModifyItem)), &QAction::triggered, this,
          &ListCommands::Modify);
  connect(listMenu_->addAction(Utf8(kPriceChartItem)), &QAction::triggered, this,
          &ListCommands::ShowPriceChart);
}

ListCommands::~ListCommands() = default;

bool ListCommands::ConnectControls(const ListButtons& buttons) {
  const struct {
    QPushButton* button;
    const char* name;
    void (ListCommands::*command)();
  } wiring[] = {
      {buttons.importList, "按钮导入产品", &ListCommands::Import},
      {buttons.addOne, "按钮加入一个产品", &ListCommands::AddOne},
      {buttons.clear, "按钮清空产品列表", &ListCommands::Clear},
      {buttons.exportList, "按钮导出产品列表", &ListCommands::Export},
      {buttons.checkAll, "按钮全选", &ListCommands::CheckAll},
      {buttons.uncheckAll, "按钮全不选", &ListCommands::UncheckAll},
      {buttons.invert, "按钮反选", &ListCommands::Invert},
  };
  bool complete = true;
  for (const auto& entry : wiring) {
    if (!entry.button) {
      qCritical("ListCommands: the list button %s is missing; its command stays unwired",
                entry.name);
      complete = false;
      continue;
    }
    connect(entry.button, &QAbstractButton::clicked, this, entry.command);
  }
  if (listView_) {
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_, &QWidget::customContextMenuRequested, this,
            &ListCommands::ShowListMenuAtViewport);
    // The keyboard and the mouse reach the menu's commands directly: Delete on a selected
    // row asks the delete question, a double-click on a row opens it for modification.
    listView_->installEventFilter(this);
    connect(listView_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
      if (!listView_ || !item) return;
      listView_->clearSelection();
      item->setSelected(true);
      Modify();
    });
  }
  return complete;
}

bool ListCommands::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listView_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    DeleteProduct();  // asks nothing when no row is selected
    return true;
  }
  return QObject::eventFilter(watched, event);
}

RowId ListCommands::SelectedRow() const {
  if (!listView_) return 0;
  const QList<QTreeWidgetItem*> selected = listView_->selectedItems();
  if (selected.isEmpty()) return 0;
  return selected.front()->data(0, Qt::UserRole).toULongLong();
}

void ListCommands::Save() { SaveProductList(*list_, programDirectory_, ui_); }

void ListCommands::Import() { LoadProductList(*list_, {}, {}, programDirectory_, ui_); }

void ListCommands::AddOne() {
  // Only one product dialog at a time: while a modification is open, show that one.
  if (modifyDialog_ && modifyDialog_->isVisible()) {
    modifyDialog_->raise();
    modifyDialog_->activateWindow();
    return;
  }
  {
    ProductDialog dialog(
        list_, 0, [this] { Save(); }, listView_, dialogParent_);
    // Modal to the main window only: the tray icon and its menu stay usable, so a window
    // minimised meanwhile can always be brought back.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
  }
  ui_.ProcessPendingEvents();
  Save();
}

void ListCommands::Clear() {
  if (!AskYesNo(kClearTitle, Utf8(kClearQuestion))) return;
  list_->Clear();
}

void ListCommands::Export() {
  QFileDialog dialog(dialogParent_);
  // The desktop's own file dialog where it has one, opening in the list's folder.
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDirectory(PathToQString(programDirectory_));
  dialog.setNameFilter(ToQtNameFilter(Utf8(kExportFilter)));
  dialog.selectFile(Utf8(kExportFileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::string path = QStringToPath(dialog.selectedFiles().front());

  // Replaced as the list file is: a full disk leaves the old file whole.
  if (!ExportProductList(*list_, path)) {
    // Nothing was written, so there is nothing to offer to open.
    QMessageBox::information(nullptr, Utf8(kInfoTitle), Utf8(kExportFailed));
    return;
  }
  ui_.ProcessPendingEvents();
  if (AskYesNo(kInfoTitle, Utf8(kExportDone))) desktop_.OpenAddress(path);
}

void ListCommands::CheckAll() { list_->SetAllMonitored(true); }

void ListCommands::UncheckAll() { list_->SetAllMonitored(false); }

void ListCommands::Invert() { list_->InvertMonitored(); }

void ListCommands::ShowListMenu(const QPoint& globalPos) {
  if (SelectedRow() == 0) return;
  listMenu_->popup(globalPos);
}

void ListCommands::ShowListMenuAtViewport(const QPoint& viewportPos) {
  if (!listView_) return;
  ShowListMenu(listView_->viewport()->mapToGlobal(viewportPos));
}

void ListCommands::OpenLink() {
  const std::optional<ProductEntry> row = list_->RowById(SelectedRow());
  if (!row) return;
  desktop_.OpenAddress(marketplaces_->MarketplaceFor(row->country).ProductPageUrlPrefix +
                       row->code);
}

void ListCommands::DeleteProduct() {
  const RowId id = SelectedRow();
  const std::optional<ProductEntry> row = list_->RowById(id);
  if (!row) return;
  const QString question =
      Utf8(kDeleteQuestionStart) + ToQString(row->name) + Utf8(kDeleteQuestionEnd);
  if (!AskYesNo(kInfoTitle, question)) return;
  // The row is found again by its identity: the other rows keep their numbers.
  const int index = list_->IndexOf(id);
  if (index < 0) return;
  list_->RemoveAt(index);
  ui_.ProcessPendingEvents();
  Save();
}

void ListCommands::Modify() {
  if (modifyDialog_ && modifyDialog_->isVisible()) {
    modifyDialog_->raise();
    modifyDialog_->activateWindow();
    return;
  }
  const RowId id = SelectedRow();
  if (id == 0 || !list_->RowById(id)) return;
  ModifyMode() = 1;
  if (listView_) listView_->setEnabled(false);
  auto* dialog = new ProductDialog(
      list_, id, [this] { Save(); }, listView_, dialogParent_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  modifyDialog_ = dialog;
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void ListCommands::ShowPriceChart() {
  const std::optional<ProductEntry> row = list_->RowById(SelectedRow());
  if (!row || !priceChartOpener_) return;
  priceChartOpener_(*row);
}

}  // namespace korvelin
