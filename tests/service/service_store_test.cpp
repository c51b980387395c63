// The SQLite store in a folder of its own: what a commit keeps, what is gone, what survives a
// reopen, and many writers at once sharing commits.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "service/sqlite_store.h"

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

TEST(SqliteStore, KeepsFindsDeletesAndSweeps) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path + "/data", error);
  ASSERT_TRUE(store) << error;
  ASSERT_EQ(Add(*store, Sample("tokenA", 100, 1000)), StoreStatus::Ok);
  ASSERT_EQ(Add(*store, Sample("tokenB", 100, 500)), StoreStatus::Ok);
  EXPECT_EQ(Add(*store, Sample("tokenA", 100, 1000)), StoreStatus::Unavailable) << "taken";

  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store->Find("tokenA", 200, true, r, why), StoreStatus::Ok);
  EXPECT_EQ(r.bytes, Sample("tokenA", 0, 0).bytes);
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

TEST(SqliteStore, CountsSurviveAReopenAndOneFolderHasOneService) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  ASSERT_EQ(Add(*store, Sample("tokenC", 1, 1000)), StoreStatus::Ok);
  store->CountDownload("tokenC");
  store->CountDownload("tokenC");
  EXPECT_FALSE(OpenSqliteStore(folder.path, error));
  EXPECT_NE(error.find("another quavella-service"), std::string::npos) << error;
  store->Close();  // writes the counts kept back

  store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
  RingtoneRecord r;
  GoneReason why;
  ASSERT_EQ(store->Find("tokenC", 2, true, r, why), StoreStatus::Ok);
  EXPECT_EQ(r.downloads, 2);
  EXPECT_EQ(r.bytes, Sample("tokenC", 0, 0).bytes);
}

TEST(SqliteStore, ManyWritersShareCommitsAndAllArrive) {
  TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.path, error);
  ASSERT_TRUE(store) << error;
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

}  // namespace
