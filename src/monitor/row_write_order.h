// The order of the checks' writes into their rows. Checks of one row may overlap (a period
// shorter than a fetch) and end in any order; a check that ends after a later-started one
// must not put its older price and mark over the newer ones.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "products/product_list.h"

namespace korvelin {

class RowWriteOrder {
 public:
  // The number of a check that starts now; later starts get larger numbers.
  std::uint64_t Begin();
  // Writes `text` into the cell of row `id` for check number `check`, unless a check of that
  // row that started later has already written into it. The test and the write are one step
  // for all checks. False when the write was left out or the row is gone.
  bool SetCell(ProductList& products, RowId id, std::uint64_t check, int column,
               const std::string& text);

 private:
  std::atomic<std::uint64_t> next_{0};
  std::mutex mutex_;
  std::unordered_map<RowId, std::uint64_t> lastWriter_;  // guarded by mutex_
};

}  // namespace korvelin
