#include "history/price_history.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "common/code_page.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/numbers.h"
#include "history/history_texts.h"

namespace korvelin {

namespace texts = history_texts;

namespace {

// A failure that is not an SQLite result: the file was written by a newer program.
constexpr int kNewerVersion = -1;

// The steps from one schema version to the next, in order. Version 0 is a new (empty)
// file; a later program appends its steps here and raises kPriceHistorySchemaVersion. Each
// step runs in one transaction together with the new user_version.
struct Migration {
  int version;  // the version the step leads to
  const char* sql;
};
constexpr Migration kMigrations[] = {
    {1,
     "CREATE TABLE IF NOT EXISTS price_history(checked_at INTEGER, code TEXT, country TEXT, "
     "price REAL, price_text TEXT);"
     // One product's points in time order, read from the index alone.
     "CREATE INDEX IF NOT EXISTS price_history_by_product "
     "ON price_history(code, country, checked_at, price);"},
};
static_assert(std::size(kMigrations) == kPriceHistorySchemaVersion);

constexpr const char* kInsert =
    "INSERT INTO price_history(checked_at, code, country, price, price_text) "
    "VALUES(?1, ?2, ?3, ?4, ?5)";
constexpr const char* kSelect =
    "SELECT checked_at, price FROM price_history WHERE code = ?1 AND country = ?2 AND "
    "checked_at BETWEEN ?3 AND ?4 ORDER BY checked_at";
constexpr const char* kFirstTime =
    "SELECT checked_at FROM price_history WHERE code = ?1 AND country = ?2 AND "
    "checked_at BETWEEN ?3 AND ?4 ORDER BY checked_at LIMIT 1";
constexpr const char* kLastTime =
    "SELECT checked_at FROM price_history WHERE code = ?1 AND country = ?2 AND "
    "checked_at BETWEEN ?3 AND ?4 ORDER BY checked_at DESC LIMIT 1";

// Histories spanning at least this long are read in slices at once, at most this many.
constexpr std::int64_t kSlicedSpanMs = 24LL * 60 * 60 * 1000;
constexpr unsigned kMaxReadSlices = 4;

constexpr int kBusyTimeoutMs = 2000;

std::string ReasonText(int code) {
  if (code == kNewerVersion) return texts::ReasonNewerVersion();
  switch (code & 0xFF) {
    case SQLITE_CANTOPEN:
      return texts::ReasonCannotOpen();
    case SQLITE_NOTADB:
      return texts::ReasonNotADatabase();
    case SQLITE_CORRUPT:
      return texts::ReasonCorrupt();
    case SQLITE_READONLY:
      return texts::ReasonReadOnly();
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return texts::ReasonNoPermission();
    case SQLITE_FULL:
      return texts::ReasonDiskFull();
    case SQLITE_IOERR:
      return texts::ReasonIo();
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return texts::ReasonBusy();
    default:
      return texts::ReasonOther() + IntToText(code);
  }
}

// A prepared statement, finalised with its owner.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(handle); }
};

// An open database handle, closed with its owner (also when opening failed half way).
struct Database {
  sqlite3* handle = nullptr;
  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database() { sqlite3_close_v2(handle); }
};

// Opens the file for reading only: nothing is created, and a missing file is a failure.
bool OpenForReading(const std::string& utf8File, Database& database) {
  if (sqlite3_open_v2(utf8File.c_str(), &database.handle,
                      SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    return false;
  }
  sqlite3_busy_timeout(database.handle, kBusyTimeoutMs);
  return true;
}

void BindUtf8(sqlite3_stmt* statement, int index, const std::string& utf8) {
  sqlite3_bind_text(statement, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// The parameters ?1 to ?4 of the reading statements: the product and the time range.
void BindProductRange(sqlite3_stmt* statement, const std::string& code, const std::string& country,
                      std::int64_t from, std::int64_t to) {
  BindUtf8(statement, 1, code);
  BindUtf8(statement, 2, country);
  sqlite3_bind_int64(statement, 3, from);
  sqlite3_bind_int64(statement, 4, to);
}

// The first and last time of a product's points within [from, to], found in the index;
// nothing when there are none or the file cannot be read.
std::optional<std::pair<std::int64_t, std::int64_t>> PointSpan(const std::string& utf8File,
                                                               const std::string& code,
                                                               const std::string& country,
                                                               std::int64_t from, std::int64_t to) {
  Database database;
  if (!OpenForReading(utf8File, database)) return std::nullopt;
  std::int64_t ends[2] = {};
  const char* queries[2] = {kFirstTime, kLastTime};
  for (int i = 0; i < 2; ++i) {
    Statement statement;
    if (sqlite3_prepare_v2(database.handle, queries[i], -1, &statement.handle, nullptr) !=
        SQLITE_OK) {
      return std::nullopt;  // not a database, or no table yet
    }
    BindProductRange(statement.handle, code, country, from, to);
    if (sqlite3_step(statement.handle) != SQLITE_ROW) return std::nullopt;
    ends[i] = sqlite3_column_int64(statement.handle, 0);
  }
  return std::make_pair(ends[0], ends[1]);
}

// Appends a product's points within [from, to], oldest first, to `out`; false on failure.
bool ReadPoints(const std::string& utf8File, const std::string& code, const std::string& country,
                std::int64_t from, std::int64_t to, std::vector<PricePoint>& out) {
  Database database;
  if (!OpenForReading(utf8File, database)) return false;
  Statement select;
  if (sqlite3_prepare_v2(database.handle, kSelect, -1, &select.handle, nullptr) != SQLITE_OK) {
    return false;
  }
  BindProductRange(select.handle, code, country, from, to);
  int rc;
  while ((rc = sqlite3_step(select.handle)) == SQLITE_ROW) {
    // A row without a price (written by another tool) is no point.
    if (sqlite3_column_type(select.handle, 1) == SQLITE_NULL) continue;
    out.push_back(
        {sqlite3_column_int64(select.handle, 0), sqlite3_column_double(select.handle, 1)});
  }
  return rc == SQLITE_DONE;
}

}  // namespace

struct PriceHistory::Connection {
  Database database;
  Statement insert;
};

const std::string& PriceHistoryFileName() { return texts::FileName(); }

std::string PriceHistoryFilePath(const std::string& directory) {
  // A path holds the file system's bytes (UTF-8), the name's text is code page 936.
  static const std::string kFileName = AnsiToUtf8(PriceHistoryFileName());
  return JoinPath(directory, kFileName);
}

std::int64_t UnixMillisNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

PriceHistory::PriceHistory(const std::string& directory, std::shared_ptr<ActivityLog> log)
    : path_(PriceHistoryFilePath(directory)), log_(std::move(log)) {
  thread_ = std::thread([this] { WriterLoop(); });
}

PriceHistory::~PriceHistory() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void PriceHistory::Record(PriceRecord record) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (failed_ || stop_) return;
    queue_.push_back(std::move(record));
    ++queuedCount_;
    first = queue_.size() == 1;
  }
  // Only the first record of a batch needs to wake the writer; the rest wait for the
  // batch window to end.
  if (first) wake_.notify_all();
}

void PriceHistory::Flush() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = queuedCount_;
  if (writtenCount_ >= target) return;
  ++flushWaiters_;
  wake_.notify_all();
  written_.wait(lock, [&] { return writtenCount_ >= target; });
  --flushWaiters_;
}

bool PriceHistory::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

void PriceHistory::SetListener(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

void PriceHistory::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopped with nothing left to write
    // Gather what comes within the batch window; a flush or the end cuts it short.
    const auto deadline = std::chrono::steady_clock::now() + kBatchWindow;
    wake_.wait_until(lock, deadline, [&] { return stop_ || flushWaiters_ > 0; });
    std::vector<PriceRecord> batch;
    batch.swap(queue_);
    const std::uint64_t upTo = queuedCount_;
    const std::function<void()> listener = listener_;
    lock.unlock();
    WriteBatch(batch);
    if (listener && !Failed()) listener();
    lock.lock();
    writtenCount_ = upTo;
    written_.notify_all();
  }
  writer_.reset();
}

bool PriceHistory::OpenForWriting() {
  auto connection = std::make_unique<Connection>();
  sqlite3*& db = connection->database.handle;
  const std::string& file = path_;
  int rc = sqlite3_open_v2(
      file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    Fail(rc);
    return false;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);

  // Write-ahead logging: readers (the chart) never wait for the writer, and a commit costs
  // no flush to disk; checkpoints do that. A file that is not a database fails here.
  rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                    nullptr);
  if (rc != SQLITE_OK) {
    Fail(rc);
    return false;
  }

  // The schema version, and the migration from it to this program's version.
  int version = 0;
  {
    Statement statement;
    rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement.handle, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(statement.handle)) == SQLITE_ROW) {
      version = sqlite3_column_int(statement.handle, 0);
      rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) {
      Fail(rc);
      return false;
    }
  }
  if (version > kPriceHistorySchemaVersion) {
    Fail(kNewerVersion);
    return false;
  }
  for (const Migration& step : kMigrations) {
    if (step.version <= version) continue;
    const std::string sql = std::string("BEGIN IMMEDIATE;") + step.sql +
                            "PRAGMA user_version=" + IntToText(step.version) + ";COMMIT;";
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      Fail(rc);
      return false;
    }
  }

  rc = sqlite3_prepare_v2(db, kInsert, -1, &connection->insert.handle, nullptr);
  if (rc != SQLITE_OK) {
    Fail(rc);
    return false;
  }
  writer_ = std::move(connection);
  return true;
}

void PriceHistory::WriteBatch(const std::vector<PriceRecord>& batch) {
  if (batch.empty() || Failed()) return;
  if (!writer_ && !OpenForWriting()) return;
  sqlite3* db = writer_->database.handle;
  sqlite3_stmt* insert = writer_->insert.handle;
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  for (std::size_t i = 0; rc == SQLITE_OK && i < batch.size(); ++i) {
    const PriceRecord& record = batch[i];
    sqlite3_bind_int64(insert, 1, record.checkedAt);
    BindUtf8(insert, 2, AnsiToUtf8(record.code));
    BindUtf8(insert, 3, AnsiToUtf8(record.country));
    sqlite3_bind_double(insert, 4, record.price);
    BindUtf8(insert, 5, AnsiToUtf8(record.priceText));
    rc = sqlite3_step(insert);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
    sqlite3_reset(insert);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    Fail(rc);
  }
}

void PriceHistory::Fail(int code) {
  {
    std::lock_guard lock(mutex_);
    if (failed_) return;
    failed_ = true;
    queue_.clear();
  }
  writer_.reset();
  if (log_) {
    log_->Append(NowText() + texts::CannotWritePrefix() + Utf8ToAnsi(path_) +
                 texts::ReasonSeparator() + ReasonText(code) + texts::EntryEnd());
  }
}

std::vector<PricePoint> PriceHistory::Query(const std::string& code, const std::string& country,
                                            std::int64_t from, std::int64_t to) const {
  const std::string& file = path_;
  const std::string codeText = AnsiToUtf8(code);
  const std::string countryText = AnsiToUtf8(country);
  const std::optional<std::pair<std::int64_t, std::int64_t>> span =
      PointSpan(file, codeText, countryText, from, to);
  if (!span) return {};

  // A long history is read in time slices, one thread and connection each: reading is bound
  // by SQLite's work per row, so slices read at once finish in a fraction of the time. The
  // last slice reaches to `to`, so points written meanwhile come in as they would in one read.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const int slices = span->second - span->first >= kSlicedSpanMs
                         ? static_cast<int>(std::min(cores, kMaxReadSlices))
                         : 1;
  std::vector<std::vector<PricePoint>> parts(static_cast<std::size_t>(slices));
  std::vector<char> ok(static_cast<std::size_t>(slices), 0);
  const long double step =
      (static_cast<long double>(span->second) - static_cast<long double>(span->first) + 1) / slices;
  auto read = [&](int slice) {
    const std::int64_t begin =
        slice == 0 ? from : span->first + static_cast<std::int64_t>(step * slice);
    const std::int64_t end =
        slice == slices - 1 ? to : span->first + static_cast<std::int64_t>(step * (slice + 1)) - 1;
    ok[static_cast<std::size_t>(slice)] =
        ReadPoints(file, codeText, countryText, begin, end, parts[static_cast<std::size_t>(slice)]);
  };
  std::vector<std::thread> readers;
  for (int slice = 1; slice < slices; ++slice) readers.emplace_back(read, slice);
  read(0);
  for (std::thread& reader : readers) reader.join();

  // A file that breaks off half way gives nothing rather than a part.
  if (std::find(ok.begin(), ok.end(), 0) != ok.end()) return {};
  if (slices == 1) return std::move(parts[0]);
  std::size_t total = 0;
  for (const auto& part : parts) total += part.size();
  std::vector<PricePoint> points;
  points.reserve(total);
  for (const auto& part : parts) points.insert(points.end(), part.begin(), part.end());
  return points;
}

}  // namespace korvelin
