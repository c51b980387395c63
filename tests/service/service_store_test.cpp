// Both stores, each in a place of its own: what a commit keeps, what is gone, what survives a
// reopen, and many writers at once sharing commits; then what is the embedded store's alone
// (one service per folder) and PostgreSQL's (schema migrations, the expiry sweep of one node
// at a time, the statement timeout, reconnecting, the pool's bound, the shared upload limits).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "service/pg_connection.h"
#include "service/pg_schema.h"
#include "service/sqlite_store.h"
#include "tests/service/test_stores.h"

namespace {

struct TempFolder {
  std::string path;
  TempFolder() {
    char pattern[] = "/tmp/qv-store-test.XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
};

RingtoneRecord Sample(const std::string& token, int64_t created, int64_t expires) {
  RingtoneRecord r;
  r.token = token;
  r.createdAt = created;
  r.expiresAt = expires;
  r.phoneNumber = "5551234567";
  r.carrierId = 1;
  r.phoneId = 2;
  r.format = 2;
  r.songName = "Song \xE9";
  r.fileName = "12.mp3";
  r.bytes = std::string("RIFF\0\0", 6) + token;
  r.size = static_cast<int64_t>(r.bytes.size());
  return r;
}

StoreStatus Wait(const std::function<void(RingtoneStore::Done)>& start) {
  std::promise<StoreStatus> done;
  start([&done](StoreStatus status) { done.set_value(status); });
  return done.get_future().get();
}

StoreStatus Add(RingtoneStore& store, RingtoneRecord record) {
  return Wait([&](RingtoneStore::Done done) { store.Add(std::move(record), std::move(done)); });
}

class EitherStore : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    place_ = std::make_unique<TestStorePlace>(GetParam(), error_);
    ASSERT_TRUE(place_->Open(store_, limiter_, error_)) << error_;
  }
  void Reopen() {
    store_->Close();
    store_.reset();
    ASSERT_TRUE(place_->Open(store_, limiter_, error_)) << error_;
  }
  std::string error_;
  std::unique_ptr<TestStorePlace> place_;
  std::unique_ptr<RingtoneStore> store_;
  std::unique_ptr<UploadLimiter> limiter_;
};

INSTANTIATE_TEST_SUITE_P(Stores, EitherStore,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres), StoreKindName);

TEST_P(EitherStore, KeepsFindsDeletesAndSweeps) {
  auto& store = store_;
  ASSERT_EQ(Add(*store, Sample("tokenA", 100, 1000)), StoreStatus::Ok);
  ASSERT_EQ(Add(*store, Sample("tokenB", 100, 500)), StoreStatus::Ok);
  EXPECT_EQ(Add(*store, Sample("tokenA", 100, 1000)), StoreStatus::Unavailable) << "taken";

  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store->Find("tokenA", 200, true, r, why), StoreStatus::Ok);
  EXPECT_EQ(r.Bytes(), Sample("tokenA", 0, 0).bytes);
  EXPECT_EQ(r.songName, "Song \xE9");
  EXPECT_EQ(r.phoneNumber, "5551234567");
  EXPECT_EQ(r.size, 12);
  ASSERT_EQ(store->Find("tokenA", 200, false, r, why), StoreStatus::Ok);
  EXPECT_TRUE(r.bytes.empty());
  EXPECT_EQ(store->Find("nothing", 200, false, r, why), StoreStatus::NotFound);
  // Its time is up even before a sweep, with or without its bytes (kept in memory or not).
  for (bool withBytes : {true, false}) {
    ASSERT_EQ(store->Find("tokenB", 500, withBytes, r, why), StoreStatus::Gone);
    EXPECT_EQ(why, GoneReason::Expired);
    EXPECT_TRUE(r.phoneNumber.empty());
  }

  EXPECT_EQ(Wait([&](auto done) { store->Delete("tokenA", 200, done); }), StoreStatus::Ok);
  ASSERT_EQ(store->Find("tokenA", 200, true, r, why), StoreStatus::Gone);
  EXPECT_EQ(why, GoneReason::Deleted);
  EXPECT_EQ(Wait([&](auto done) { store->Delete("tokenA", 200, done); }), StoreStatus::Gone);
  EXPECT_EQ(Wait([&](auto done) { store->Delete("tokenB", 600, done); }), StoreStatus::Gone);
  EXPECT_EQ(Wait([&](auto done) { store->Delete("nothing", 600, done); }), StoreStatus::NotFound);

  StoreTotals totals;
  ASSERT_EQ(store->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, 1);  // B is past its time but not swept yet
  EXPECT_EQ(Wait([&](auto done) { store->Sweep(600, 0, done); }), StoreStatus::Ok);
  ASSERT_EQ(store->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, 0);
  ASSERT_EQ(store->Find("tokenB", 600, false, r, why), StoreStatus::Gone);
  EXPECT_EQ(why, GoneReason::Expired);
  // Notes of gone ringtones are forgotten after a while: then the token is unknown.
  EXPECT_EQ(Wait([&](auto done) { store->Sweep(10000, 9000, done); }), StoreStatus::Ok);
  EXPECT_EQ(store->Find("tokenB", 10000, false, r, why), StoreStatus::NotFound);
  EXPECT_EQ(store->Find("tokenA", 10000, false, r, why), StoreStatus::NotFound);
  store->Close();
  EXPECT_EQ(Add(*store, Sample("late", 1, 2)), StoreStatus::Unavailable) << "closed";
}

TEST_P(EitherStore, CountsSurviveAReopen) {
  ASSERT_EQ(Add(*store_, Sample("tokenC", 1, 1000)), StoreStatus::Ok);
  store_->CountDownload("tokenC");
  store_->CountDownload("tokenC");
  Reopen();  // closing writes the counts kept back
  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store_->Find("tokenC", 2, true, r, why), StoreStatus::Ok);
  EXPECT_EQ(r.downloads, 2);
  EXPECT_EQ(r.Bytes(), Sample("tokenC", 0, 0).bytes);
  EXPECT_EQ(r.songName, "Song \xE9") << "the Windows code page, as sent";
}

// Every byte of every file in `folder`.
std::string FolderBytes(const std::string& folder) {
  std::string all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return all;
}

TEST(SqliteStore, DeletedAndExpiredRingtonesLeaveNoTrace) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  const int64_t now = 1700000000;
  const struct { const char* token; const char* number; const char* song; int64_t expires; } kept[] = {
      {"DeletedAAAAAAAAAAAAAAA", "5550001111", "FirstSecretSong", now + 1000},
      {"ExpiredAAAAAAAAAAAAAAA", "5550002222", "SecondSecretSong", now + 10},
  };
  for (const auto& k : kept) {
    RingtoneRecord r = Sample(k.token, now, k.expires);
    r.phoneNumber = k.number;
    r.songName = k.song;
    r.bytes = std::string("RIFF") + "BytesOf" + k.song;
    ASSERT_EQ(Add(*store, r), StoreStatus::Ok);
    RingtoneRecord found;
    GoneReason why;
    ASSERT_EQ(store->Find(k.token, now, true, found, why), StoreStatus::Ok);  // and in memory
  }
  ASSERT_EQ(Wait([&](RingtoneStore::Done done) { store->Delete(kept[0].token, now, done); }),
            StoreStatus::Ok);
  ASSERT_EQ(Wait([&](RingtoneStore::Done done) { store->Sweep(now + 10, 0, done); }),
            StoreStatus::Ok);
  // The log was emptied with the commit: no file holds them once the store has answered.
  const std::string files = FolderBytes(folder.path);
  for (const auto& k : kept)
    for (const char* trace : {k.number, k.song})
      EXPECT_EQ(files.find(trace), std::string::npos) << trace;
  // Nor does the memory of recent ringtones: asked at a time before its expiry, the swept one
  // is not served from there.
  RingtoneRecord found;
  GoneReason why;
  EXPECT_EQ(store->Find(kept[1].token, now + 5, true, found, why), StoreStatus::Gone);
  store->Close();
}

TEST(SqliteStore, AFullDiskIsNotReadyUntilThereIsRoomAgain) {
  TempFolder folder;
  if (::mount("tmpfs", folder.path.c_str(), "tmpfs", 0, "size=16m") != 0)
    GTEST_SKIP() << "a small disk of its own needs root";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{folder.path};
  std::string error;
  auto store = OpenSqliteStore(folder.path + "/data", error);
  ASSERT_TRUE(store) << error;
  EXPECT_EQ(store->Ping(), StoreStatus::Ok);
  const std::string filler = folder.path + "/filler";
  {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(1 << 16, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  }
  RingtoneRecord large = Sample("FullAAAAAAAAAAAAAAAAAA", 1, 1000);
  large.bytes.append(300000, 'b');
  EXPECT_EQ(Add(*store, large), StoreStatus::Unavailable);
  EXPECT_EQ(store->Ping(), StoreStatus::Unavailable) << "a full disk is not ready";
  std::filesystem::remove(filler);
  EXPECT_EQ(store->Ping(), StoreStatus::Ok) << "ready again by itself";
  EXPECT_EQ(Add(*store, large), StoreStatus::Ok);
  store->Close();
}

TEST(SqliteStore, UploadsStopAtTheReserveAndDeletesAndTheSweepGoOnOnAFullDisk) {
  TempFolder folder;
  if (::mount("tmpfs", folder.path.c_str(), "tmpfs", 0, "size=24m") != 0)
    GTEST_SKIP() << "a small disk of its own needs root";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{folder.path};
  const std::string data = folder.path + "/data";
  std::string error;
  auto store = OpenSqliteStore(data, error);
  ASSERT_TRUE(store) << error;
  // Uploads of 100 KB, half of them expiring at 1000, until one is refused: with room left.
  std::vector<std::string> kept;
  for (int i = 0; i < 1000; ++i) {
    char token[23];
    std::snprintf(token, sizeof token, "Full%018d", i);
    RingtoneRecord r = Sample(token, 1, i % 2 ? 1000 : 1000000);
    r.bytes.assign(100000, static_cast<char>('a' + i % 26));
    if (Add(*store, r) != StoreStatus::Ok) break;
    kept.push_back(token);
  }
  ASSERT_GE(kept.size(), 10u);
  EXPECT_GT(std::filesystem::space(data).available, 1u << 20) << "refused before the disk is full";
  // Something else fills the disk to the last byte.
  const std::string filler = folder.path + "/filler";
  {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  }
  auto removed = [&](const std::string& token) {
    std::promise<StoreStatus> done;
    store->Delete(token, 2, [&](StoreStatus status) { done.set_value(status); });
    return done.get_future().get();
  };
  EXPECT_EQ(removed(kept[0]), StoreStatus::Ok) << "a person deletes their number";
  store->Close();
  store = OpenSqliteStore(data, error);
  ASSERT_TRUE(store) << "opens again on a full disk: " << error;
  EXPECT_EQ(removed(kept[2]), StoreStatus::Ok) << "and after a restart";
  std::promise<StoreStatus> swept;
  store->Sweep(2000, 0, [&](StoreStatus status) { swept.set_value(status); });
  EXPECT_EQ(swept.get_future().get(), StoreStatus::Ok);
  RingtoneRecord found;
  GoneReason why;
  EXPECT_EQ(store->Find(kept[1], 2000, false, found, why), StoreStatus::Gone);
  // The disk is still full: the expired ones' space takes the next uploads.
  EXPECT_EQ(store->Ping(), StoreStatus::Ok);
  RingtoneRecord again = Sample("FullAgainAAAAAAAAAAAAA", 2000, 1000000);
  again.bytes.assign(100000, 'z');
  EXPECT_EQ(Add(*store, again), StoreStatus::Ok);
  store->Close();
}

TEST(SqliteStore, TheLogIsFoldedBackBesideTheCommits) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  // 10 MB of uploads and no delete: the store's own thread folds the log back into the
  // database while the commits go on, so the database file grows (it would not before the
  // log's 16 MB if the commits folded it).
  for (int i = 0; i < 100; ++i) {
    RingtoneRecord r = Sample("Fold" + std::to_string(i), 1, 1000);
    r.bytes.append(100000, static_cast<char>(i));
    ASSERT_EQ(Add(*store, r), StoreStatus::Ok);
  }
  const std::string database = folder.path + "/ringtones.db";
  for (int tries = 0; tries < 200 && std::filesystem::file_size(database) < 10000000; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GE(std::filesystem::file_size(database), 10000000u);
  store->Close();
}

TEST(SqliteStore, AnUploadAloneIsCommittedByTheThreadThatAsks) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  // Nothing else on its way: committed, flushed and answered before Add returns.
  StoreStatus status = StoreStatus::Unavailable;
  std::thread::id answeredOn;
  store->Add(Sample("Alone", 1, 100), [&](StoreStatus s) {
    status = s;
    answeredOn = std::this_thread::get_id();
  });
  EXPECT_EQ(status, StoreStatus::Ok);
  EXPECT_EQ(answeredOn, std::this_thread::get_id());
  RingtoneRecord r;
  GoneReason why;
  EXPECT_EQ(store->Find("Alone", 2, true, r, why), StoreStatus::Ok);
  store->Close();
}

TEST(SqliteStore, OneFolderHasOneService) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  EXPECT_FALSE(OpenSqliteStore(folder.path, error));
  EXPECT_NE(error.find("another quavella-service"), std::string::npos) << error;
}

TEST_P(EitherStore, ManyWritersShareCommitsAndAllArrive) {
  auto& store = store_;
  constexpr int Writers = 8, Each = 40;
  std::atomic<int> ok{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < Writers; ++w)
    threads.emplace_back([&, w] {
      for (int i = 0; i < Each; ++i)
        if (Add(*store, Sample("t" + std::to_string(w) + "-" + std::to_string(i), 1, 100)) ==
            StoreStatus::Ok)
          ++ok;
    });
  // Readers run beside them.
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    RingtoneRecord r;
    GoneReason why;
    while (!stop) store->Find("t0-0", 2, true, r, why);
  });
  for (std::thread& t : threads) t.join();
  stop = true;
  reader.join();
  EXPECT_EQ(ok, Writers * Each);
  StoreTotals totals;
  ASSERT_EQ(store->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, Writers * Each);
}

TEST(SqliteStore, RefusesFoldersItCannotUse) {
  TempFolder folder;
  std::string error;
  const std::string file = folder.path + "/plain-file";
  { std::ofstream(file) << "x"; }
  EXPECT_FALSE(OpenSqliteStore(file, error));
  EXPECT_FALSE(error.empty());
  // A database of a later schema is left alone.
  {
    auto store = OpenSqliteStore(folder.path + "/newer", error);
    ASSERT_TRUE(store) << error;
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder.path + "/newer/ringtones.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  EXPECT_FALSE(OpenSqliteStore(folder.path + "/newer", error));
  EXPECT_NE(error.find("newer"), std::string::npos) << error;
}

// PostgreSQL's own: what the embedded store has no need of.
class PostgresStoreTest : public ::testing::Test {
 protected:
  using Rows = std::vector<std::vector<std::string>>;
  void SetUp() override {
    place_ = std::make_unique<TestStorePlace>(StoreKind::Postgres, error_);
    ASSERT_FALSE(place_->Url().empty()) << error_;
  }
  Rows Sql(const std::string& sql) {
    Rows rows;
    EXPECT_TRUE(RunTestSql(place_->Url(), sql, error_, &rows)) << sql << ": " << error_;
    return rows;
  }
  // A client of its own, as another node would hold one.
  std::unique_ptr<PgConnection> OtherNode() {
    auto connection = PgConnection::Open(place_->Url(), std::chrono::seconds(5),
                                         std::chrono::milliseconds(10000), error_);
    EXPECT_TRUE(connection) << error_;
    return connection;
  }
  static PgClock::time_point Soon() { return PgClock::now() + std::chrono::seconds(10); }
  int64_t Stored(RingtoneStore& store) {
    StoreTotals totals;
    EXPECT_EQ(store.Totals(totals), StoreStatus::Ok);
    return totals.ringtones;
  }

  std::string error_;
  std::unique_ptr<TestStorePlace> place_;
  std::unique_ptr<RingtoneStore> store_;
  std::unique_ptr<UploadLimiter> limiter_;
};

TEST_F(PostgresStoreTest, MigrationsBringAnOlderSchemaUpAndANewerOneIsLeftAlone) {
  {
    auto older = OtherNode();  // as a service that knew only the first migration left it
    ASSERT_TRUE(older);
    std::vector<std::string> applied;
    ASSERT_TRUE(MigratePgSchema(*older, 1, applied, error_)) << error_;
    EXPECT_EQ(applied.size(), 1u);
  }
  Sql("INSERT INTO ringtones (token, created_at, expires_at, phone_number, carrier_id, phone_id,"
      " format, song_name, file_name, size, bytes) VALUES ('kept', 1, 5000, '5551234567', 1, 2,"
      " 2, 'song', 'a.wav', 4, 'RIFF')");
  ASSERT_TRUE(place_->Open(store_, limiter_, error_)) << error_;
  EXPECT_EQ(Sql("SELECT version FROM quavella_schema ORDER BY version"), (Rows{{"1"}, {"2"}, {"3"}, {"4"}}));
  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store_->Find("kept", 2, true, r, why), StoreStatus::Ok) << "kept across the migration";
  EXPECT_EQ(r.Bytes(), "RIFF");
  EXPECT_EQ(limiter_->TakeUpload({"number:1"}, 0), LimitAnswer::Taken) << "the new table works";
  store_->Close();
  auto again = OtherNode();
  std::vector<std::string> applied;
  ASSERT_TRUE(MigratePgSchema(*again, 0, applied, error_)) << error_;
  EXPECT_TRUE(applied.empty()) << "nothing twice";

  Sql("INSERT INTO quavella_schema (version, description) VALUES (99, 'from a later service')");
  EXPECT_FALSE(place_->Open(store_, limiter_, error_));
  EXPECT_NE(error_.find("newer quavella-service"), std::string::npos) << error_;
}

TEST_F(PostgresStoreTest, OneNodeSweepsAtATime) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_)) << error_;
  ASSERT_EQ(Add(*store_, Sample("due", 100, 500)), StoreStatus::Ok);
  auto other = OtherNode();
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->Run(("SELECT pg_advisory_lock(" + std::to_string(PgSweepLock) + ")").c_str(),
                         Soon(), error_)) << error_;
  EXPECT_EQ(Wait([&](auto done) { store_->Sweep(600, 0, done); }), StoreStatus::Ok);
  EXPECT_EQ(Stored(*store_), 1) << "left to the node that sweeps";
  ASSERT_TRUE(other->Run(("SELECT pg_advisory_unlock(" + std::to_string(PgSweepLock) + ")").c_str(),
                         Soon(), error_)) << error_;
  EXPECT_EQ(Wait([&](auto done) { store_->Sweep(600, 0, done); }), StoreStatus::Ok);
  EXPECT_EQ(Stored(*store_), 0);
  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store_->Find("due", 600, false, r, why), StoreStatus::Gone);
  EXPECT_EQ(why, GoneReason::Expired);
}

TEST_F(PostgresStoreTest, AStatementPastItsTimeoutFailsAndTheStoreGoesOn) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_, 1000, 300)) << error_;
  ASSERT_EQ(Add(*store_, Sample("held", 1, 5000)), StoreStatus::Ok);
  auto other = OtherNode();
  ASSERT_TRUE(other);
  std::vector<PgResult> results;
  ASSERT_TRUE(other->RunScript("BEGIN; SELECT 1 FROM ringtones WHERE token = 'held' FOR UPDATE",
                               Soon(), results, error_)) << error_;
  EXPECT_EQ(Wait([&](auto done) { store_->Delete("held", 2, done); }), StoreStatus::Unavailable)
      << "the row is held past the statement timeout";
  ASSERT_TRUE(other->Run("ROLLBACK", Soon(), error_)) << error_;
  EXPECT_EQ(Wait([&](auto done) { store_->Delete("held", 2, done); }), StoreStatus::Ok);
}

TEST_F(PostgresStoreTest, ConnectionsTheServerEndedAreReplacedWithTheirStatementsPreparedAgain) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_)) << error_;
  // The same statements before and after: the new connections prepare them again.
  ASSERT_EQ(Add(*store_, Sample("before", 1, 5000)), StoreStatus::Ok);
  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store_->Find("before", 2, true, r, why), StoreStatus::Ok);
  ASSERT_EQ(limiter_->TakeUpload({"number:1", "address:a"}, 0), LimitAnswer::Taken);
  const Rows ended = Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname ="
                         " current_database() AND application_name = 'quavella-service'");
  EXPECT_FALSE(ended.empty());
  // pg_terminate_backend only signals: wait until the server has ended them, so that their
  // sockets are closed before the pool is used again.
  for (int i = 0; i < 500; ++i) {
    const Rows left = Sql("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
                          " AND application_name = 'quavella-service'");
    if (!left.empty() && !left[0].empty() && left[0][0] == "0") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // A connection the pool was opening at that moment may have been ended as well: the pool
  // then waits a moment before it tries again.
  StoreStatus found = StoreStatus::Unavailable;
  for (int i = 0; i < 250 && found == StoreStatus::Unavailable; ++i) {
    found = store_->Find("before", 2, true, r, why);
    if (found == StoreStatus::Unavailable) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(found, StoreStatus::Ok);
  EXPECT_EQ(Add(*store_, Sample("after", 1, 5000)), StoreStatus::Ok);
  EXPECT_EQ(limiter_->TakeUpload({"number:1", "address:a"}, 0), LimitAnswer::Taken);
}

TEST_F(PostgresStoreTest, ThePoolStaysWithinItsBound) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_, 1000, 0, 3)) << error_;
  ASSERT_EQ(Add(*store_, Sample("read", 1, 5000)), StoreStatus::Ok);
  std::atomic<bool> stop{false};
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 12; ++t)
    threads.emplace_back([&, t] {
      RingtoneRecord r;
      GoneReason why;
      for (int i = 0; i < 30; ++i) {
        if (store_->Find("read", 2, true, r, why) != StoreStatus::Ok) ++failed;
        if (i % 10 == 0 && Add(*store_, Sample("w" + std::to_string(t) + "-" + std::to_string(i), 1, 5000)) != StoreStatus::Ok)
          ++failed;
      }
    });
  int most = 0;
  // At least one look, even when a loaded machine runs the callers to their end first: the
  // pool's connections stay open, so the count is still seen then.
  std::thread watch([&] {
    do {
      std::vector<std::vector<std::string>> rows;
      std::string error;
      if (RunTestSql(place_->Url(), "SELECT count(*) FROM pg_stat_activity WHERE datname ="
                     " current_database() AND application_name = 'quavella-service'", error, &rows))
        most = std::max(most, std::stoi(rows[0][0]));
    } while (!stop);
  });
  for (std::thread& thread : threads) thread.join();
  stop = true;
  watch.join();
  EXPECT_EQ(failed, 0) << "callers wait for a connection rather than fail";
  EXPECT_GE(most, 1);
  EXPECT_LE(most, 3);
}

// The buckets in the database decide as the node's own do, whichever node asks.
TEST_F(PostgresStoreTest, SharedUploadLimitsDecideAsTheNodesOwnDo) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_, 3)) << error_;
  std::unique_ptr<RingtoneStore> storeB;
  std::unique_ptr<UploadLimiter> limiterB;
  ASSERT_TRUE(place_->Open(storeB, limiterB, error_, 3)) << error_;
  RateLimiter own(3, 42);
  constexpr int64_t hour = 3600 * 1000;
  const struct {
    std::string number, address;
    int64_t at;
  } takes[] = {
      {"1", "x", 0},  {"1", "x", 0},        {"1", "x", 0},          {"1", "y", 0},
      {"2", "y", 0},  {"3", "x", 0},        {"1", "z", hour / 3 - 1}, {"1", "z", hour / 3},
      {"1", "z", hour / 3}, {"1", "w", 10 * hour}, {"1", "w", 10 * hour}, {"1", "w", 10 * hour},
      {"1", "w", 10 * hour},
  };
  int i = 0;
  for (const auto& take : takes) {
    UploadLimiter& shared = i++ % 2 ? *limiterB : *limiter_;
    const std::string number = "number:" + take.number, address = "address:" + take.address;
    const LimitAnswer expected = own.TakeUpload({number, address}, take.at);
    EXPECT_EQ(shared.TakeUpload({number, address}, take.at), expected) << "take " << i;
  }
  EXPECT_EQ(Sql("SELECT count(*) FROM upload_buckets"), (Rows{{"7"}})) << "hashes, one per key";
  storeB->Close();
}

TEST_F(PostgresStoreTest, UploadsAskingTogetherOnTwoNodesGetTheLimitExactly) {
  ASSERT_TRUE(place_->Open(store_, limiter_, error_, 5)) << error_;
  std::unique_ptr<RingtoneStore> storeB;
  std::unique_ptr<UploadLimiter> limiterB;
  ASSERT_TRUE(place_->Open(storeB, limiterB, error_, 5)) << error_;
  std::atomic<int> answers[3] = {};  // Taken, Over, Unavailable
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t)
    threads.emplace_back([&, t] {
      UploadLimiter& limiter = t % 2 ? *limiterB : *limiter_;
      const LimitAnswer answer = limiter.TakeUpload({"number:1", "address:" + std::to_string(t)}, 0);
      ++answers[answer == LimitAnswer::Taken ? 0 : answer == LimitAnswer::Over ? 1 : 2];
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(answers[0], 5);
  EXPECT_EQ(answers[1], 11);
  EXPECT_EQ(answers[2], 0);
  EXPECT_EQ(Sql("SELECT count(*) FROM upload_buckets WHERE uploads = 5"), (Rows{{"11"}}))
      << "a refused upload takes from none of its buckets";
  storeB->Close();
}

}  // namespace
