// The two stores the service's tests run against: SQLite in a folder of its own, and
// PostgreSQL in a database of its own on the tests' server (started once for all of them by
// ctest, see tests/service/postgres_fixture.sh; its URL is in the file that QV_TEST_POSTGRES
// names).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/rate_limiter.h"
#include "service/ringtone_store.h"

enum class StoreKind { Sqlite, Postgres };

// "Sqlite", "Postgres": the suffix of a parameterised test's name.
std::string StoreKindName(const testing::TestParamInfo<StoreKind>& info);

// A new, empty place for one store, removed with it: a folder, or a database made afresh.
class TestStorePlace {
 public:
  TestStorePlace(StoreKind kind, std::string& error);
  ~TestStorePlace();
  TestStorePlace(const TestStorePlace&) = delete;
  TestStorePlace& operator=(const TestStorePlace&) = delete;

  StoreKind Kind() const { return kind_; }
  const std::string& Folder() const { return folder_; }  // Sqlite: the folder for the store
  const std::string& Url() const { return url_; }         // Postgres: the database's URL

  // Opens the store there, with the upload limiter that goes with it (N per hour). A
  // statement timeout other than the default for PostgreSQL, in milliseconds, when not 0.
  bool Open(std::unique_ptr<RingtoneStore>& store, std::unique_ptr<UploadLimiter>& limiter,
            std::string& error, uint32_t perHour = 1000, int statementTimeoutMs = 0,
            int connections = 8);

 private:
  StoreKind kind_;
  std::string folder_;
  std::string url_;
  std::string name_;
};

// The tests' PostgreSQL server, "postgresql://quavella@127.0.0.1:PORT"; "" with `error`
// when it is not running.
std::string TestPostgresServer(std::string& error);

// Runs SQL (statements separated by ";") on the database at `url`, as a test's own client;
// the rows of the last statement, as text, land in `rows`.
bool RunTestSql(const std::string& url, const std::string& sql, std::string& error,
                std::vector<std::vector<std::string>>* rows = nullptr);
