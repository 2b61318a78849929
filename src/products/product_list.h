// The product list: the rows of the list view 超级列表框监控列表, in order. This object is the
// one copy of the rows; the list view mirrors it. Every row carries a hidden identity that
// never changes and is never reused, so a check can write to its own row even when rows
// before it were deleted, and writes nothing when its row is gone.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace korvelin {

enum Column : int {
  kNumberColumn = 0,        // "" (48)
  kNameColumn = 1,          // "名称" (108)
  kCodeColumn = 2,          // "编码" (108)
  kCurrentPriceColumn = 3,  // "当前价格" (68)
  kTargetPriceColumn = 4,   // "设定价格" (68)
  kCountryColumn = 5,       // "国家" (50)
  kDropMarkColumn = 6,      // "降价" (38)
  kColumnCount = 7
};

// One row: seven code page 936 texts and the check box.
struct ProductEntry {
  std::string number;
  std::string name;
  std::string code;
  std::string currentPrice;
  std::string targetPrice;
  std::string country;
  std::string dropMark;
  bool monitored = false;

  const std::string& Cell(int column) const;
  std::string& Cell(int column);
  bool operator==(const ProductEntry&) const = default;
};

using RowId = std::uint64_t;  // 0 is never a row

// Told of every change after it happened, on the thread that made it, outside the lock.
class ProductListListener {
 public:
  virtual ~ProductListListener() = default;
  virtual void RowsReset() = 0;  // Replace or Clear
  virtual void RowInserted(int index, RowId id) = 0;
  virtual void RowRemoved(int index, RowId id) = 0;
  virtual void CellChanged(RowId id, int column, const std::string& text) = 0;
  virtual void MonitoredChanged(RowId id, bool monitored) = 0;
  // The check boxes of many rows changed in one command ("全  选", "全不选", "反  选"), in row
  // order. By default each is told on its own.
  virtual void ManyMonitoredChanged(const std::vector<std::pair<RowId, bool>>& changes) {
    for (const auto& [id, monitored] : changes) MonitoredChanged(id, monitored);
  }
};

class ProductList {
 public:
  int Count() const;
  std::vector<ProductEntry> Rows() const;
  std::vector<RowId> Ids() const;
  // Every row with its id, in order, read in one step.
  std::vector<std::pair<RowId, ProductEntry>> RowsWithIds() const;
  std::optional<ProductEntry> Row(int index) const;
  std::optional<ProductEntry> RowById(RowId id) const;
  RowId IdAt(int index) const;  // 0 when out of range
  int IndexOf(RowId id) const;  // -1 when the row is gone
  // The ids of the ticked rows, in row order, read in one step.
  std::vector<RowId> MonitoredIds() const;

  // Writes are ignored (false) when the row is gone.
  bool SetCell(RowId id, int column, const std::string& text);
  bool SetMonitored(RowId id, bool monitored);
  RowId Append(ProductEntry entry);
  bool RemoveAt(int index);
  void Clear();
  void Replace(std::vector<ProductEntry> rows);
  void SetAllMonitored(bool monitored);
  void InvertMonitored();

  void SetListener(ProductListListener* listener);

 private:
  struct Row_ {
    RowId id;
    ProductEntry entry;
  };
  // The position of the row with the id, or -1; the caller holds the lock.
  int FindIndex(RowId id) const;
  // Records the positions of the rows from `first` on, after rows moved; the caller holds
  // the lock.
  void IndexFrom(std::size_t first);

  mutable std::mutex mutex_;
  std::vector<Row_> rows_;
  // Every row's position by its id, so a lookup by identity takes the same time however
  // long the list is. Kept equal to rows_ by every change.
  std::unordered_map<RowId, std::size_t> positions_;
  RowId nextId_ = 1;
  ProductListListener* listener_ = nullptr;
};

}  // namespace korvelin
