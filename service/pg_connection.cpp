#include "service/pg_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr Oid ByteaOid = 17;
constexpr Oid BigintOid = 20;

// libpq's messages end in a line break; the log wants one line.
std::string OneLine(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  std::string line;
  for (char c : text)
    if ((c != '\n' && c != '\t') || (!line.empty() && line.back() != ' ')) line += c == '\t' || c == '\n' ? ' ' : c;
  text.swap(line);
  return text.empty() ? std::string("the database did not say why") : text;
}

}  // namespace

PgParams& PgParams::Text(std::string_view value) {
  types_.push_back(0);  // the server infers the type from the statement
  values_.push_back(value.data());
  lengths_.push_back(static_cast<int>(value.size()));
  formats_.push_back(0);
  return *this;
}

PgParams& PgParams::Bytes(std::string_view value) {
  types_.push_back(ByteaOid);
  values_.push_back(value.empty() ? "" : value.data());
  lengths_.push_back(static_cast<int>(value.size()));
  formats_.push_back(1);
  return *this;
}

PgParams& PgParams::Int(int64_t value) {
  auto bytes = std::make_unique<char[]>(8);
  const uint64_t bits = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(bits >> (56 - 8 * i));
  types_.push_back(BigintOid);
  values_.push_back(bytes.get());
  lengths_.push_back(8);
  formats_.push_back(1);
  integers_.push_back(std::move(bytes));
  return *this;
}

PgResult::PgResult(pg_result* result) : result_(result) {}
PgResult::PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
PgResult& PgResult::operator=(PgResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = other.result_;
    other.result_ = nullptr;
  }
  return *this;
}
PgResult::~PgResult() { PQclear(result_); }

int PgResult::Rows() const { return result_ ? PQntuples(result_) : 0; }

bool PgResult::IsNull(int row, int column) const {
  return !result_ || row >= PQntuples(result_) || column >= PQnfields(result_) ||
         PQgetisnull(result_, row, column);
}

int64_t PgResult::Int(int row, int column) const {
  if (IsNull(row, column)) return 0;
  const int length = PQgetlength(result_, row, column);
  if (PQfformat(result_, column) == 0) return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
  if (length != 2 && length != 4 && length != 8) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row, column));
  uint64_t bits = (bytes[0] & 0x80) ? ~uint64_t{0} : 0;  // sign-extended
  for (int i = 0; i < length; ++i) bits = (bits << 8) | bytes[i];
  return static_cast<int64_t>(bits);
}

std::string PgResult::Bytes(int row, int column) const {
  if (IsNull(row, column)) return {};
  return std::string(PQgetvalue(result_, row, column),
                     static_cast<size_t>(PQgetlength(result_, row, column)));
}

int64_t PgResult::Affected() const {
  return result_ ? std::strtoll(PQcmdTuples(result_), nullptr, 10) : 0;
}

std::string PgResult::Command() const { return result_ ? PQcmdStatus(result_) : ""; }

std::unique_ptr<PgConnection> PgConnection::Open(const std::string& url,
                                                 std::chrono::seconds timeout,
                                                 std::chrono::milliseconds statementTimeout,
                                                 std::string& error) {
  // Defaults first: the settings in `url` (expanded in place of "dbname") override them.
  const std::string seconds = std::to_string(timeout.count());
  const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
  const char* values[] = {seconds.c_str(), "quavella-service", url.c_str(), nullptr};
  pg_conn* conn = PQconnectdbParams(keys, values, 1);
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    error = OneLine(conn ? PQerrorMessage(conn) : "out of memory");
    PQfinish(conn);
    return nullptr;
  }
  std::unique_ptr<PgConnection> connection(new PgConnection(conn));
  PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);  // "already exists" and such
  if (PQsetnonblocking(conn, 1) != 0) {
    error = OneLine(PQerrorMessage(conn));
    return nullptr;
  }
  // The service's statements find rows by their keys: a plan made once per prepared
  // statement serves every run, rather than a plan made again for each of its first runs.
  const std::string setTimeout =
      "SET statement_timeout = " + std::to_string(statementTimeout.count()) +
      "; SET plan_cache_mode = force_generic_plan";
  std::vector<PgResult> ignored;
  if (!connection->RunScript(setTimeout, PgClock::now() + timeout, ignored, error)) return nullptr;
  return connection;
}

PgConnection::~PgConnection() { PQfinish(conn_); }

int PgConnection::BackendPid() const { return PQbackendPID(conn_); }

bool PgConnection::Broken() const { return broken_ || PQstatus(conn_) != CONNECTION_OK; }

bool PgConnection::ClosedWhileIdle() {
  if (Broken()) return true;
  pollfd waiting{PQsocket(conn_), POLLIN, 0};
  // Nothing comes unasked on an idle connection of ours but the reason it is being closed
  // (or the end of it): whatever came, the connection is not to be trusted.
  if (::poll(&waiting, 1, 0) != 0) broken_ = true;
  return broken_;
}

bool PgConnection::Await(PgClock::time_point deadline, std::string& error) {
  for (;;) {
    const int flushed = PQflush(conn_);
    if (flushed < 0) break;
    if (flushed == 0 && !PQisBusy(conn_)) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - PgClock::now());
    if (left.count() <= 0) {
      broken_ = true;  // the statement may still run: this connection is done with
      error = "the database did not answer in time";
      return false;
    }
    pollfd waiting{PQsocket(conn_), static_cast<short>(POLLIN | (flushed ? POLLOUT : 0)), 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<int64_t>(left.count() + 1, 60000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (waiting.revents & (POLLIN | POLLERR | POLLHUP)) && !PQconsumeInput(conn_)) break;
  }
  broken_ = true;
  error = OneLine(PQerrorMessage(conn_));
  return false;
}

bool PgConnection::Collect(PgClock::time_point deadline, std::vector<PgResult>& results,
                           std::string& error) {
  bool failed = false;
  for (;;) {
    if (!Await(deadline, error)) return false;
    pg_result* result = PQgetResult(conn_);
    if (!result) break;
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
      if (!failed) {
        error = OneLine(PQresultErrorMessage(result));
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        lastState_ = state ? state : "";
      }
      failed = true;
    }
    results.emplace_back(result);
  }
  if (PQstatus(conn_) != CONNECTION_OK) {
    broken_ = true;
    if (!failed) error = OneLine(PQerrorMessage(conn_));
    return false;
  }
  return !failed;
}

bool PgConnection::Sent(int sent, PgClock::time_point deadline, PgResult& result,
                        std::string& error) {
  if (!sent) {
    broken_ = true;
    error = OneLine(PQerrorMessage(conn_));
    return false;
  }
  std::vector<PgResult> results;
  const bool ok = Collect(deadline, results, error);
  if (!results.empty()) result = std::move(results.back());
  return ok;
}

bool PgConnection::Run(const char* sql, const PgParams& params, PgClock::time_point deadline,
                       PgResult& result, std::string& error) {
  lastState_.clear();
  if (Broken()) {
    error = "the connection to the database was lost";
    return false;
  }
  return Sent(PQsendQueryParams(conn_, sql, params.Count(), params.Types(), params.Values(),
                                params.Lengths(), params.Formats(), 1),
              deadline, result, error);
}

bool PgConnection::RunPrepared(const std::string& sql, const PgParams& params,
                               PgClock::time_point deadline, PgResult& result,
                               std::string& error) {
  lastState_.clear();
  if (Broken()) {
    error = "the connection to the database was lost";
    return false;
  }
  auto found = prepared_.find(sql);
  if (found == prepared_.end()) {
    const std::string name = "qv" + std::to_string(prepared_.size() + 1);
    if (!Sent(PQsendPrepare(conn_, name.c_str(), sql.c_str(), params.Count(), params.Types()),
              deadline, result, error))
      return false;
    found = prepared_.emplace(sql, name).first;
  }
  return Sent(PQsendQueryPrepared(conn_, found->second.c_str(), params.Count(), params.Values(),
                                  params.Lengths(), params.Formats(), 1),
              deadline, result, error);
}

bool PgConnection::Run(const char* sql, PgClock::time_point deadline, std::string& error) {
  PgResult ignored;
  return Run(sql, PgParams(), deadline, ignored, error);
}

bool PgConnection::RunScript(const std::string& sql, PgClock::time_point deadline,
                             std::vector<PgResult>& results, std::string& error) {
  lastState_.clear();
  if (Broken()) {
    error = "the connection to the database was lost";
    return false;
  }
  if (!PQsendQuery(conn_, sql.c_str())) {
    broken_ = true;
    error = OneLine(PQerrorMessage(conn_));
    return false;
  }
  return Collect(deadline, results, error);
}
