#include "service/sqlite_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <string.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "service/store_writes.h"
#include "session/unique_handle.h"

namespace {

constexpr int SchemaVersion = 1;
constexpr size_t BatchJobs = 256;   // writes that share one commit at most
constexpr int SweepBatch = 256;     // ringtones removed per sweep transaction
// Ringtones removed per sweep transaction while the disk is nearly full (the log folded back
// after each).
constexpr int LowSpaceSweepBatch = 4;
constexpr auto CountFlushInterval = std::chrono::seconds(1);
// The write-ahead log, in pages of 16 KiB. The committing thread never folds the log back into
// the database: a thread of the store's own does, once this much has gathered (and at least
// once a second while any has), beside the commits. When the commits outrun it, the
// committing thread folds the rest back itself once the log reaches LogPagesBound (waiting
// for a fold of the keeper's only past twice that) and starts the log over from its
// beginning; the file is cut back to LogPagesBound whenever the log starts over.
constexpr int LogPagesFold = 512;      // 8 MiB
constexpr int LogPagesBound = 4096;    // 64 MiB
constexpr auto LogFoldInterval = std::chrono::seconds(1);
// Below this much free space in the data folder the store says it cannot write: room for
// one upload of the largest size, its log pages and a margin.
constexpr uint64_t MinFreeBytes = 4 * 1024 * 1024;
// Uploads stop at MinFreeBytes; deletes and the sweep go on below it. For them the store keeps
// a file of this size in the data folder, given back to the disk when the disk is nearly full
// (whoever filled it), so that a delete's log pages always find room: a person can always
// delete their number, and the sweep can always free space. It is made again once there is
// room for it.
constexpr uint64_t ReserveBytes = 4 * 1024 * 1024;
const char ReserveName[] = "/space.reserve";

uint64_t FreeBytes(const std::string& folder);

// Zeroes the strings of a record that memory lets go of.
void Wipe(RingtoneRecord& record) {
  for (std::string* text : {&record.phoneNumber, &record.songName, &record.fileName, &record.bytes})
    explicit_bzero(text->data(), text->size());
}

const char SchemaSql[] =
    "CREATE TABLE IF NOT EXISTS ringtones("
    " token TEXT NOT NULL UNIQUE, created_at INTEGER NOT NULL, expires_at INTEGER NOT NULL,"
    " phone_number TEXT NOT NULL, carrier_id INTEGER NOT NULL, phone_id INTEGER NOT NULL,"
    " format INTEGER NOT NULL, song_name TEXT NOT NULL, file_name TEXT NOT NULL,"
    " size INTEGER NOT NULL, downloads INTEGER NOT NULL DEFAULT 0,"
    " bytes BLOB NOT NULL);"  // last, so that reading a record never reads the bytes
    "CREATE INDEX IF NOT EXISTS ringtones_expiry ON ringtones(expires_at, token);"
    "CREATE TABLE IF NOT EXISTS gone("
    " token TEXT PRIMARY KEY, reason INTEGER NOT NULL, gone_at INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS gone_time ON gone(gone_at);";

#define QV_RECORD_COLUMNS                                                                   \
  "created_at, expires_at, phone_number, carrier_id, phone_id, format, song_name, file_name," \
  " size, downloads"

// The connection, closed after every statement made on it (declare it before them).
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Open(const std::string& path, std::string& error) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), db_.put(), flags, nullptr) != SQLITE_OK) {
      error = path + ": " + (db_ ? sqlite3_errmsg(db_.get()) : "cannot open");
      return false;
    }
    sqlite3_extended_result_codes(db_.get(), 1);
    sqlite3_busy_timeout(db_.get(), 5000);
    // No connection folds the log back when it commits: the store's log keeper does.
    return Exec("PRAGMA synchronous=FULL", error) && Exec("PRAGMA wal_autocheckpoint=0", error);
  }
  bool Exec(const char* sql, std::string& error) {
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    error = sqlite3_errmsg(db_.get());
    return false;
  }
  bool Exec(const char* sql) {
    std::string ignored;
    return Exec(sql, ignored);
  }
  sqlite3* Db() const { return db_.get(); }

 private:
  FreedWith<sqlite3, sqlite3_close> db_;
};

// A blob parameter (a std::string binds as text).
struct Blob {
  const std::string& bytes;
};

// A prepared statement, kept for the life of its connection.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepare(const Connection& connection, const char* sql) {
    return sqlite3_prepare_v3(connection.Db(), sql, -1, SQLITE_PREPARE_PERSISTENT, stmt_.put(),
                              nullptr) == SQLITE_OK;
  }
  // Binds the values in order and takes the first step; SQLITE_ROW, SQLITE_DONE or an error.
  template <typename... Values>
  int Run(const Values&... values) {
    sqlite3_reset(stmt_.get());
    int index = 0;
    (Bind(++index, values), ...);
    return sqlite3_step(stmt_.get());
  }
  int Next() { return sqlite3_step(stmt_.get()); }
  // Lets go of the statement's read snapshot and its bound values.
  void Finish() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
  }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }
  std::string Bytes(int column) const {
    const void* data = sqlite3_column_blob(stmt_.get(), column);
    const int size = sqlite3_column_bytes(stmt_.get(), column);
    return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                : std::string();
  }

 private:
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_.get(), i, v); }
  void Bind(int i, int32_t v) { sqlite3_bind_int64(stmt_.get(), i, v); }
  void Bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void Bind(int i, const std::string& v) { Bind(i, std::string_view(v)); }
  void Bind(int i, const Blob& v) {
    sqlite3_bind_blob(stmt_.get(), i, v.bytes.data(), static_cast<int>(v.bytes.size()),
                      SQLITE_STATIC);
  }

  FreedWith<sqlite3_stmt, sqlite3_finalize> stmt_;
};

struct ReadConnection {
  Connection connection;
  Statement find, findWithBytes, gone, totals;

  bool Open(const std::string& path, std::string& error) {
    if (!connection.Open(path, error) || !connection.Exec("PRAGMA query_only=1", error))
      return false;
    const bool ok =
        find.Prepare(connection, "SELECT " QV_RECORD_COLUMNS " FROM ringtones WHERE token=?1") &&
        findWithBytes.Prepare(connection,
                              "SELECT " QV_RECORD_COLUMNS ", bytes FROM ringtones WHERE token=?1") &&
        gone.Prepare(connection, "SELECT reason FROM gone WHERE token=?1") &&
        totals.Prepare(connection, "SELECT count(*), coalesce(sum(size), 0) FROM ringtones");
    if (!ok) error = sqlite3_errmsg(connection.Db());
    return ok;
  }
};

struct WriteConnection {
  Connection connection;
  Statement insert, remove, expiredOne, goneOne, markGone, count, sweepMark, sweepRemove,
      forget;

  bool Prepare() {
    return insert.Prepare(connection,
                          "INSERT INTO ringtones(token, " QV_RECORD_COLUMNS ", bytes)"
                          " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 0, ?11)") &&
           remove.Prepare(connection, "DELETE FROM ringtones WHERE token=?1 AND expires_at>?2") &&
           expiredOne.Prepare(connection, "SELECT 1 FROM ringtones WHERE token=?1") &&
           goneOne.Prepare(connection, "SELECT 1 FROM gone WHERE token=?1") &&
           markGone.Prepare(connection,
                            "INSERT OR REPLACE INTO gone(token, reason, gone_at) VALUES(?1, ?2, ?3)") &&
           count.Prepare(connection, "UPDATE ringtones SET downloads=downloads+?2 WHERE token=?1") &&
           sweepMark.Prepare(connection,
                             "INSERT OR REPLACE INTO gone(token, reason, gone_at)"
                             " SELECT token, 0, expires_at FROM ringtones WHERE expires_at<=?1"
                             " ORDER BY expires_at, token LIMIT ?2") &&
           sweepRemove.Prepare(connection,
                               "DELETE FROM ringtones WHERE token IN (SELECT token FROM ringtones"
                               " WHERE expires_at<=?1 ORDER BY expires_at, token LIMIT ?2)") &&
           forget.Prepare(connection, "DELETE FROM gone WHERE gone_at<?1");
  }
};

// Read connections for the serving threads, lent without a lock: a slot is taken by turning
// its flag. A caller that finds every slot taken gets a connection of its own for the call.
class ReaderPool {
 public:
  struct Slot {
    std::atomic<bool> busy{false};
    std::unique_ptr<ReadConnection> reader;
  };
  class Lease {
   public:
    Lease(Slot* slot, std::unique_ptr<ReadConnection> own) : slot_(slot), own_(std::move(own)) {}
    Lease(Lease&& other) noexcept : slot_(other.slot_), own_(std::move(other.own_)) {
      other.slot_ = nullptr;
    }
    Lease(const Lease&) = delete;
    ~Lease() {
      if (slot_) slot_->busy.store(false, std::memory_order_release);
    }
    ReadConnection* operator->() const { return slot_ ? slot_->reader.get() : own_.get(); }
    explicit operator bool() const { return (slot_ && slot_->reader) || own_; }

   private:
    Slot* slot_;
    std::unique_ptr<ReadConnection> own_;
  };

  void SetPath(const std::string& path) { path_ = path; }
  Lease Take() {
    for (Slot& slot : slots_) {
      if (slot.busy.exchange(true, std::memory_order_acquire)) continue;
      if (!slot.reader) slot.reader = Open();
      if (slot.reader) return Lease(&slot, nullptr);
      slot.busy.store(false, std::memory_order_release);
      return Lease(nullptr, nullptr);
    }
    return Lease(nullptr, Open());
  }
  // Closes every connection; no lease may be out.
  void Clear() {
    for (Slot& slot : slots_) slot.reader.reset();
  }

 private:
  std::unique_ptr<ReadConnection> Open() const {
    auto reader = std::make_unique<ReadConnection>();
    std::string error;
    return reader->Open(path_, error) ? std::move(reader) : nullptr;
  }
  std::string path_;
  std::array<Slot, 32> slots_;
};

// The ringtones stored or fetched last, with their bytes, so that a phone that fetches its
// ringtone soon after the upload is served from memory (reading SQLite from several threads
// serialises them on its shared-memory lock). Bounded by bytes. A delete anywhere drops the
// fills that were under way, so that a deleted ringtone is never put back.
class RecentRingtones {
 public:
  static constexpr size_t MaxBytes = 8 * 1024 * 1024;
  using Entry = std::shared_ptr<const RingtoneRecord>;

  uint64_t Generation() {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
  }
  Entry Get(std::string_view token) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = index_.find(token);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return *found->second;
  }
  // Keeps `ringtone` unless something was deleted since `generation` was read.
  void Put(Entry ringtone, uint64_t generation) {
    const size_t bytes = Cost(*ringtone);
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_ || bytes > MaxBytes || index_.count(ringtone->token)) return;
    order_.push_front(std::move(ringtone));
    index_.emplace(order_.front()->token, order_.begin());
    bytes_ += bytes;
    while (bytes_ > MaxBytes) {
      bytes_ -= Cost(*order_.back());
      index_.erase(order_.back()->token);
      order_.pop_back();
    }
  }
  // Drops the ringtones whose time is up at `now` (the sweep removes them from the store).
  void EraseExpired(int64_t now) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    for (auto it = order_.begin(); it != order_.end();) {
      if ((*it)->expiresAt > now) {
        ++it;
        continue;
      }
      bytes_ -= Cost(**it);
      index_.erase((*it)->token);
      Forget(*it);
      it = order_.erase(it);
    }
  }
  void Erase(std::string_view token) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    const auto found = index_.find(token);
    if (found == index_.end()) return;
    bytes_ -= Cost(**found->second);
    const auto entry = found->second;
    index_.erase(found);
    Forget(*entry);
    order_.erase(entry);
  }

 private:
  // A deleted or expired ringtone's memory is zeroed before it is let go (unless a reader is
  // copying it this moment: its copy goes with the reader).
  static void Forget(Entry& entry) {
    if (entry.use_count() == 1) Wipe(const_cast<RingtoneRecord&>(*entry));
  }
  static size_t Cost(const RingtoneRecord& r) {
    return r.bytes.size() + r.songName.size() + r.fileName.size() + 256;
  }
  std::mutex mutex_;
  std::list<Entry> order_;  // newest first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;  // views of tokens
  size_t bytes_ = 0;
  uint64_t generation_ = 0;
};

class SqliteStore final : public QueuedRingtoneStore {
 public:
  SqliteStore() : QueuedRingtoneStore(BatchJobs, CountFlushInterval) {}
  ~SqliteStore() override { Close(); }

  bool Open(const std::string& folder, std::string& error);
  void Add(RingtoneRecord ringtone, Done done) override;

  StoreStatus Find(std::string_view token, int64_t now, bool withBytes, RingtoneRecord& record,
                   GoneReason& reason) override;
  StoreStatus Totals(StoreTotals& totals) override;
  StoreStatus Ping() override;
  void Close() override;

 private:
  void Wrote(bool ok);
  // Folds the log back into the database and empties it, so that what a delete zeroed is
  // gone from every file (the log still held the ringtone's pages as they were written).
  void EmptyLog();
  // After a commit: wakes the log keeper once the log is long enough, and folds the log back
  // here when it has reached its bound.
  void KeepLogBounded();
  void LogKeeperLoop();
  void WriterLoop();
  void Commit(std::vector<StoreWrite>& jobs, const std::unordered_map<std::string, int64_t>& counts);
  // The writer's connection makes one commit at a time: the writer thread's, or an upload's
  // made by the thread that asked for it.
  std::mutex commitMutex_;
  // Batches taken for a commit and not yet told.
  std::atomic<int> unanswered_{0};
  void RunSweep(StoreWrite& job);
  // Below MinFreeBytes: gives the reserve back to the disk. With room enough: makes it again.
  void KeepReserve();
  // After a delete or the sweep: empties the log (its space goes back to the disk) and
  // counts the pages they freed, which the next uploads take before the disk's.
  void GiveSpaceBack();
  // Free bytes for the store: the disk's, and the free pages inside the database.
  uint64_t Room() const {
    return FreeBytes(folder_) + freePages_.load(std::memory_order_relaxed) * 16384;
  }
  void CountFreePages();
  std::atomic<uint64_t> freePages_{0};

  std::string folder_;
  std::string path_;
  int lockFd_ = -1;
  // 0 while writes succeed; after a failed commit, the free bytes there were then (at least
  // 1): the store is not ready until a commit succeeds or more space is free.
  std::atomic<uint64_t> failedAtFree_{0};
  std::unique_ptr<WriteConnection> writer_ = std::make_unique<WriteConnection>();
  std::thread writerThread_;

  // The syncer: the writer commits without waiting for the disk and goes on to the next
  // batch; this thread flushes the log (one flush for every batch committed since the last)
  // and only then tells the batches' writes. Nothing is answered before its flush.
  void SyncerLoop();
  void Synced(StoreWriteBatch batch);
  // Tells the batch's writes, once the log is flushed (or failed to be: Unavailable).
  void Tell(StoreWriteBatch& batch, bool flushed);
  int logFd_ = -1;  // the write-ahead log, for the flushes
  std::thread syncerThread_;
  std::mutex syncMutex_;
  std::condition_variable syncWake_;
  std::vector<StoreWriteBatch> unsynced_;
  bool syncStop_ = false;

  // The log keeper: a connection and thread of its own that folds the log back while the
  // writer commits. One fold at a time, whoever runs it (SQLite refuses a second at once).
  std::unique_ptr<Connection> keeper_ = std::make_unique<Connection>();
  std::thread keeperThread_;
  std::mutex foldMutex_;
  std::mutex keeperMutex_;
  std::condition_variable keeperWake_;
  bool keeperDue_ = false;
  bool keeperStop_ = false;
  std::atomic<int> logPages_{0};  // pages in the log after the last commit

  std::atomic<bool> closed_{false};

  ReaderPool readers_;
  RecentRingtones recent_;
};

bool SqliteStore::Open(const std::string& folder, std::string& error) {
  // Without memory statistics SQLite takes no process-wide lock on every allocation, which
  // the reading threads would otherwise fight over. Only possible before SQLite starts up;
  // a second store in the process finds it done.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = folder + ": " + ec.message();
    return false;
  }
  const std::string lockPath = folder + "/service.lock";
  lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) {
    error = lockPath + ": cannot be opened";
    return false;
  }
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    error = folder + ": another quavella-service uses this data folder";
    return false;
  }
  folder_ = folder;
  path_ = folder + "/ringtones.db";
  KeepReserve();  // a full disk gets the reserve back before the store opens on it
  if (!writer_->connection.Open(path_, error)) return false;
  // Pages of 16 KiB hold a ringtone in a few pages rather than in dozens (a new database
  // only: the size of an existing one stays).
  if (!writer_->connection.Exec("PRAGMA page_size=16384", error) ||
      !writer_->connection.Exec("PRAGMA journal_mode=WAL", error) ||
      !writer_->connection.Exec("PRAGMA secure_delete=ON", error))  // deleted numbers are zeroed
    return false;
  Statement version;
  if (!version.Prepare(writer_->connection, "PRAGMA user_version") || version.Run() != SQLITE_ROW) {
    error = path_ + ": " + sqlite3_errmsg(writer_->connection.Db());
    return false;
  }
  const int64_t found = version.Int(0);
  version.Finish();
  if (found > SchemaVersion) {
    error = path_ + ": made by a newer quavella-service (schema " + std::to_string(found) + ")";
    return false;
  }
  if (found < SchemaVersion) {
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(SchemaVersion);
    if (!writer_->connection.Exec("BEGIN IMMEDIATE", error) ||
        !writer_->connection.Exec(SchemaSql, error) ||
        !writer_->connection.Exec(setVersion.c_str(), error) ||
        !writer_->connection.Exec("COMMIT", error)) {
      error = path_ + ": " + error;
      return false;
    }
    // The new files' names reach the disk too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  if (!writer_->Prepare()) {
    error = path_ + ": " + sqlite3_errmsg(writer_->connection.Db());
    return false;
  }
  // The writer's commits leave the flush to the syncer. SQLite still flushes the log before
  // it folds it back into the database, and a new log's header before its first commit.
  if (!writer_->connection.Exec("PRAGMA synchronous=NORMAL", error)) return false;
  logFd_ = ::open((path_ + "-wal").c_str(), O_RDONLY | O_CLOEXEC);
  if (logFd_ < 0) {
    error = path_ + "-wal: cannot be opened";
    return false;
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {  // the log's name reaches the disk
    ::fsync(dir);
    ::close(dir);
  }
  const std::string sizeLimit =
      "PRAGMA journal_size_limit=" + std::to_string(int64_t{LogPagesBound} * 16384);
  if (!writer_->connection.Exec(sizeLimit.c_str(), error) || !keeper_->Open(path_, error)) {
    error = path_ + ": " + error;
    return false;
  }
  sqlite3_wal_hook(
      writer_->connection.Db(),
      [](void* store, sqlite3*, const char*, int pages) {
        static_cast<SqliteStore*>(store)->logPages_.store(pages, std::memory_order_relaxed);
        return SQLITE_OK;
      },
      this);
  readers_.SetPath(path_);
  CountFreePages();
  if (!readers_.Take()) {
    error = path_ + ": cannot be read";
    return false;
  }
  keeperThread_ = std::thread([this] { LogKeeperLoop(); });
  syncerThread_ = std::thread([this] { SyncerLoop(); });
  writerThread_ = std::thread([this] { WriterLoop(); });
  return true;
}

void SqliteStore::Add(RingtoneRecord ringtone, Done done) {
  // Below the free space the deletes need, no upload is taken.
  if (Room() < MinFreeBytes) {
    done(StoreStatus::Unavailable);
    return;
  }
  // With nothing else on its way, the thread that asks commits and flushes the upload itself:
  // handing it to the writer and the answer back would cost two thread switches, a good part
  // of an upload's time when uploads come one at a time.
  std::unique_lock<std::mutex> commit(commitMutex_, std::try_to_lock);
  if (!commit.owns_lock() || unanswered_.load() != 0 || !writes_.Idle()) {
    if (commit.owns_lock()) commit.unlock();
    QueuedRingtoneStore::Add(std::move(ringtone), std::move(done));
    return;
  }
  unanswered_.fetch_add(1);
  StoreWriteBatch batch;
  StoreWrite& write = batch.writes.emplace_back();
  write.record = std::move(ringtone);
  write.done = std::move(done);
  Commit(batch.writes, batch.downloads);
  const bool flushed = ::fdatasync(logFd_) == 0;
  commit.unlock();
  Tell(batch, flushed);
  // Else the writer does it after its next commit.
  if (commit.try_lock() && !closed_.load()) KeepLogBounded();
}

void SqliteStore::WriterLoop() {
  StoreWriteBatch batch;
  while (writes_.Next(batch)) {
    unanswered_.fetch_add(1);
    std::unique_lock<std::mutex> commit(commitMutex_);
    bool removing = batch.IsSweep();
    for (const StoreWrite& write : batch.writes)
      removing = removing || write.kind == StoreWrite::Delete;
    if (removing) KeepReserve();
    if (batch.IsSweep()) RunSweep(batch.writes.front());
    else Commit(batch.writes, batch.downloads);
    bool removed = batch.IsSweep();
    for (const StoreWrite& write : batch.writes)
      removed = removed || (write.kind == StoreWrite::Delete && write.status == StoreStatus::Ok);
    if (removed) GiveSpaceBack();
    if (writes_.Waiting()) {
      Synced(std::move(batch));  // flushed beside the next commit
    } else {
      const bool flushed = ::fdatasync(logFd_) == 0;  // nothing to do meanwhile: no hand-over
      commit.unlock();
      Tell(batch, flushed);
      commit.lock();
    }
    KeepLogBounded();
  }
}

void SqliteStore::Synced(StoreWriteBatch batch) {
  std::lock_guard<std::mutex> lock(syncMutex_);
  unsynced_.push_back(std::move(batch));
  syncWake_.notify_one();
}

void SqliteStore::Tell(StoreWriteBatch& batch, bool flushed) {
  if (!flushed) {
    for (StoreWrite& write : batch.writes) write.status = StoreStatus::Unavailable;
    Wrote(false);
  }
  batch.Finish();
  unanswered_.fetch_sub(1);
}

void SqliteStore::SyncerLoop() {
  std::vector<StoreWriteBatch> batches;
  std::unique_lock<std::mutex> lock(syncMutex_);
  for (;;) {
    syncWake_.wait(lock, [this] { return syncStop_ || !unsynced_.empty(); });
    if (unsynced_.empty()) return;  // stopping, and every batch told
    batches.swap(unsynced_);
    lock.unlock();
    // Every commit of these batches was written before this flush began.
    const bool flushed = ::fdatasync(logFd_) == 0;
    for (StoreWriteBatch& batch : batches) Tell(batch, flushed);
    batches.clear();
    lock.lock();
  }
}

void SqliteStore::EmptyLog() {
  // Waits for a fold of the keeper's, then for the readers (each holds the log for one
  // statement) up to the busy timeout.
  std::lock_guard<std::mutex> fold(foldMutex_);
  sqlite3_wal_checkpoint_v2(writer_->connection.Db(), nullptr, SQLITE_CHECKPOINT_TRUNCATE,
                            nullptr, nullptr);
  logPages_.store(0, std::memory_order_relaxed);
}

void SqliteStore::KeepLogBounded() {
  const int pages = logPages_.load(std::memory_order_relaxed);
  // On a nearly full disk the log must not grow into the room the deletes need: it is folded
  // back after every commit and starts over at its beginning.
  const bool low =
      pages > 0 && FreeBytes(folder_) < 2 * MinFreeBytes + uint64_t{LogPagesFold} * 16384;
  if (pages >= LogPagesBound || low) {
    // What the keeper has not folded yet, then the log starts over at the next commit
    // (the writer is this thread: no commit comes in between). While the keeper folds, the
    // writer goes on and tries again after its next commit (little is left to fold then),
    // unless the log has grown to twice its bound.
    std::unique_lock<std::mutex> fold(foldMutex_, std::try_to_lock);
    if (!fold.owns_lock()) {
      if (pages < 2 * LogPagesBound && !low) return;
      fold.lock();
    }
    sqlite3_wal_checkpoint_v2(writer_->connection.Db(), nullptr, SQLITE_CHECKPOINT_RESTART,
                              nullptr, nullptr);
    logPages_.store(0, std::memory_order_relaxed);
    return;
  }
  if (pages >= LogPagesFold) {
    std::lock_guard<std::mutex> lock(keeperMutex_);
    if (!keeperDue_) {
      keeperDue_ = true;
      keeperWake_.notify_one();
    }
  }
}

void SqliteStore::LogKeeperLoop() {
  std::unique_lock<std::mutex> lock(keeperMutex_);
  while (!keeperStop_) {
    keeperWake_.wait_for(lock, LogFoldInterval, [this] { return keeperDue_ || keeperStop_; });
    if (keeperStop_) break;
    keeperDue_ = false;
    if (logPages_.load(std::memory_order_relaxed) == 0) continue;
    lock.unlock();
    {
      // Folds what is committed without waiting for the writer or the readers; when it
      // folded everything, the writer's next commit starts the log over.
      std::lock_guard<std::mutex> fold(foldMutex_);
      int logged = 0;
      int folded = 0;
      if (sqlite3_wal_checkpoint_v2(keeper_->Db(), nullptr, SQLITE_CHECKPOINT_PASSIVE, &logged,
                                    &folded) == SQLITE_OK &&
          logged == folded)
        logPages_.store(0, std::memory_order_relaxed);
    }
    lock.lock();
  }
}

uint64_t FreeBytes(const std::string& folder) {
  struct statvfs fs {};
  if (statvfs(folder.c_str(), &fs) != 0) return 0;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

void SqliteStore::KeepReserve() {
  const std::string reserve = folder_ + ReserveName;
  const uint64_t free = FreeBytes(folder_);
  struct stat facts {};
  const bool held = ::stat(reserve.c_str(), &facts) == 0 && facts.st_size > 0;
  if (free < MinFreeBytes) {
    if (held) ::truncate(reserve.c_str(), 0);
  } else if (!held && free >= MinFreeBytes + ReserveBytes) {
    const int fd = ::open(reserve.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    if (::posix_fallocate(fd, 0, static_cast<off_t>(ReserveBytes)) != 0) ::ftruncate(fd, 0);
    ::close(fd);
  }
}

void SqliteStore::GiveSpaceBack() {
  EmptyLog();
  KeepReserve();
  CountFreePages();
}

void SqliteStore::CountFreePages() {
  Statement count;
  if (count.Prepare(writer_->connection, "PRAGMA freelist_count") && count.Run() == SQLITE_ROW)
    freePages_.store(static_cast<uint64_t>(count.Int(0)), std::memory_order_relaxed);
}

void SqliteStore::Wrote(bool ok) {
  if (ok) failedAtFree_.store(0, std::memory_order_relaxed);
  else failedAtFree_.store(std::max<uint64_t>(Room(), 1), std::memory_order_relaxed);
}

StoreStatus SqliteStore::Ping() {
  const uint64_t free = Room();
  const uint64_t failedAt = failedAtFree_.load(std::memory_order_relaxed);
  return free >= MinFreeBytes && (failedAt == 0 || free > failedAt) ? StoreStatus::Ok
                                                                    : StoreStatus::Unavailable;
}

void SqliteStore::Commit(std::vector<StoreWrite>& jobs,
                         const std::unordered_map<std::string, int64_t>& counts) {
  Connection& db = writer_->connection;
  if (!db.Exec("BEGIN IMMEDIATE")) {  // every job stays Unavailable
    Wrote(false);
    return;
  }
  bool failed = false;
  for (StoreWrite& job : jobs) {
    const RingtoneRecord& r = job.record;
    if (job.kind == StoreWrite::Add) {
      const int rc = writer_->insert.Run(r.token, r.createdAt, r.expiresAt, r.phoneNumber,
                                        r.carrierId, r.phoneId, r.format, r.songName, r.fileName,
                                        static_cast<int64_t>(r.bytes.size()), Blob{r.bytes});
      writer_->insert.Finish();
      if (rc == SQLITE_DONE) job.status = StoreStatus::Ok;
      else if ((rc & 0xFF) != SQLITE_CONSTRAINT) failed = true;  // a token taken twice fails alone
    } else {
      int rc = writer_->remove.Run(r.token, job.now);
      writer_->remove.Finish();
      if (rc != SQLITE_DONE) {
        failed = true;
      } else if (sqlite3_changes(db.Db()) == 1) {
        rc = writer_->markGone.Run(r.token, static_cast<int64_t>(GoneReason::Deleted), job.now);
        writer_->markGone.Finish();
        if (rc == SQLITE_DONE) job.status = StoreStatus::Ok;
        else failed = true;
      } else {
        const bool expired = writer_->expiredOne.Run(r.token) == SQLITE_ROW;
        writer_->expiredOne.Finish();
        const bool gone = writer_->goneOne.Run(r.token) == SQLITE_ROW;
        writer_->goneOne.Finish();
        job.status = expired || gone ? StoreStatus::Gone : StoreStatus::NotFound;
      }
    }
  }
  for (const auto& [token, n] : counts) {
    if (writer_->count.Run(token, n) != SQLITE_DONE) failed = true;
    writer_->count.Finish();
  }
  if (failed || !db.Exec("COMMIT")) {
    db.Exec("ROLLBACK");
    for (StoreWrite& job : jobs) job.status = StoreStatus::Unavailable;
    Wrote(false);
    return;
  }
  Wrote(true);
  if (freePages_.load(std::memory_order_relaxed) > 0) CountFreePages();  // the upload took some
  for (StoreWrite& job : jobs) {
    if (job.status != StoreStatus::Ok) continue;
    if (job.kind == StoreWrite::Delete) {
      recent_.Erase(job.record.token);
    } else {
      const uint64_t generation = recent_.Generation();
      recent_.Put(std::make_shared<const RingtoneRecord>(std::move(job.record)), generation);
    }
  }
}

void SqliteStore::RunSweep(StoreWrite& job) {
  Connection& db = writer_->connection;
  for (;;) {
    // On a nearly full disk, a few at a time, each batch's log pages given back before the
    // next: the sweep needs no more room than the reserve.
    const bool low = FreeBytes(folder_) < MinFreeBytes + ReserveBytes;
    const int64_t batch = low ? LowSpaceSweepBatch : SweepBatch;
    if (!db.Exec("BEGIN IMMEDIATE")) return;
    const bool marked = writer_->sweepMark.Run(job.now, batch) == SQLITE_DONE;
    writer_->sweepMark.Finish();
    const bool removed = marked && writer_->sweepRemove.Run(job.now, batch) == SQLITE_DONE;
    writer_->sweepRemove.Finish();
    const int changes = sqlite3_changes(db.Db());
    if (!removed || !db.Exec("COMMIT")) {
      db.Exec("ROLLBACK");
      return;
    }
    if (low) GiveSpaceBack();
    if (changes < batch) break;
  }
  const bool forgot = writer_->forget.Run(job.forgetBefore) == SQLITE_DONE;
  writer_->forget.Finish();
  recent_.EraseExpired(job.now);
  if (forgot) job.status = StoreStatus::Ok;
}

StoreStatus SqliteStore::Find(std::string_view token, int64_t now, bool withBytes,
                              RingtoneRecord& record, GoneReason& reason) {
  if (withBytes) {
    if (RecentRingtones::Entry recent = recent_.Get(token)) {
      if (recent->expiresAt > now) {
        // Everything but the bytes, which are lent.
        record.token = recent->token;
        record.createdAt = recent->createdAt;
        record.expiresAt = recent->expiresAt;
        record.phoneNumber = recent->phoneNumber;
        record.carrierId = recent->carrierId;
        record.phoneId = recent->phoneId;
        record.format = recent->format;
        record.songName = recent->songName;
        record.fileName = recent->fileName;
        record.size = recent->size;
        record.downloads = recent->downloads;
        record.bytes.clear();
        record.lent = std::move(recent);
        return StoreStatus::Ok;
      }
      recent_.Erase(token);  // its time is up: the store tells how it went
    }
  }
  const uint64_t generation = recent_.Generation();
  const ReaderPool::Lease reader = readers_.Take();
  if (!reader) return StoreStatus::Unavailable;
  Statement& find = withBytes ? reader->findWithBytes : reader->find;
  StoreStatus status;
  const int rc = find.Run(token);
  if (rc == SQLITE_ROW) {
    record.token.assign(token);
    record.createdAt = find.Int(0);
    record.expiresAt = find.Int(1);
    record.phoneNumber = find.Bytes(2);
    record.carrierId = static_cast<int32_t>(find.Int(3));
    record.phoneId = static_cast<int32_t>(find.Int(4));
    record.format = static_cast<int32_t>(find.Int(5));
    record.songName = find.Bytes(6);
    record.fileName = find.Bytes(7);
    record.size = find.Int(8);
    record.downloads = find.Int(9);
    record.bytes = withBytes ? find.Bytes(10) : std::string();
    status = StoreStatus::Ok;
    if (record.expiresAt <= now) {
      record = RingtoneRecord{};
      reason = GoneReason::Expired;
      status = StoreStatus::Gone;
    }
  } else if (rc == SQLITE_DONE) {
    const int goneRc = reader->gone.Run(token);
    if (goneRc == SQLITE_ROW) {
      reason = reader->gone.Int(0) == static_cast<int64_t>(GoneReason::Deleted) ? GoneReason::Deleted
                                                                               : GoneReason::Expired;
      status = StoreStatus::Gone;
    } else {
      status = goneRc == SQLITE_DONE ? StoreStatus::NotFound : StoreStatus::Unavailable;
    }
    reader->gone.Finish();
  } else {
    status = StoreStatus::Unavailable;
  }
  find.Finish();
  if (status == StoreStatus::Ok && withBytes)
    recent_.Put(std::make_shared<const RingtoneRecord>(record), generation);
  return status;
}

StoreStatus SqliteStore::Totals(StoreTotals& totals) {
  const ReaderPool::Lease reader = readers_.Take();
  if (!reader) return StoreStatus::Unavailable;
  StoreStatus status = StoreStatus::Unavailable;
  if (reader->totals.Run() == SQLITE_ROW) {
    totals.ringtones = reader->totals.Int(0);
    totals.bytes = reader->totals.Int(1);
    status = StoreStatus::Ok;
  }
  reader->totals.Finish();
  return status;
}

void SqliteStore::Close() {
  if (closed_.exchange(true)) return;
  writes_.Close();
  if (writerThread_.joinable()) writerThread_.join();
  { std::lock_guard<std::mutex> wait(commitMutex_); }  // an upload's own commit ends first
  {
    std::lock_guard<std::mutex> lock(keeperMutex_);
    keeperStop_ = true;
    keeperWake_.notify_one();
  }
  if (keeperThread_.joinable()) keeperThread_.join();
  keeper_.reset();
  {
    std::lock_guard<std::mutex> lock(syncMutex_);
    syncStop_ = true;
    syncWake_.notify_one();
  }
  if (syncerThread_.joinable()) syncerThread_.join();
  if (logFd_ >= 0) {
    ::close(logFd_);
    logFd_ = -1;
  }
  readers_.Clear();
  writer_.reset();  // the last connection to close folds the log back into the database
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
}

}  // namespace

std::unique_ptr<RingtoneStore> OpenSqliteStore(const std::string& folder, std::string& error) {
  auto store = std::make_unique<SqliteStore>();
  if (!store->Open(folder, error)) return nullptr;
  return store;
}
