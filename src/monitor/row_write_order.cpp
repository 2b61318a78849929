#include "monitor/row_write_order.h"

namespace korvelin {

std::uint64_t RowWriteOrder::Begin() { return next_.fetch_add(1) + 1; }

bool RowWriteOrder::SetCell(ProductList& products, RowId id, std::uint64_t check, int column,
                            const std::string& text) {
  std::lock_guard lock(mutex_);
  const auto found = lastWriter_.find(id);
  if (found != lastWriter_.end() && found->second > check) return false;
  if (!products.SetCell(id, column, text)) {
    // The row is gone and its id never comes back: forget it.
    if (found != lastWriter_.end()) lastWriter_.erase(found);
    return false;
  }
  if (found == lastWriter_.end()) {
    lastWriter_.emplace(id, check);
  } else {
    found->second = check;
  }
  return true;
}

}  // namespace korvelin
