#include "service/postgres_store.h"

#include <sys/random.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "service/pg_pool.h"
#include "service/pg_schema.h"
#include "service/store_writes.h"

namespace {

constexpr size_t BatchWrites = 64;  // uploads in one statement at most
constexpr int SweepBatch = 256;     // ringtones removed per sweep statement
constexpr std::chrono::seconds CountInterval{1};
// A serving thread waits this long at most for a connection; a writer thread longer.
constexpr std::chrono::milliseconds ReadWait{1000};
constexpr std::chrono::milliseconds WriteWait{5000};
constexpr int64_t HourMs = 3600 * 1000;
// The store's health is tried this often on a thread of its own; it is ready while a try
// succeeded within HealthFresh.
constexpr std::chrono::milliseconds HealthPeriod{1000};
constexpr std::chrono::milliseconds HealthFresh{3000};

#define QV_RECORD_COLUMNS                                                             \
  "r.created_at, r.expires_at, r.phone_number, r.carrier_id, r.phone_id, r.format," \
  " r.song_name, r.file_name, r.size, r.downloads"

// One row for any token: the ringtone's columns, or nulls, and the note of a gone one.
#define QV_FIND(bytes)                                                                 \
  "SELECT g.reason, " QV_RECORD_COLUMNS ", " bytes                                     \
  " FROM (SELECT $1::text AS token) k LEFT JOIN ringtones r ON r.token = k.token"      \
  " LEFT JOIN gone g ON g.token = k.token"

const std::string FindSql = QV_FIND("NULL::bytea");
const std::string FindWithBytesSql = QV_FIND("r.bytes");

const char DeleteSql[] =
    "WITH removed AS (DELETE FROM ringtones WHERE token = $1 AND expires_at > $2 RETURNING token)"
    " INSERT INTO gone (token, reason, gone_at) SELECT token, $3, $2 FROM removed"
    " ON CONFLICT (token) DO UPDATE SET reason = EXCLUDED.reason, gone_at = EXCLUDED.gone_at";
const char KnownSql[] =
    "SELECT (SELECT count(*) FROM ringtones WHERE token = $1)"
    " + (SELECT count(*) FROM gone WHERE token = $1)";
const char SweepSql[] =
    "WITH doomed AS (SELECT token FROM ringtones WHERE expires_at <= $1 ORDER BY expires_at"
    " LIMIT $2 FOR UPDATE SKIP LOCKED),"
    " removed AS (DELETE FROM ringtones r USING doomed d WHERE r.token = d.token"
    " RETURNING r.token, r.expires_at)"
    " INSERT INTO gone (token, reason, gone_at) SELECT token, $3, expires_at FROM removed"
    " ON CONFLICT (token) DO UPDATE SET reason = EXCLUDED.reason, gone_at = EXCLUDED.gone_at";
const std::string TakeUploadsSql =
    "SELECT quavella_take_uploads($1::bigint[], $2::integer[], $3, $4)";
const std::string CountSql =
    "UPDATE ringtones r SET downloads = r.downloads + c.n"
    " FROM unnest($1::text[], $2::bigint[]) AS c(token, n) WHERE r.token = c.token";

// "{a,b}" of tokens or numbers, whose characters need no quoting in an array literal.
template <typename Each>
std::string ArrayText(const std::unordered_map<std::string, int64_t>& counts, Each each) {
  std::string text = "{";
  for (const auto& entry : counts) {
    if (text.size() > 1) text += ',';
    text += each(entry);
  }
  return text + "}";
}

int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class PgRingtoneStore final : public QueuedRingtoneStore {
 public:
  PgRingtoneStore(std::shared_ptr<PgPool> pool, std::function<void(const std::string&)> say)
      : QueuedRingtoneStore(BatchWrites, CountInterval),
        pool_(std::move(pool)),
        say_(std::move(say)) {
    // Writers enough to keep a commit on its way while the next batch gathers; the rest of
    // the pool serves the reads of the serving threads.
    const int writers = std::clamp(pool_->Settings().size / 2, 1, 4);
    for (int i = 0; i < writers; ++i) writers_.emplace_back([this] { WriterLoop(); });
    healthyAt_ = SteadyNow();  // it was just opened
    health_ = std::thread([this] { HealthLoop(); });
  }
  ~PgRingtoneStore() override { Close(); }

  StoreStatus Find(std::string_view token, int64_t now, bool withBytes, RingtoneRecord& record,
                   GoneReason& reason) override;
  StoreStatus Totals(StoreTotals& totals) override;
  StoreStatus Ping() override;
  void Close() override;

 private:
  void WriterLoop();
  void Write(StoreWriteBatch& batch);
  void AddAll(PgConnection& db, std::vector<StoreWrite*>& adds);
  void DeleteOne(PgConnection& db, StoreWrite& write);
  bool WriteCounts(PgConnection& db, const std::unordered_map<std::string, int64_t>& counts);
  void RunSweep(StoreWrite& sweep);
  void Failed(const char* what, const std::string& error) {
    writeFailed_ = true;
    say_(what + (": " + error));
  }
  void HealthLoop();
  // Uploads whose COMMIT went out and got no answer: they may be committed once the database
  // answers again, although they were refused. Each is removed for good once the session
  // that sent it has ended (ended here if need be): nothing refused is kept.
  struct Unknown {
    int backendPid = 0;
    std::vector<std::string> tokens;
  };
  void Forget(PgConnection& db, std::vector<StoreWrite*>& adds);
  void RemoveUnknown(PgConnection& db);
  std::mutex unknownMutex_;
  std::vector<Unknown> unknown_;

  std::shared_ptr<PgPool> pool_;
  std::function<void(const std::string&)> say_;
  std::vector<std::thread> writers_;
  std::atomic<bool> closed_{false};
  std::atomic<bool> writeFailed_{false};  // since the last write that succeeded
  std::atomic<int64_t> healthyAt_{0};    // steady nanoseconds of the last good try; 0 none
  std::thread health_;
  std::mutex healthMutex_;
  std::condition_variable healthWake_;
};

void PgRingtoneStore::HealthLoop() {
  std::unique_lock<std::mutex> lock(healthMutex_);
  while (!closed_) {
    lock.unlock();
    // The database answers, takes writes (not a standby), and, after a write failed (a full
    // disk), writes again.
    PgPool::Lease db = pool_->Take(ReadWait);
    PgResult row;
    std::string error;
    bool ok = db && db->Run("SELECT (NOT pg_is_in_recovery())::integer", PgParams(),
                            pool_->Deadline(), row, error) &&
              row.Rows() == 1 && row.Int(0, 0) == 1;
    if (ok) RemoveUnknown(*db);
    if (ok && writeFailed_) {
      ok = db->Run("UPDATE service_settings SET value = value WHERE name = 'rate_key_salt'",
                   PgParams(), pool_->Deadline(), row, error);
      if (ok) writeFailed_ = false;
    }
    db.Release();
    healthyAt_ = ok ? SteadyNow() : 0;  // a try that fails says so at once
    lock.lock();
    healthWake_.wait_for(lock, HealthPeriod, [this] { return closed_.load(); });
  }
}

void PgRingtoneStore::WriterLoop() {
  StoreWriteBatch batch;
  while (writes_.Next(batch)) {
    if (batch.IsSweep()) RunSweep(batch.writes.front());
    else Write(batch);
    batch.Finish();  // after the connection went back to the pool
  }
}

void PgRingtoneStore::Write(StoreWriteBatch& batch) {
  PgPool::Lease db = pool_->Take(WriteWait);
  if (!db) {  // every write stays Unavailable
    writes_.KeepCounts(batch.downloads);
    return;
  }
  std::vector<StoreWrite*> adds;
  for (StoreWrite& write : batch.writes) {
    if (write.kind == StoreWrite::Add) adds.push_back(&write);
    else DeleteOne(*db, write);
  }
  if (!adds.empty()) AddAll(*db, adds);
  if (!batch.downloads.empty() && !WriteCounts(*db, batch.downloads))
    writes_.KeepCounts(batch.downloads);
}

void PgRingtoneStore::AddAll(PgConnection& db, std::vector<StoreWrite*>& adds) {
  // One statement for them all: one commit, which is on disk before the statement returns.
  // Each upload first looks for a ringtone that is already the same one (a retry kept by
  // another node), through the index on the digest; one that finds it adds nothing.
  std::string sql =
      "WITH u (token, created_at, expires_at, phone_number, carrier_id, phone_id, format,"
      " song_name, file_name, size, bytes, same_since, digest) AS (VALUES ";
  PgParams params;
  int n = 0;
  for (size_t i = 0; i < adds.size(); ++i) {
    const RingtoneRecord& r = adds[i]->record;
    sql += i ? ", (" : "(";
    for (int column = 0; column < 13; ++column) sql += (column ? ", $" : "$") + std::to_string(++n);
    sql += ")";
    params.Text(r.token).Int(r.createdAt).Int(r.expiresAt).Text(r.phoneNumber).Int(r.carrierId)
        .Int(r.phoneId).Int(r.format).Bytes(r.songName).Bytes(r.fileName)
        .Int(static_cast<int64_t>(r.bytes.size())).Bytes(r.bytes).Int(r.sameSince).Int(r.digest);
  }
  sql +=
      "), earlier AS (SELECT u.token, (SELECT k.token FROM ringtones k"
      " WHERE u.same_since > 0 AND k.digest = u.digest AND k.created_at >= u.same_since"
      " AND k.phone_number = u.phone_number AND k.carrier_id = u.carrier_id"
      " AND k.phone_id = u.phone_id AND k.format = u.format AND k.size = u.size"
      " AND k.bytes = u.bytes LIMIT 1) AS same FROM u),"
      " added AS (INSERT INTO ringtones (token, created_at, expires_at, phone_number, carrier_id,"
      " phone_id, format, song_name, file_name, size, bytes, digest)"
      " SELECT u.token, u.created_at, u.expires_at, u.phone_number, u.carrier_id, u.phone_id,"
      " u.format, u.song_name, u.file_name, u.size, u.bytes, u.digest FROM u JOIN earlier e USING (token)"
      " WHERE e.same IS NULL"
      " ON CONFLICT (token) DO NOTHING RETURNING token)"  // a token taken fails alone
      " SELECT token, token FROM added UNION ALL SELECT token, same FROM earlier"
      " WHERE same IS NOT NULL";
  // In a transaction of its own, so that nothing is committed unless the COMMIT is sent: a
  // database that stops answering before it closes this connection, and rolls back when it
  // goes on. Only a COMMIT without an answer leaves the outcome unknown (see Forget).
  PgResult kept;
  std::string error;
  const PgClock::time_point deadline = pool_->Deadline();
  if (!db.Run("BEGIN", deadline, error) || !db.RunPrepared(sql, params, deadline, kept, error)) {
    db.Discard();
    Failed("uploads not stored", error);
    return;
  }
  if (!db.Run("COMMIT", deadline, error)) {
    if (db.Broken()) Forget(db, adds);
    db.Discard();
    Failed("uploads not stored", error);
    return;
  }
  writeFailed_ = false;
  for (int row = 0; row < kept.Rows(); ++row) {
    const std::string token = kept.Bytes(row, 0);
    const std::string same = kept.Bytes(row, 1);
    for (StoreWrite* add : adds) {
      if (add->record.token != token) continue;
      add->status = StoreStatus::Ok;
      if (same != token && add->record.sameAs) *add->record.sameAs = same;
    }
  }
}

void PgRingtoneStore::Forget(PgConnection& db, std::vector<StoreWrite*>& adds) {
  Unknown unknown;
  unknown.backendPid = db.BackendPid();
  for (const StoreWrite* add : adds) unknown.tokens.push_back(add->record.token);
  std::lock_guard<std::mutex> lock(unknownMutex_);
  unknown_.push_back(std::move(unknown));
}

void PgRingtoneStore::RemoveUnknown(PgConnection& db) {
  std::vector<Unknown> left;
  {
    std::lock_guard<std::mutex> lock(unknownMutex_);
    left.swap(unknown_);
  }
  std::vector<Unknown> again;
  for (Unknown& unknown : left) {
    PgResult result;
    std::string error;
    // The session that sent the COMMIT ends first (so that it commits no later), then what
    // it may have committed goes, with no note: its address was never handed out.
    bool done = db.Run("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity"
                       " WHERE pid = $1 AND application_name = 'quavella-service'",
                       PgParams().Int(unknown.backendPid), pool_->Deadline(), result, error) &&
                db.Run("SELECT count(*) FROM pg_stat_activity WHERE pid = $1",
                       PgParams().Int(unknown.backendPid), pool_->Deadline(), result, error) &&
                result.Int(0, 0) == 0;
    if (done) {
      std::string tokens = "{";
      for (const std::string& token : unknown.tokens)
        tokens += (tokens.size() > 1 ? "," : "") + token;
      tokens += "}";
      done = db.Run("DELETE FROM ringtones WHERE token = ANY($1::text[])",
                    PgParams().Text(tokens), pool_->Deadline(), result, error);
    }
    if (!done) again.push_back(std::move(unknown));
  }
  std::lock_guard<std::mutex> lock(unknownMutex_);
  for (Unknown& unknown : again) unknown_.push_back(std::move(unknown));
}

void PgRingtoneStore::DeleteOne(PgConnection& db, StoreWrite& write) {
  const std::string& token = write.record.token;
  PgResult result;
  std::string error;
  if (!db.Run(DeleteSql,
              PgParams().Text(token).Int(write.now).Int(static_cast<int64_t>(GoneReason::Deleted)),
              pool_->Deadline(), result, error)) {
    Failed("a delete failed", error);
    return;
  }
  if (result.Affected() == 1) {
    write.status = StoreStatus::Ok;
    return;
  }
  if (!db.Run(KnownSql, PgParams().Text(token), pool_->Deadline(), result, error)) return;
  write.status = result.Int(0, 0) > 0 ? StoreStatus::Gone : StoreStatus::NotFound;
}

bool PgRingtoneStore::WriteCounts(PgConnection& db,
                                  const std::unordered_map<std::string, int64_t>& counts) {
  const std::string tokens = ArrayText(counts, [](const auto& entry) { return entry.first; });
  const std::string numbers =
      ArrayText(counts, [](const auto& entry) { return std::to_string(entry.second); });
  PgResult ignored;
  std::string error;
  return db.RunPrepared(CountSql, PgParams().Text(tokens).Text(numbers), pool_->Deadline(), ignored, error);
}

void PgRingtoneStore::RunSweep(StoreWrite& sweep) {
  PgPool::Lease db = pool_->Take(WriteWait);
  if (!db) return;
  // One node sweeps at a time: the others find the lock taken and leave the work to it.
  // The lock belongs to the connection, so a node that dies while sweeping lets go of it.
  PgResult result;
  std::string error;
  if (!db->Run("SELECT pg_try_advisory_lock($1)::integer", PgParams().Int(PgSweepLock),
               pool_->Deadline(), result, error)) {
    Failed("the expiry sweep could not start", error);
    return;
  }
  if (result.Int(0, 0) != 1) {
    sweep.status = StoreStatus::Ok;
    return;
  }
  bool ok = true;
  for (;;) {
    ok = db->Run(SweepSql,
                 PgParams().Int(sweep.now).Int(SweepBatch)
                     .Int(static_cast<int64_t>(GoneReason::Expired)),
                 pool_->Deadline(), result, error);
    if (!ok || result.Affected() < SweepBatch) break;
  }
  ok = ok &&
       db->Run("DELETE FROM gone WHERE gone_at < $1", PgParams().Int(sweep.forgetBefore),
               pool_->Deadline(), result, error) &&
       // A bucket untouched for an hour is full again: the same as none.
       db->Run("DELETE FROM upload_buckets WHERE updated_ms < $1",
               PgParams().Int(sweep.now * 1000 - HourMs), pool_->Deadline(), result, error);
  if (!ok) Failed("the expiry sweep stopped", error);
  std::string ignored;
  if (!db->Run("SELECT pg_advisory_unlock($1)::integer", PgParams().Int(PgSweepLock),
               pool_->Deadline(), result, ignored) ||
      result.Int(0, 0) != 1)
    db->Discard();  // closing the session lets go of the lock, so that the sweep goes on
  if (ok) sweep.status = StoreStatus::Ok;
}

StoreStatus PgRingtoneStore::Find(std::string_view token, int64_t now, bool withBytes,
                                  RingtoneRecord& record, GoneReason& reason) {
  PgPool::Lease db = pool_->Take(ReadWait);
  if (!db) return StoreStatus::Unavailable;
  PgResult row;
  std::string error;
  if (!db->RunPrepared(withBytes ? FindWithBytesSql : FindSql, PgParams().Text(token),
                       pool_->Deadline(), row, error) ||
      row.Rows() != 1)
    return StoreStatus::Unavailable;
  db.Release();
  if (!row.IsNull(0, 1)) {
    record.expiresAt = row.Int(0, 2);
    if (record.expiresAt <= now) {
      record = RingtoneRecord{};
      reason = GoneReason::Expired;
      return StoreStatus::Gone;
    }
    record.token.assign(token);
    record.createdAt = row.Int(0, 1);
    record.phoneNumber = row.Bytes(0, 3);
    record.carrierId = static_cast<int32_t>(row.Int(0, 4));
    record.phoneId = static_cast<int32_t>(row.Int(0, 5));
    record.format = static_cast<int32_t>(row.Int(0, 6));
    record.songName = row.Bytes(0, 7);
    record.fileName = row.Bytes(0, 8);
    record.size = row.Int(0, 9);
    record.downloads = row.Int(0, 10);
    record.bytes = withBytes ? row.Bytes(0, 11) : std::string();
    return StoreStatus::Ok;
  }
  if (row.IsNull(0, 0)) return StoreStatus::NotFound;
  reason = row.Int(0, 0) == static_cast<int64_t>(GoneReason::Deleted) ? GoneReason::Deleted
                                                                      : GoneReason::Expired;
  return StoreStatus::Gone;
}

StoreStatus PgRingtoneStore::Totals(StoreTotals& totals) {
  PgPool::Lease db = pool_->Take(ReadWait);
  if (!db) return StoreStatus::Unavailable;
  PgResult row;
  std::string error;
  if (!db->Run("SELECT count(*), coalesce(sum(size), 0)::bigint FROM ringtones", PgParams(),
               pool_->Deadline(), row, error) ||
      row.Rows() != 1)
    return StoreStatus::Unavailable;
  totals.ringtones = row.Int(0, 0);
  totals.bytes = row.Int(0, 1);
  return StoreStatus::Ok;
}

StoreStatus PgRingtoneStore::Ping() {
  // Never waits: the health thread has tried the database.
  const int64_t at = healthyAt_;
  const bool fresh = at != 0 && SteadyNow() - at <
                     std::chrono::duration_cast<std::chrono::nanoseconds>(HealthFresh).count();
  return fresh && !writeFailed_ ? StoreStatus::Ok : StoreStatus::Unavailable;
}

void PgRingtoneStore::Close() {
  {
    std::lock_guard<std::mutex> lock(healthMutex_);
    if (closed_.exchange(true)) return;
  }
  healthWake_.notify_all();
  if (health_.joinable()) health_.join();
  writes_.Close();  // the writers finish what was asked, then return
  for (std::thread& writer : writers_) writer.join();
  pool_->Stop();
}

// The same buckets as RateLimiter's (N uploads, refilled at N per hour), kept in the
// database. The uploads that ask while a call is on its way wait for it, and then go in one
// call together (the schema's quavella_take_uploads): one transaction and one lock of each
// bucket for all of them, rather than each upload queueing for the same buckets' locks.
class PgUploadLimiter final : public UploadLimiter {
 public:
  PgUploadLimiter(std::shared_ptr<PgPool> pool, uint32_t perHour, uint64_t salt)
      : pool_(std::move(pool)), perHour_(std::max<uint32_t>(perHour, 1)), salt_(salt) {}

  LimitAnswer TakeUpload(std::initializer_list<std::string_view> keys, int64_t nowMs) override {
    Asking mine;
    for (std::string_view key : keys) mine.hashes.push_back(static_cast<int64_t>(RateKeyHash(salt_, key)));
    std::sort(mine.hashes.begin(), mine.hashes.end());
    mine.hashes.erase(std::unique(mine.hashes.begin(), mine.hashes.end()), mine.hashes.end());
    if (mine.hashes.empty()) return LimitAnswer::Taken;
    mine.nowMs = nowMs;
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_.push_back(&mine);
    while (!mine.done) {
      if (calling_) {
        answered_.wait(lock);
        continue;
      }
      calling_ = true;
      std::vector<Asking*> batch;
      batch.swap(waiting_);
      lock.unlock();
      TakeAll(batch);
      lock.lock();
      for (Asking* asking : batch) asking->done = true;
      calling_ = false;
      answered_.notify_all();
    }
    return mine.answer;
  }

 private:
  struct Asking {
    std::vector<int64_t> hashes;  // sorted, distinct
    int64_t nowMs = 0;
    LimitAnswer answer = LimitAnswer::Unavailable;
    bool done = false;
  };

  void TakeAll(std::vector<Asking*>& batch) {
    // Numbers only: nothing from outside reaches the text.
    std::string keys = "{", owners = "{";
    int64_t nowMs = 0;
    for (size_t i = 0; i < batch.size(); ++i) {
      nowMs = std::max(nowMs, batch[i]->nowMs);
      for (int64_t hash : batch[i]->hashes) {
        if (keys.size() > 1) {
          keys += ',';
          owners += ',';
        }
        keys += std::to_string(hash);
        owners += std::to_string(i + 1);
      }
    }
    keys += '}';
    owners += '}';
    PgPool::Lease db = pool_->Take(ReadWait);
    if (!db) return;  // every one stays Unavailable
    PgResult taken;
    std::string error;
    if (!db->RunPrepared(TakeUploadsSql, PgParams().Text(keys).Text(owners).Int(perHour_).Int(nowMs),
                         pool_->Deadline(), taken, error) ||
        taken.Rows() != 1)
      return;
    const std::string answers = taken.Bytes(0, 0);
    if (answers.size() != batch.size()) return;
    for (size_t i = 0; i < batch.size(); ++i)
      batch[i]->answer = answers[i] == '1' ? LimitAnswer::Taken : LimitAnswer::Over;
  }

  std::shared_ptr<PgPool> pool_;
  const uint32_t perHour_;
  const uint64_t salt_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<Asking*> waiting_;
  bool calling_ = false;  // a call to the database is on its way
};

// The salt of the limiter's keys, the same for every node: the first node to start picks it.
bool SharedSalt(PgConnection& db, uint64_t& salt, std::string& error) {
  uint64_t mine = 0;
  if (getrandom(&mine, sizeof mine, 0) != static_cast<ssize_t>(sizeof mine)) {
    error = "no random salt";
    return false;
  }
  PgResult row;
  const auto deadline = PgClock::now() + std::chrono::seconds(30);
  if (!db.Run("INSERT INTO service_settings (name, value) VALUES ('rate_key_salt', $1)"
              " ON CONFLICT (name) DO NOTHING",
              PgParams().Int(static_cast<int64_t>(mine)), deadline, row, error) ||
      !db.Run("SELECT value FROM service_settings WHERE name = 'rate_key_salt'", PgParams(),
              deadline, row, error) ||
      row.Rows() != 1)
    return false;
  salt = static_cast<uint64_t>(row.Int(0, 0));
  return true;
}

}  // namespace

bool OpenPostgresStore(const PostgresSettings& settings,
                       std::function<void(const std::string&)> say, PostgresStore& opened,
                       std::string& error) {
  PgPoolSettings poolSettings;
  poolSettings.url = settings.url;
  poolSettings.size = std::max(settings.connections, 2);
  poolSettings.statementTimeout = settings.statementTimeout;
  auto pool = std::make_shared<PgPool>(poolSettings, say);
  if (!pool->Start(error)) {
    error = "the database cannot be reached: " + error;
    return false;
  }
  uint64_t salt = 0;
  {
    PgPool::Lease db = pool->Take(ReadWait);
    std::vector<std::string> applied;
    if (!db || !MigratePgSchema(*db, 0, applied, error) || !SharedSalt(*db, salt, error)) {
      if (!db) error = "the database cannot be reached";
      return false;
    }
    for (const std::string& line : applied) say(line);
  }
  opened.limiter = std::make_unique<PgUploadLimiter>(pool, settings.uploadsPerHour, salt);
  opened.store = std::make_unique<PgRingtoneStore>(pool, std::move(say));
  return true;
}
