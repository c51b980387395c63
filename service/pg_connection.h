// One connection to PostgreSQL through libpq, used without ever blocking past a deadline:
// statements are sent and read in libpq's nonblocking mode, so that a server that stops
// answering (or a network that drops its packets) costs a request its deadline and the
// connection, never a thread. Parameters and results travel in binary form, so that the
// ringtone's bytes and the names as Quavella sent them arrive exactly, whatever they hold.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct pg_conn;
struct pg_result;

using PgClock = std::chrono::steady_clock;

// The parameters of one statement, $1 first.
class PgParams {
 public:
  PgParams& Text(std::string_view value);   // text; may hold no zero byte
  PgParams& Bytes(std::string_view value);  // bytea
  PgParams& Int(int64_t value);             // bigint

  int Count() const { return static_cast<int>(values_.size()); }
  const unsigned* Types() const { return types_.data(); }
  const char* const* Values() const { return values_.data(); }
  const int* Lengths() const { return lengths_.data(); }
  const int* Formats() const { return formats_.data(); }

 private:
  std::vector<unsigned> types_;
  std::vector<const char*> values_;
  std::vector<int> lengths_;
  std::vector<int> formats_;
  std::vector<std::unique_ptr<char[]>> integers_;  // the big-endian bytes of each Int
};

// A statement's result (binary columns), owned.
class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(pg_result* result);
  PgResult(PgResult&& other) noexcept;
  PgResult& operator=(PgResult&& other) noexcept;
  ~PgResult();

  int Rows() const;
  bool IsNull(int row, int column) const;
  // A smallint, integer or bigint column; 0 for a null or a field of another width.
  int64_t Int(int row, int column) const;
  std::string Bytes(int row, int column) const;
  // Rows a data-changing statement touched (its command tag's count).
  int64_t Affected() const;
  // The command tag: "INSERT 0 3", "UPDATE 2", ...
  std::string Command() const;

 private:
  pg_result* result_ = nullptr;
};

class PgConnection {
 public:
  // Connects within `timeout`, then sets the statement timeout. `url` is a libpq connection
  // URI or key=value string; its own settings win over the defaults given here. Null with
  // `error` when the server cannot be reached or refuses.
  static std::unique_ptr<PgConnection> Open(const std::string& url, std::chrono::seconds timeout,
                                            std::chrono::milliseconds statementTimeout,
                                            std::string& error);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement (extended protocol, binary results). False with `error` when it
  // failed; Broken() then tells whether the connection is lost as well. A statement that has
  // not finished by `deadline` loses the connection.
  bool Run(const char* sql, const PgParams& params, PgClock::time_point deadline,
           PgResult& result, std::string& error);
  bool Run(const char* sql, PgClock::time_point deadline, std::string& error);
  // The same as Run, for a statement run again and again: the server parses and plans it
  // once per connection (a new connection prepares it again at its first use), and each run
  // sends only its parameters, whose types must be the same every time.
  bool RunPrepared(const std::string& sql, const PgParams& params, PgClock::time_point deadline,
                   PgResult& result, std::string& error);
  // Runs statements separated by ";" in one exchange (simple protocol, text results; no
  // parameters). Each statement's result lands in `results`. False when any of them failed.
  bool RunScript(const std::string& sql, PgClock::time_point deadline,
                 std::vector<PgResult>& results, std::string& error);

  // The connection can no longer be used (the server went away, a deadline passed).
  bool Broken() const;
  // Marks it as not to be used again (its pool closes it, and the server lets go of what the
  // session held).
  void Discard() { broken_ = true; }
  // Checks, without waiting, whether the server has closed an idle connection or said
  // something on it (a connection being shut down says why before it closes).
  bool ClosedWhileIdle();
  // The process id of the connection's server session (to end it from another session).
  int BackendPid() const;
  // The SQLSTATE of the last failed statement ("57014": cancelled by the statement timeout).
  const std::string& LastState() const { return lastState_; }

 private:
  explicit PgConnection(pg_conn* conn) : conn_(conn) {}
  bool Await(PgClock::time_point deadline, std::string& error);
  bool Collect(PgClock::time_point deadline, std::vector<PgResult>& results, std::string& error);
  bool Sent(int sent, PgClock::time_point deadline, PgResult& result, std::string& error);

  pg_conn* conn_ = nullptr;
  bool broken_ = false;
  std::string lastState_;
  std::unordered_map<std::string, std::string> prepared_;  // statement text -> its name
};
