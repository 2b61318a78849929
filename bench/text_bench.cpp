// Speed of the text library on a realistic marketplace page, with baselines measured in
// the same run: FindText against memmem, Utf8ToAnsi against memcpy and iconv.
// The ratios are printed after the table.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <string>

#include "common/code_page.h"
#include "common/text.h"

namespace {

constexpr std::size_t kPageSize = 1 << 20;
const char kMarker[] = "class=\"price\">EUR ";

// About 1 MiB of product-page HTML in UTF-8: markup, scripts, some Chinese review text
// (every character of it has a code page 936 form), and the price marker near the end.
const std::string& Utf8Page() {
  static const std::string page = [] {
    static const char* const pieces[] = {
        "<div class=\"a-section review aok-relative\"><div class=\"a-row\">",
        "<a class=\"a-link-normal\" href=\"/gp/customer-reviews/R2XK0Q7T3?ASIN=B00D8V0972\">",
        "<span class=\"a-icon-alt\">4,5 von 5 Sternen</span></a>",
        "<span data-hook=\"review-body\" class=\"a-size-base review-text\">",
        "奶粉质量很好，宝宝很喜欢喝，物流也很快。",
        "</span></div>\n<script type=\"text/javascript\">P.when('A').execute(function(A){"
        "A.declarative('review-votes','click',function(e){});});</script>\n",
        "<span class=\"a-color-secondary\">Verifizierter Kauf</span>",
        "<li><span class=\"a-list-item\">价格实惠，值得购买</span></li>",
        "<img src=\"https://images-eu.ssl-images-amazon.com/images/I/51xQx5ZqIlL._SX38_.jpg\" "
        "alt=\"\">",
    };
    std::string out;
    std::size_t i = 0;
    while (out.size() < kPageSize - 200) out += pieces[i++ % (sizeof pieces / sizeof *pieces)];
    out += "<span class=\"price\">EUR 54,99</span></div></body></html>";
    return out;
  }();
  return page;
}

// The same markup without the Chinese text, as a page of the Germany marketplace.
const std::string& Utf8GermanPage() {
  static const std::string page = [] {
    std::string out;
    for (char c : Utf8Page())
      if (static_cast<unsigned char>(c) < 0x80) out.push_back(c);
    return out;
  }();
  return page;
}

const std::string& AnsiPage() {
  static const std::string page = korvelin::Utf8ToAnsi(Utf8Page());
  return page;
}

void BM_FindText(benchmark::State& state) {
  const std::string& page = AnsiPage();
  for (auto _ : state) benchmark::DoNotOptimize(korvelin::FindText(page, kMarker));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FindText);

void BM_Memmem(benchmark::State& state) {
  const std::string& page = AnsiPage();
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(page.data(), page.size(), kMarker, sizeof kMarker - 1));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Memmem);

void BM_FindTextIgnoreCase(benchmark::State& state) {
  const std::string& page = AnsiPage();
  for (auto _ : state)
    benchmark::DoNotOptimize(korvelin::FindText(page, kMarker, std::nullopt, true));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FindTextIgnoreCase);

void BM_Utf8ToAnsi(benchmark::State& state) {
  const std::string& page = Utf8Page();
  for (auto _ : state) benchmark::DoNotOptimize(korvelin::Utf8ToAnsi(page));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Utf8ToAnsi);

void BM_Utf8ToAnsiGermanPage(benchmark::State& state) {
  const std::string& page = Utf8GermanPage();
  for (auto _ : state) benchmark::DoNotOptimize(korvelin::Utf8ToAnsi(page));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Utf8ToAnsiGermanPage);

void BM_Memcpy(benchmark::State& state) {
  const std::string& page = Utf8Page();
  for (auto _ : state) {
    std::string copy(page.size(), '\0');
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Memcpy);

void BM_IconvUtf8ToCp936(benchmark::State& state) {
  const std::string& page = Utf8Page();
  iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("no iconv CP936");
    return;
  }
  std::string out(page.size(), '\0');
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(page.data());
    std::size_t inLeft = page.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      state.SkipWithError("iconv failed on the page");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_IconvUtf8ToCp936);

void BM_AnsiToUtf8(benchmark::State& state) {
  const std::string& page = AnsiPage();
  for (auto _ : state) benchmark::DoNotOptimize(korvelin::AnsiToUtf8(page));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_AnsiToUtf8);

// Console output plus the ratios of each measured routine to its baseline. The machine is
// shared, so each ratio uses the fastest repetition of either side (run with
// --benchmark_repetitions=N --benchmark_enable_random_interleaving=true). CPU time is the
// steadier measure when other work competes for the processors.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Best& best = best_[run.run_name.function_name];
      best.real = std::min(best.real, run.GetAdjustedRealTime());
      best.cpu = std::min(best.cpu, run.GetAdjustedCPUTime());
    }
    // With repetitions, show only their summaries (mean, median, deviation).
    std::vector<Run> shown;
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate) shown.push_back(run);
    ConsoleReporter::ReportRuns(shown.empty() ? runs : shown);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-40s %10s %10s\n", "ratio (fastest repetitions)", "real time", "CPU time");
    Ratio("BM_FindText", "BM_Memmem", "FindText / memmem (target <= 2)");
    Ratio("BM_Utf8ToAnsi", "BM_Memcpy", "Utf8ToAnsi / memcpy (target <= 3)");
    Ratio("BM_Utf8ToAnsi", "BM_IconvUtf8ToCp936", "Utf8ToAnsi / iconv (target < 1)");
    // Per byte: the German page is the same markup without the Chinese text.
    Ratio("BM_Utf8ToAnsiGermanPage", "BM_Memcpy", "Utf8ToAnsi German page / memcpy",
          static_cast<double>(Utf8Page().size()) / static_cast<double>(Utf8GermanPage().size()));
  }

 private:
  struct Best {
    double real = std::numeric_limits<double>::infinity();
    double cpu = std::numeric_limits<double>::infinity();
  };
  void Ratio(const std::string& measured, const std::string& baseline, const char* label,
             double scale = 1.0) {
    auto a = best_.find(measured);
    auto b = best_.find(baseline);
    if (a == best_.end() || b == best_.end()) return;
    std::printf("%-40s %10.2f %10.2f\n", label, scale * a->second.real / b->second.real,
                scale * a->second.cpu / b->second.cpu);
  }
  std::map<std::string, Best> best_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("page: %zu bytes UTF-8, %zu bytes code page 936\n", Utf8Page().size(),
              AnsiPage().size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
