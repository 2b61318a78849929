// The history that the price history benchmarks read: a file with 1,000,000 points of one
// product (one a minute, about two years) and 100,000 of another, made once per run in a
// temporary folder.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "common/code_page.h"
#include "history/price_history.h"

namespace korvelin::bench {

constexpr std::size_t kPoints = 1'000'000;
constexpr int kScreenBuckets = 1600;  // a wide chart window, one slice a pixel

inline std::string MakeFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "korvelin-history-bench-XXXXXX").string();
  return mkdtemp(pattern.data());
}

struct BigHistory {
  std::string folder = MakeFolder();
  std::shared_ptr<PriceHistory> history = std::make_shared<PriceHistory>(folder, nullptr);
  std::string country = Ansi("德国");
  std::int64_t now = UnixMillisNow();

  BigHistory() {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> noise(40, 60);
    const std::int64_t start = now - static_cast<std::int64_t>(kPoints) * 60'000;
    for (std::size_t i = 0; i < kPoints; ++i) {
      const double price = noise(random);
      history->Record(
          {start + static_cast<std::int64_t>(i) * 60'000, "B00D8V0972", country, price, "x"});
      if (i % 10 == 0) {
        history->Record(
            {start + static_cast<std::int64_t>(i) * 60'000, "OTHER", country, price, "x"});
      }
      if (i % 50'000 == 0) history->Flush();  // keeps the queue small
    }
    history->Flush();
  }
  ~BigHistory() {
    history.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

// Processor time of the whole process, every thread, in seconds.
inline double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline BigHistory& Big() {
  static BigHistory big;
  return big;
}

}  // namespace korvelin::bench
