// The price history: every price a check reads, kept in an SQLite file 价格历史.sqlite beside
// the list file, one table
//   price_history(checked_at INTEGER, code TEXT, country TEXT, price REAL, price_text TEXT)
// with checked_at in Unix milliseconds.
//
// Texts come in and go out as code page 936, like every text of the program; in the file
// they are UTF-8, the encoding SQLite's TEXT type is defined in, so the sqlite3 shell, other
// tools and a later program read the code, country and price text as they are (code page
// 936 bytes would be invalid UTF-8 there). The conversion is lossless for every text the
// list can hold.
//
// Checks record from their own threads; Record only queues. A writer thread of the store
// opens the file on the first record and commits what is queued in one transaction at most
// every 100 ms, in write-ahead-log mode, so no caller ever waits for the disk. A file that
// cannot be opened or written (a read-only folder, a file that is not a database) costs one
// log entry and nothing else: from then on records are dropped and monitoring goes on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/ports.h"

namespace korvelin {

// One price a check read. Texts in code page 936, as the list holds them.
struct PriceRecord {
  std::int64_t checkedAt = 0;  // Unix milliseconds
  std::string code;
  std::string country;
  double price = 0;
  std::string priceText;  // as the check logged it
};

// One point of a product's history.
struct PricePoint {
  std::int64_t checkedAt = 0;  // Unix milliseconds
  double price = 0;
  friend bool operator==(const PricePoint&, const PricePoint&) = default;
};

// The schema this program writes (PRAGMA user_version). A file of an older version is
// migrated when it is opened for writing; a file of a newer one is read but not written.
constexpr int kPriceHistorySchemaVersion = 1;

// The name of the history file, code page 936.
const std::string& PriceHistoryFileName();
// The folder `directory` (a path: the file system's bytes, see common/files.h) + the history
// file's name, as a path.
std::string PriceHistoryFilePath(const std::string& directory);

// Unix milliseconds now (the system clock).
std::int64_t UnixMillisNow();

class PriceHistory {
 public:
  // The history of `directory` (code page 936; the list file's folder). Nothing is opened
  // yet: the writer thread opens the file when the first record comes. `log` receives the
  // one entry of a failure; it may be null.
  PriceHistory(const std::string& directory, std::shared_ptr<ActivityLog> log);
  // Writes what is queued, then stops the writer.
  ~PriceHistory();
  PriceHistory(const PriceHistory&) = delete;
  PriceHistory& operator=(const PriceHistory&) = delete;

  // The file's path, code page 936.
  const std::string& FilePath() const { return path_; }

  // Queues one record and returns at once; any thread. Dropped after a failure.
  void Record(PriceRecord record);
  // Waits until every record queued before the call is written (or dropped).
  void Flush();
  // True once the file could not be opened or written; nothing is written any more.
  bool Failed() const;
  // Called on the writer thread after each batch it committed. Set it before recording.
  void SetListener(std::function<void()> listener);

  // The points of one product (code and country in code page 936) with from <= checked_at
  // <= to, oldest first. Any thread; reads
  // through a connection of its own, so it never waits for the writer. Empty when the file
  // does not exist or cannot be read.
  std::vector<PricePoint> Query(const std::string& code, const std::string& country,
                                std::int64_t from, std::int64_t to) const;

  // How long the writer gathers records before it commits them.
  static constexpr std::chrono::milliseconds kBatchWindow{100};

 private:
  struct Connection;

  void WriterLoop();
  void WriteBatch(const std::vector<PriceRecord>& batch);
  bool OpenForWriting();
  void Fail(int code);

  const std::string path_;
  const std::shared_ptr<ActivityLog> log_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable written_;
  std::vector<PriceRecord> queue_;
  std::uint64_t queuedCount_ = 0;   // records ever queued
  std::uint64_t writtenCount_ = 0;  // records ever written or dropped
  int flushWaiters_ = 0;
  bool stop_ = false;
  bool failed_ = false;
  std::function<void()> listener_;

  // Owned by the writer thread.
  std::unique_ptr<Connection> writer_;
  std::thread thread_;
};

}  // namespace korvelin
