// Row lookups by identity in a large product list, against a linear search of the same
// ids (how a lookup went before the list kept an index of positions).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "products/product_list.h"

namespace korvelin {
namespace {

void Fill(ProductList& list, int count) {
  std::vector<ProductEntry> rows(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    rows[static_cast<std::size_t>(i)].name = "P" + std::to_string(i);
    rows[static_cast<std::size_t>(i)].code = "B004X0XA6E";
  }
  list.Replace(std::move(rows));
}

// One lookup of a row's position by its id; the ids are visited in a scattered order.
void BM_IndexOf(benchmark::State& state) {
  ProductList list;
  Fill(list, static_cast<int>(state.range(0)));
  const std::vector<RowId> ids = list.Ids();
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(ids[k]));
    k = (k + 7919) % ids.size();
  }
}

// Baseline: the same lookups as a linear search over the ids.
void BM_LinearSearch(benchmark::State& state) {
  ProductList list;
  Fill(list, static_cast<int>(state.range(0)));
  const std::vector<RowId> ids = list.Ids();
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::find(ids.begin(), ids.end(), ids[k]) - ids.begin());
    k = (k + 7919) % ids.size();
  }
}

// A check's write to its own row, found by its id.
void BM_SetCell(benchmark::State& state) {
  ProductList list;
  Fill(list, static_cast<int>(state.range(0)));
  const std::vector<RowId> ids = list.Ids();
  std::size_t k = 0;
  for (auto _ : state) {
    list.SetCell(ids[k], kCurrentPriceColumn, (k & 1) ? "54.99" : "55.00");
    k = (k + 7919) % ids.size();
  }
}

// Deleting the middle row (and appending one, to keep the length), positions kept up to date.
void BM_RemoveMiddleRow(benchmark::State& state) {
  ProductList list;
  Fill(list, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    list.RemoveAt(list.Count() / 2);
    list.Append(ProductEntry{});
  }
}

BENCHMARK(BM_IndexOf)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_LinearSearch)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_SetCell)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_RemoveMiddleRow)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace korvelin
