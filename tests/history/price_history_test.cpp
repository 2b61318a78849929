#include "history/price_history.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "common/code_page.h"
#include "common/files.h"
#include "support/log_stamp.h"
#include "support/recording_ports.h"
#include "support/temp_folder.h"

namespace korvelin {
namespace {

namespace fs = std::filesystem;
using testing::MemoryLog;
using testing::RunUnprivileged;
using testing::TempFolder;
using testing::TextAfterStamp;

const std::string kGermany = Ansi("德国");
const std::string kJapan = Ansi("日本");

PriceRecord Price(std::int64_t at, const std::string& code, const std::string& country,
                  double price, const std::string& text) {
  return PriceRecord{at, code, country, price, text};
}

// Opens the history file directly with SQLite, as another tool would.
class RawDatabase {
 public:
  explicit RawDatabase(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
  }
  ~RawDatabase() { sqlite3_close(db_); }
  bool ok() const { return db_ != nullptr; }
  void Exec(const std::string& sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  // Every row of a query, the columns joined by "|", rows by "\n" (UTF-8 as stored).
  std::string Rows(const std::string& sql) {
    std::string out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      return "error: " + std::string(sqlite3_errmsg(db_));
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        if (i > 0) out += "|";
        const unsigned char* text = sqlite3_column_text(statement, i);
        out += text ? reinterpret_cast<const char*>(text) : "NULL";
      }
      out += "\n";
    }
    sqlite3_finalize(statement);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

class PriceHistoryTest : public ::testing::Test {
 protected:
  std::string Dir() const { return folder_.Path(); }
  std::string File() const { return PriceHistoryFilePath(Dir()); }
  std::shared_ptr<PriceHistory> Open() { return std::make_shared<PriceHistory>(Dir(), log_); }
  // The log entry of a history that cannot be written, after its stamp.
  std::string FailureEntry(const std::string& reasonUtf8) const {
    return Ansi("\r\n价格历史无法写入：") + Utf8ToAnsi(File()) + " - " + Ansi(reasonUtf8) +
           "\r\n\r\n";
  }
  std::vector<std::string> EntriesAfterStamp() const {
    std::vector<std::string> out;
    for (const std::string& entry : log_->Entries()) {
      out.push_back(TextAfterStamp(entry).value_or("(no stamp) " + entry));
    }
    return out;
  }

  TempFolder folder_{"korvelin-history"};
  std::shared_ptr<MemoryLog> log_ = std::make_shared<MemoryLog>();
};

TEST_F(PriceHistoryTest, TheFileIsNamedAsTheListFileIsAndLivesBesideIt) {
  EXPECT_EQ(AnsiToUtf8(PriceHistoryFileName()), "价格历史.sqlite");
  EXPECT_EQ(File(), Dir() + "/价格历史.sqlite");  // a path: the file system's UTF-8
}

TEST_F(PriceHistoryTest, RecordsAreWrittenInUtf8AndReadBackPerProductInTimeOrder) {
  auto history = Open();
  EXPECT_FALSE(FileExists(File()));  // nothing is opened before the first record
  history->Record(Price(3000, "B00D8V0972", kGermany, 54.99, "54.99"));
  history->Record(Price(1000, "B00D8V0972", kGermany, 60, "60.00"));
  history->Record(Price(2000, "B00D8V0972", kJapan, 6000, Ansi("￥6,000")));
  history->Record(Price(2000, "B00D8V0972", kGermany, 58.5, "58.50"));
  history->Flush();
  EXPECT_FALSE(history->Failed());
  EXPECT_TRUE(log_->Entries().empty());
  ASSERT_TRUE(fs::exists(fs::path(Dir()) / fs::u8path("价格历史.sqlite")));

  EXPECT_EQ(history->Query("B00D8V0972", kGermany, 0, 10000),
            (std::vector<PricePoint>{{1000, 60}, {2000, 58.5}, {3000, 54.99}}));
  EXPECT_EQ(history->Query("B00D8V0972", kJapan, 0, 10000),
            (std::vector<PricePoint>{{2000, 6000}}));
  // Both ends of the range are inside it.
  EXPECT_EQ(history->Query("B00D8V0972", kGermany, 2000, 3000),
            (std::vector<PricePoint>{{2000, 58.5}, {3000, 54.99}}));
  EXPECT_TRUE(history->Query("B00D8V0972", Ansi("美国"), 0, 10000).empty());
  EXPECT_TRUE(history->Query("OTHER", kGermany, 0, 10000).empty());

  // What another tool sees: the table and its columns, texts in UTF-8.
  RawDatabase raw(File());
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(raw.Rows("SELECT checked_at, code, country, price, price_text FROM price_history "
                     "ORDER BY rowid"),
            "3000|B00D8V0972|德国|54.99|54.99\n"
            "1000|B00D8V0972|德国|60.0|60.00\n"
            "2000|B00D8V0972|日本|6000.0|￥6,000\n"
            "2000|B00D8V0972|德国|58.5|58.50\n");
  EXPECT_EQ(raw.Rows("PRAGMA journal_mode"), "wal\n");
  EXPECT_EQ(raw.Rows("PRAGMA user_version"), std::to_string(kPriceHistorySchemaVersion) + "\n");
  EXPECT_EQ(raw.Rows("SELECT typeof(checked_at), typeof(price) FROM price_history LIMIT 1"),
            "integer|real\n");
}

TEST_F(PriceHistoryTest, RecordsFromManyThreadsAreCommittedInFewBatches) {
  auto history = Open();
  std::atomic<int> batches{0};
  history->SetListener([&] { batches.fetch_add(1); });
  constexpr int kThreads = 4;
  constexpr int kEach = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        history->Record(Price(t * kEach + i, "CODE", kGermany, i, "x"));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  history->Flush();
  const auto points = history->Query("CODE", kGermany, 0, kThreads * kEach);
  ASSERT_EQ(points.size(), static_cast<std::size_t>(kThreads * kEach));
  for (std::size_t i = 1; i < points.size(); ++i) {
    ASSERT_LT(points[i - 1].checkedAt, points[i].checkedAt);
  }
  // A thousand records queued within moments need a handful of transactions, not a
  // thousand: the writer gathers them for its batch window.
  EXPECT_GE(batches.load(), 1);
  EXPECT_LE(batches.load(), 5);
}

TEST_F(PriceHistoryTest, ALongHistoryReadsWholeAndInOrder) {
  // Ten days of points, one every 7 minutes, with one product's points between another's:
  // a history long enough to be read in slices.
  auto history = Open();
  std::vector<PricePoint> expected;
  constexpr std::int64_t kStep = 7 * 60 * 1000;
  for (std::int64_t i = 0; i < 10 * 24 * 60 / 7; ++i) {
    history->Record(Price(i * kStep, "A", kGermany, static_cast<double>(i % 97), "x"));
    history->Record(Price(i * kStep + 1, "B", kGermany, 1, "x"));
    expected.push_back({i * kStep, static_cast<double>(i % 97)});
  }
  history->Flush();
  EXPECT_EQ(history->Query("A", kGermany, std::numeric_limits<std::int64_t>::min(),
                           std::numeric_limits<std::int64_t>::max()),
            expected);
  // A part of it, with both ends on points.
  const std::int64_t from = expected[100].checkedAt;
  const std::int64_t to = expected[1500].checkedAt;
  EXPECT_EQ(history->Query("A", kGermany, from, to),
            std::vector<PricePoint>(expected.begin() + 100, expected.begin() + 1501));
}

TEST_F(PriceHistoryTest, ClosingWritesWhatIsQueuedAndAReopenedHistoryGoesOn) {
  {
    auto history = Open();
    history->Record(Price(1000, "A", kGermany, 10, "10"));
    history->Record(Price(2000, "A", kGermany, 11, "11"));
  }  // no flush: the destructor writes the queue
  auto again = Open();
  EXPECT_EQ(again->Query("A", kGermany, 0, 9000),
            (std::vector<PricePoint>{{1000, 10}, {2000, 11}}));
  again->Record(Price(3000, "A", kGermany, 9, "9"));
  again->Flush();
  EXPECT_EQ(again->Query("A", kGermany, 0, 9000),
            (std::vector<PricePoint>{{1000, 10}, {2000, 11}, {3000, 9}}));
  EXPECT_TRUE(log_->Entries().empty());
}

TEST_F(PriceHistoryTest, AFileOfAnOlderVersionIsMigrated) {
  // Version 0: a table made by hand, without the index and without a version.
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE price_history(checked_at INTEGER, code TEXT, country "
                           "TEXT, price REAL, price_text TEXT);"
                           "INSERT INTO price_history VALUES(500, 'A', '德国', 12.5, '12.50');"
                           // A row without a price is no point of the chart.
                           "INSERT INTO price_history VALUES(600, 'A', '德国', NULL, '');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  auto history = Open();
  history->Record(Price(1000, "A", kGermany, 13, "13"));
  history->Flush();
  EXPECT_FALSE(history->Failed());
  EXPECT_EQ(history->Query("A", kGermany, 0, 9000),
            (std::vector<PricePoint>{{500, 12.5}, {1000, 13}}));
  RawDatabase raw(File());
  EXPECT_EQ(raw.Rows("PRAGMA user_version"), "1\n");
  EXPECT_EQ(raw.Rows("SELECT name FROM sqlite_master WHERE type = 'index'"),
            "price_history_by_product\n");
}

TEST_F(PriceHistoryTest, AFileOfANewerVersionIsReadButNotWritten) {
  {
    auto history = Open();
    history->Record(Price(1000, "A", kGermany, 13, "13"));
  }
  RawDatabase(File()).Exec("PRAGMA user_version = 7");
  auto history = Open();
  history->Record(Price(2000, "A", kGermany, 14, "14"));
  history->Flush();
  EXPECT_TRUE(history->Failed());
  EXPECT_EQ(EntriesAfterStamp(),
            (std::vector<std::string>{FailureEntry("文件由较新的程序版本写入")}));
  EXPECT_EQ(history->Query("A", kGermany, 0, 9000), (std::vector<PricePoint>{{1000, 13}}));
}

TEST_F(PriceHistoryTest, ACorruptFileCostsOneLogEntryAndIsLeftAsItIs) {
  const std::string garbage(8192, '\x5A');
  ASSERT_TRUE(WriteFileBytes(File(), garbage));
  auto history = Open();
  std::atomic<int> batches{0};
  history->SetListener([&] { batches.fetch_add(1); });
  history->Record(Price(1000, "A", kGermany, 13, "13"));
  history->Flush();
  EXPECT_TRUE(history->Failed());
  // Later records are dropped without another entry.
  history->Record(Price(2000, "A", kGermany, 14, "14"));
  history->Flush();
  EXPECT_EQ(EntriesAfterStamp(), (std::vector<std::string>{FailureEntry("不是价格历史文件")}));
  EXPECT_EQ(batches.load(), 0);
  EXPECT_TRUE(history->Query("A", kGermany, 0, 9000).empty());
  EXPECT_EQ(ReadFileBytes(File()), garbage);
}

TEST_F(PriceHistoryTest, AFolderThatCannotBeWrittenCostsOneLogEntry) {
  ASSERT_EQ(chmod(Dir().c_str(), 0555), 0);
  const std::string expected = FailureEntry("无法打开或创建文件");
  const int result = RunUnprivileged([&] {
    auto log = std::make_shared<MemoryLog>();
    int failures = 0;
    {
      PriceHistory history(Dir(), log);
      history.Record(Price(1000, "A", kGermany, 13, "13"));
      history.Flush();
      if (!history.Failed()) failures |= 1;
      history.Record(Price(2000, "A", kGermany, 14, "14"));
      history.Flush();
      if (!history.Query("A", kGermany, 0, 9000).empty()) failures |= 2;
    }
    const auto entries = log->Entries();
    if (entries.size() != 1) failures |= 4;
    if (!entries.empty() && TextAfterStamp(entries[0]) != expected) failures |= 8;
    return failures;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir()), fs::directory_iterator()), 0);
}

TEST_F(PriceHistoryTest, WithoutAFileTheQueryIsEmptyAndCreatesNothing) {
  auto history = Open();
  EXPECT_TRUE(history->Query("A", kGermany, 0, 9000).empty());
  EXPECT_FALSE(FileExists(File()));
  EXPECT_FALSE(history->Failed());
}

}  // namespace
}  // namespace korvelin
