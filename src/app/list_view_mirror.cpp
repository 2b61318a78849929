#include "app/list_view_mirror.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/text_convert.h"

namespace korvelin {

namespace {

// Draws the cell as usual, then its right and bottom grid lines.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(0xD0, 0xD0, 0xD0));
    const QRect r = option.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
  }
};

}  // namespace

QTreeWidget* CreateProductListView(QWidget* parent) {
  auto* view = new QTreeWidget(parent);
  view->setObjectName(QStringLiteral("超级列表框监控列表"));
  view->setColumnCount(kColumnCount);
  view->setHeaderLabels({QString(), QStringLiteral("名称"), QStringLiteral("编码"),
                         QStringLiteral("当前价格"), QStringLiteral("设定价格"),
                         QStringLiteral("国家"), QStringLiteral("降价")});
  const int widths[kColumnCount] = {48, 108, 108, 68, 68, 50, 38};
  for (int c = 0; c < kColumnCount; ++c) view->setColumnWidth(c, widths[c]);
  view->header()->setStretchLastSection(false);
  view->header()->setSectionsMovable(false);
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setSortingEnabled(false);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAllColumnsShowFocus(true);
  view->setFrameStyle(QFrame::Box | QFrame::Plain);
  view->setLineWidth(1);
  view->setItemDelegate(new GridDelegate(view));
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  return view;
}

ListViewMirror::ListViewMirror(std::shared_ptr<UiBridge> bridge,
                               std::weak_ptr<ProductList> products, QTreeWidget* view)
    : bridge_(std::move(bridge)), products_(std::move(products)), view_(view) {
  itemChanged_ =
      QObject::connect(view, &QTreeWidget::itemChanged, view,
                       [this](QTreeWidgetItem* item, int column) { OnItemChanged(item, column); });
  Rebuild();
}

ListViewMirror::~ListViewMirror() {
  QObject::disconnect(itemChanged_);
  if (const auto products = products_.lock()) products->SetListener(nullptr);
}

void ListViewMirror::RowsReset() {
  bridge_->Run([this] { Rebuild(); });
}

void ListViewMirror::RowInserted(int index, RowId id) {
  if (bridge_->OnUiThread()) {
    Insert(index, id);
  } else {
    bridge_->Post([this] { Rebuild(); });
  }
}

void ListViewMirror::RowRemoved(int, RowId id) {
  bridge_->Run([this, id] { Remove(id); });
}

void ListViewMirror::CellChanged(RowId id, int, const std::string&) { QueueRefresh(id); }

void ListViewMirror::MonitoredChanged(RowId id, bool) { QueueRefresh(id); }

void ListViewMirror::QueueRefresh(RowId id) {
  if (bridge_->OnUiThread()) {
    RefreshRow(id);
    return;
  }
  bool first = false;
  {
    std::lock_guard lock(queuedMutex_);
    first = queued_.empty();
    queued_.push_back(id);
  }
  if (first && !bridge_->Post([this] { RefreshQueued(); })) {
    std::lock_guard lock(queuedMutex_);
    queued_.clear();
  }
}

void ListViewMirror::RefreshQueued() {
  std::vector<RowId> ids;
  {
    std::lock_guard lock(queuedMutex_);
    ids.swap(queued_);
  }
  // A row written twice meanwhile is shown once, with its current cells.
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (RowId id : ids) RefreshRow(id);
}

void ListViewMirror::ManyMonitoredChanged(const std::vector<std::pair<RowId, bool>>& changes) {
  // Told right after the change on the UI thread, the ticks are the list's current ones;
  // from another thread they may be old by the time the UI thread gets to them, so each
  // row is then read again.
  if (bridge_->OnUiThread()) {
    ApplyTicks(changes);
    return;
  }
  std::vector<RowId> ids;
  ids.reserve(changes.size());
  for (const auto& change : changes) ids.push_back(change.first);
  bridge_->Post([this, ids = std::move(ids)] {
    for (RowId id : ids) RefreshRow(id);
  });
}

QTreeWidgetItem* ListViewMirror::ItemFor(RowId id) const { return items_.value(id, nullptr); }

QTreeWidgetItem* ListViewMirror::MakeItem(RowId id, const ProductEntry& row) const {
  QStringList texts;
  texts.reserve(kColumnCount);
  for (int c = 0; c < kColumnCount; ++c) texts.push_back(ToQString(row.Cell(c)));
  auto* item = new QTreeWidgetItem(texts);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                 Qt::ItemNeverHasChildren);
  item->setData(0, kRowIdRole, QVariant::fromValue<qulonglong>(id));
  item->setCheckState(0, row.monitored ? Qt::Checked : Qt::Unchecked);
  return item;
}

void ListViewMirror::Rebuild() {
  if (!view_) return;
  const auto products = products_.lock();
  updating_ = true;
  view_->clear();
  items_.clear();
  if (products) {
    // The items are complete before the view takes them all in one insertion.
    const std::vector<std::pair<RowId, ProductEntry>> rows = products->RowsWithIds();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    items_.reserve(static_cast<qsizetype>(rows.size()));
    for (const auto& [id, row] : rows) {
      QTreeWidgetItem* item = MakeItem(id, row);
      items.push_back(item);
      items_.insert(id, item);
    }
    view_->addTopLevelItems(items);
  }
  updating_ = false;
}

void ListViewMirror::Insert(int index, RowId id) {
  if (!view_ || items_.contains(id)) return;
  const auto products = products_.lock();
  if (!products) return;
  const std::optional<ProductEntry> row = products->RowById(id);
  if (!row) return;
  const bool wasUpdating = updating_;
  updating_ = true;
  QTreeWidgetItem* item = MakeItem(id, *row);
  index = std::clamp(index, 0, view_->topLevelItemCount());
  view_->insertTopLevelItem(index, item);
  items_.insert(id, item);
  updating_ = wasUpdating;
}

void ListViewMirror::Remove(RowId id) {
  QTreeWidgetItem* item = items_.take(id);
  delete item;  // removes it from the view
}

void ListViewMirror::ApplyTicks(const std::vector<std::pair<RowId, bool>>& changes) {
  if (!view_) return;
  QAbstractItemModel* model = view_->model();
  const bool wasUpdating = updating_;
  updating_ = true;
  // The view hears of the column once, not of each row: one notice per row costs the view
  // far more than the change itself.
  const bool wasBlocked = model->blockSignals(true);
  // The changes come in row order and the view holds the rows in the same order, so the
  // items are found by walking the view alongside; an item found elsewhere (the view
  // behind the list) is looked up by its id.
  const int rows = view_->topLevelItemCount();
  int next = 0;
  for (const auto& [id, monitored] : changes) {
    QTreeWidgetItem* item = nullptr;
    for (int i = next; i < rows && i < next + 2; ++i) {
      QTreeWidgetItem* candidate = view_->topLevelItem(i);
      if (candidate->data(0, kRowIdRole).toULongLong() == id) {
        item = candidate;
        next = i + 1;
        break;
      }
    }
    if (!item) item = ItemFor(id);
    if (item) item->setCheckState(0, monitored ? Qt::Checked : Qt::Unchecked);
  }
  model->blockSignals(wasBlocked);
  if (rows > 0) {
    emit model->dataChanged(model->index(0, 0), model->index(rows - 1, 0), {Qt::CheckStateRole});
  }
  updating_ = wasUpdating;
}

void ListViewMirror::RefreshRow(RowId id) {
  QTreeWidgetItem* item = ItemFor(id);
  const auto products = products_.lock();
  if (!item || !products) return;
  const std::optional<ProductEntry> row = products->RowById(id);
  if (!row) return;
  const bool wasUpdating = updating_;
  updating_ = true;
  for (int c = 0; c < kColumnCount; ++c) {
    const QString text = ToQString(row->Cell(c));
    if (item->text(c) != text) item->setText(c, text);
  }
  const Qt::CheckState state = row->monitored ? Qt::Checked : Qt::Unchecked;
  if (item->checkState(0) != state) item->setCheckState(0, state);
  updating_ = wasUpdating;
}

void ListViewMirror::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (updating_ || column != 0 || !item) return;
  const auto products = products_.lock();
  if (!products) return;
  const RowId id = item->data(0, kRowIdRole).toULongLong();
  products->SetMonitored(id, item->checkState(0) == Qt::Checked);
}

}  // namespace korvelin
