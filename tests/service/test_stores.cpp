#include "tests/service/test_stores.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "service/postgres_store.h"
#include "service/sqlite_store.h"

std::string StoreKindName(const testing::TestParamInfo<StoreKind>& info) {
  return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
}

std::string TestPostgresServer(std::string& error) {
  const char* file = std::getenv("QV_TEST_POSTGRES");
  std::ifstream in(file ? file : "");
  std::string url;
  if (!file || !std::getline(in, url) || url.empty()) {
    error = "the tests' PostgreSQL server is not running (ctest starts it: run the test "
            "through ctest)";
    return {};
  }
  return url;
}

bool RunTestSql(const std::string& url, const std::string& sql, std::string& error,
                std::vector<std::vector<std::string>>* rows) {
  PGconn* conn = PQconnectdb(url.c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
    PQfinish(conn);
    return false;
  }
  PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
  PGresult* result = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
  if (!ok) error = PQresultErrorMessage(result);
  if (ok && rows) {
    rows->clear();
    for (int r = 0; r < PQntuples(result); ++r) {
      rows->emplace_back();
      for (int c = 0; c < PQnfields(result); ++c) rows->back().emplace_back(PQgetvalue(result, r, c));
    }
  }
  PQclear(result);
  PQfinish(conn);
  return ok;
}

TestStorePlace::TestStorePlace(StoreKind kind, std::string& error) : kind_(kind) {
  if (kind == StoreKind::Sqlite) {
    char pattern[] = "/tmp/qv-store-test.XXXXXX";
    folder_ = mkdtemp(pattern);
    folder_ += "/data";
    return;
  }
  const std::string server = TestPostgresServer(error);
  if (server.empty()) return;
  static std::atomic<int> made{0};
  name_ = "test_" + std::to_string(getpid()) + "_" + std::to_string(made++);
  if (RunTestSql(server + "/postgres", "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", error) &&
      RunTestSql(server + "/postgres", "CREATE DATABASE " + name_, error))
    url_ = server + "/" + name_;
}

TestStorePlace::~TestStorePlace() {
  if (!folder_.empty()) std::filesystem::remove_all(std::filesystem::path(folder_).parent_path());
  std::string error, server = url_.empty() ? "" : TestPostgresServer(error);
  if (!server.empty())
    RunTestSql(server + "/postgres", "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", error);
}

bool TestStorePlace::Open(std::unique_ptr<RingtoneStore>& store,
                          std::unique_ptr<UploadLimiter>& limiter, std::string& error,
                          uint32_t perHour, int statementTimeoutMs, int connections) {
  if (kind_ == StoreKind::Sqlite) {
    store = OpenSqliteStore(folder_, error);
    limiter = std::make_unique<RateLimiter>(perHour, 1);
    return store != nullptr;
  }
  if (url_.empty()) {
    if (error.empty()) error = "no test database";
    return false;
  }
  PostgresSettings settings;
  settings.url = url_;
  settings.uploadsPerHour = perHour;
  settings.connections = connections;
  if (statementTimeoutMs > 0) settings.statementTimeout = std::chrono::milliseconds(statementTimeoutMs);
  PostgresStore opened;
  if (!OpenPostgresStore(settings, [](const std::string&) {}, opened, error)) return false;
  store = std::move(opened.store);
  limiter = std::move(opened.limiter);
  return true;
}
