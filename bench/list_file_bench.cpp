// The list file codec on a large list, against copying the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "products/list_file.h"

namespace korvelin {
namespace {

std::vector<ProductEntry> MakeRows(int count) {
  std::vector<ProductEntry> rows(count);
  for (int i = 0; i < count; ++i) {
    rows[i].number = std::to_string(i + 1);
    rows[i].name = "\xCF\xB2\xB1\xA6\xD3\xD0\xBB\xFA" + std::to_string(i);  // 喜宝有机
    rows[i].code = "B004X0XA6E";
    rows[i].targetPrice = "60";
    rows[i].country = "\xB5\xC2\xB9\xFA";  // 德国
  }
  return rows;
}

void BM_CopyListBytes(benchmark::State& state) {
  const std::string text = EncodeProductList(MakeRows(static_cast<int>(state.range(0))));
  std::string copy(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_EncodeProductList(benchmark::State& state) {
  const std::vector<ProductEntry> rows = MakeRows(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = EncodeProductList(rows);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_ParseProductList(benchmark::State& state) {
  const std::string text = EncodeProductList(MakeRows(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    auto rows = ParseProductList(text);
    benchmark::DoNotOptimize(rows);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// The whole read of a list file's bytes: the encoding check, the trimming and the rows.
void BM_ParseListFile(benchmark::State& state) {
  const std::string bytes = ListFileBytes(MakeRows(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    auto rows = ParseListFile(bytes);
    benchmark::DoNotOptimize(rows);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

BENCHMARK(BM_CopyListBytes)->Arg(17)->Arg(10000);
BENCHMARK(BM_EncodeProductList)->Arg(17)->Arg(10000);
BENCHMARK(BM_ParseProductList)->Arg(17)->Arg(10000);
BENCHMARK(BM_ParseListFile)->Arg(17)->Arg(10000);

}  // namespace
}  // namespace korvelin
