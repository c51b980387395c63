// A bounded pool of PostgreSQL connections. Connections are opened by a thread of the pool's
// own, never by a caller, so that a database that is down or slow to accept costs a caller
// at most its wait: while the database cannot be reached, Take answers at once with no
// connection (the service answers 503) and the pool keeps trying in the background, more
// slowly each time up to a few seconds apart, until the database answers again.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/pg_connection.h"

struct PgPoolSettings {
  std::string url;
  int size = 8;                                      // connections at most
  std::chrono::seconds connectTimeout{5};
  std::chrono::milliseconds statementTimeout{5000};
  std::chrono::milliseconds firstRetry{100};         // after a failed connect
  std::chrono::milliseconds lastRetry{2000};         // the longest wait between tries
};

class PgPool {
 public:
  // `say` gets one line whenever the database stops or starts answering.
  PgPool(PgPoolSettings settings, std::function<void(const std::string&)> say);
  ~PgPool();
  PgPool(const PgPool&) = delete;
  PgPool& operator=(const PgPool&) = delete;

  // Opens the first connection on the caller's thread and starts the pool's thread. False,
  // with `error`, when the database cannot be reached.
  bool Start(std::string& error);

  class Lease {
   public:
    Lease() = default;
    Lease(PgPool* pool, std::unique_ptr<PgConnection> connection)
        : pool_(pool), connection_(std::move(connection)) {}
    Lease(Lease&& other) noexcept = default;
    Lease& operator=(Lease&& other) noexcept;
    ~Lease() { Release(); }
    explicit operator bool() const { return connection_ != nullptr; }
    PgConnection* operator->() const { return connection_.get(); }
    PgConnection& operator*() const { return *connection_; }
    void Release();

   private:
    PgPool* pool_ = nullptr;
    std::unique_ptr<PgConnection> connection_;
  };

  // An idle connection, waiting at most `wait` for one to be free or opened; none at once
  // while the database is known to be unreachable, or once the pool is stopped.
  Lease Take(std::chrono::milliseconds wait);
  // Deadline of a statement that starts now: the statement timeout, and a moment for the
  // server to say so.
  PgClock::time_point Deadline() const;
  const PgPoolSettings& Settings() const { return settings_; }

  // Closes every connection; leases still out close theirs when they return.
  void Stop();

 private:
  void Return(std::unique_ptr<PgConnection> connection);
  void Keep();

  const PgPoolSettings settings_;
  const std::function<void(const std::string&)> say_;
  std::mutex mutex_;
  std::condition_variable changed_;  // an idle connection, the state, or the stop
  std::condition_variable wanted_;   // wakes the pool's thread
  std::vector<std::unique_ptr<PgConnection>> idle_;
  int open_ = 0;     // idle, lent, and being opened
  int waiting_ = 0;  // callers waiting in Take
  bool down_ = false;
  bool stopping_ = false;
  PgClock::time_point retryAt_{};
  std::chrono::milliseconds retry_{0};
  std::thread keeper_;
};
