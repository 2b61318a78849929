// The activity log at the size of a long monitoring run. For the log box and, as the
// baseline, a QPlainTextEdit appended to the same way (caret to the end, insert, scroll):
//   - the cost of one append once the log holds N entries (N = 1 000 and 1 000 000; the
//     baseline at 1 000 and 100 000, where it is already far too big),
//   - the process's resident memory against the log's own bytes (rss_per_log_byte).
// Each entry is about 100 bytes of code page 936 text with line breaks, like a check entry.
// Run one benchmark per process (--benchmark_filter) for a clean memory figure. The
// baseline is not run at 1 000 000: at 100 000 entries it already holds about 35 bytes of
// memory per byte of log (about 3.5 GB at a million entries).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <cstdio>
#include <string>

#include "app/log_view.h"
#include "app/text_convert.h"
#include "common/code_page.h"

namespace {

double ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

std::string Entry(long i) {
  static const std::string kPrice = korvelin::Ansi("爱他美婴幼儿配方奶粉一段 - 价格：");
  static const std::string kTime = korvelin::Ansi(" ---- 耗时:");
  std::string entry = "2026-12-11 10:" + std::to_string(10 + i % 50) + ":" +
                      std::to_string(10 + i % 49) + "\r\n" + kPrice + std::to_string(50 + i % 40) +
                      "." + std::to_string(10 + i % 90) + kTime + std::to_string(100 + i % 900) +
                      "\r\n\r\n";
  entry.resize(100, ' ');
  entry.replace(96, 4, "\r\n\r\n");
  return entry;
}

void AppendToPlainText(QPlainTextEdit& edit, const std::string& entry) {
  edit.moveCursor(QTextCursor::End);
  edit.insertPlainText(korvelin::ToQString(entry));
  edit.ensureCursorVisible();
}

template <typename View, typename AppendFn>
void RunAppend(benchmark::State& state, View& view, AppendFn append) {
  view.resize(312, 433);
  view.show();
  const long size = state.range(0);
  const double before = ResidentBytes();
  for (long i = 0; i < size; ++i) {
    append(view, Entry(i));
    if (i % 1000 == 0) QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
  const double filled = ResidentBytes();
  long i = size;
  for (auto _ : state) {
    append(view, Entry(i++));
    // The window repaints now and then, as under a stream of entries.
    if (i % 64 == 0) QCoreApplication::processEvents();
  }
  const double logBytes = 100.0 * static_cast<double>(size);
  state.counters["log_MB"] = logBytes / 1e6;
  state.counters["rss_MB"] = filled / 1e6;
  state.counters["rss_growth_MB"] = (filled - before) / 1e6;
  state.counters["rss_per_log_byte"] = filled / logBytes;
}

void BM_LogViewAppend(benchmark::State& state) {
  korvelin::LogView view;
  RunAppend(state, view, [](korvelin::LogView& v, const std::string& e) { v.Append(e); });
}
BENCHMARK(BM_LogViewAppend)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);

void BM_PlainTextEditAppend(benchmark::State& state) {
  QPlainTextEdit edit;
  RunAppend(state, edit, AppendToPlainText);
}
BENCHMARK(BM_PlainTextEditAppend)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
