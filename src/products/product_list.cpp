#include "products/product_list.h"

#include <algorithm>
#include <utility>

namespace korvelin {

namespace {

// The reference handed out for a column number outside 0..6; reads see an empty text and
// writes land nowhere that matters.
std::string& NoCell() {
  thread_local std::string scratch;
  scratch.clear();
  return scratch;
}

}  // namespace

const std::string& ProductEntry::Cell(int column) const {
  switch (column) {
    case kNumberColumn:
      return number;
    case kNameColumn:
      return name;
    case kCodeColumn:
      return code;
    case kCurrentPriceColumn:
      return currentPrice;
    case kTargetPriceColumn:
      return targetPrice;
    case kCountryColumn:
      return country;
    case kDropMarkColumn:
      return dropMark;
    default:
      return NoCell();
  }
}

std::string& ProductEntry::Cell(int column) {
  return const_cast<std::string&>(std::as_const(*this).Cell(column));
}

int ProductList::FindIndex(RowId id) const {
  const auto it = positions_.find(id);
  return it == positions_.end() ? -1 : static_cast<int>(it->second);
}

void ProductList::IndexFrom(std::size_t first) {
  for (std::size_t i = first; i < rows_.size(); ++i) positions_[rows_[i].id] = i;
}

int ProductList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

std::vector<ProductEntry> ProductList::Rows() const {
  std::lock_guard lock(mutex_);
  std::vector<ProductEntry> result;
  result.reserve(rows_.size());
  for (const Row_& row : rows_) result.push_back(row.entry);
  return result;
}

std::vector<RowId> ProductList::Ids() const {
  std::lock_guard lock(mutex_);
  std::vector<RowId> result;
  result.reserve(rows_.size());
  for (const Row_& row : rows_) result.push_back(row.id);
  return result;
}

std::vector<std::pair<RowId, ProductEntry>> ProductList::RowsWithIds() const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<RowId, ProductEntry>> result;
  result.reserve(rows_.size());
  for (const Row_& row : rows_) result.emplace_back(row.id, row.entry);
  return result;
}

std::optional<ProductEntry> ProductList::Row(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= static_cast<int>(rows_.size())) return std::nullopt;
  return rows_[index].entry;
}

std::optional<ProductEntry> ProductList::RowById(RowId id) const {
  std::lock_guard lock(mutex_);
  const int index = FindIndex(id);
  if (index < 0) return std::nullopt;
  return rows_[static_cast<std::size_t>(index)].entry;
}

RowId ProductList::IdAt(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= static_cast<int>(rows_.size())) return 0;
  return rows_[index].id;
}

int ProductList::IndexOf(RowId id) const {
  std::lock_guard lock(mutex_);
  return FindIndex(id);
}

std::vector<RowId> ProductList::MonitoredIds() const {
  std::lock_guard lock(mutex_);
  std::vector<RowId> result;
  for (const Row_& row : rows_) {
    if (row.entry.monitored) result.push_back(row.id);
  }
  return result;
}

bool ProductList::SetCell(RowId id, int column, const std::string& text) {
  if (column < 0 || column >= kColumnCount) return false;
  ProductListListener* listener = nullptr;
  {
    std::lock_guard lock(mutex_);
    const int index = FindIndex(id);
    if (index < 0) return false;
    std::string& cell = rows_[static_cast<std::size_t>(index)].entry.Cell(column);
    if (cell == text) return true;
    cell = text;
    listener = listener_;
  }
  if (listener) listener->CellChanged(id, column, text);
  return true;
}

bool ProductList::SetMonitored(RowId id, bool monitored) {
  ProductListListener* listener = nullptr;
  {
    std::lock_guard lock(mutex_);
    const int index = FindIndex(id);
    if (index < 0) return false;
    ProductEntry& entry = rows_[static_cast<std::size_t>(index)].entry;
    if (entry.monitored == monitored) return true;
    entry.monitored = monitored;
    listener = listener_;
  }
  if (listener) listener->MonitoredChanged(id, monitored);
  return true;
}

RowId ProductList::Append(ProductEntry entry) {
  ProductListListener* listener = nullptr;
  RowId id = 0;
  int index = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    index = static_cast<int>(rows_.size());
    rows_.push_back(Row_{id, std::move(entry)});
    positions_.emplace(id, rows_.size() - 1);
    listener = listener_;
  }
  if (listener) listener->RowInserted(index, id);
  return id;
}

bool ProductList::RemoveAt(int index) {
  ProductListListener* listener = nullptr;
  RowId id = 0;
  {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(rows_.size())) return false;
    id = rows_[index].id;
    rows_.erase(rows_.begin() + index);
    positions_.erase(id);
    IndexFrom(static_cast<std::size_t>(index));
    listener = listener_;
  }
  if (listener) listener->RowRemoved(index, id);
  return true;
}

void ProductList::Clear() {
  ProductListListener* listener = nullptr;
  {
    std::lock_guard lock(mutex_);
    rows_.clear();
    positions_.clear();
    listener = listener_;
  }
  if (listener) listener->RowsReset();
}

void ProductList::Replace(std::vector<ProductEntry> rows) {
  ProductListListener* listener = nullptr;
  {
    std::lock_guard lock(mutex_);
    rows_.clear();
    rows_.reserve(rows.size());
    for (ProductEntry& entry : rows) rows_.push_back(Row_{nextId_++, std::move(entry)});
    positions_.clear();
    positions_.reserve(rows_.size());
    IndexFrom(0);
    listener = listener_;
  }
  if (listener) listener->RowsReset();
}

void ProductList::SetAllMonitored(bool monitored) {
  ProductListListener* listener = nullptr;
  std::vector<std::pair<RowId, bool>> changed;
  {
    std::lock_guard lock(mutex_);
    for (Row_& row : rows_) {
      if (row.entry.monitored != monitored) {
        row.entry.monitored = monitored;
        changed.emplace_back(row.id, monitored);
      }
    }
    listener = listener_;
  }
  if (listener && !changed.empty()) listener->ManyMonitoredChanged(changed);
}

void ProductList::InvertMonitored() {
  ProductListListener* listener = nullptr;
  std::vector<std::pair<RowId, bool>> changed;
  {
    std::lock_guard lock(mutex_);
    changed.reserve(rows_.size());
    for (Row_& row : rows_) {
      row.entry.monitored = !row.entry.monitored;
      changed.emplace_back(row.id, row.entry.monitored);
    }
    listener = listener_;
  }
  if (listener && !changed.empty()) listener->ManyMonitoredChanged(changed);
}

void ProductList::SetListener(ProductListListener* listener) {
  std::lock_guard lock(mutex_);
  listener_ = listener;
}

}  // namespace korvelin
