#include "service/pg_pool.h"

#include <algorithm>

PgPool::Lease& PgPool::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Release();
    pool_ = other.pool_;
    connection_ = std::move(other.connection_);
  }
  return *this;
}

void PgPool::Lease::Release() {
  if (pool_ && connection_) pool_->Return(std::move(connection_));
  connection_.reset();
}

PgPool::PgPool(PgPoolSettings settings, std::function<void(const std::string&)> say)
    : settings_(std::move(settings)), say_(std::move(say)) {}

PgPool::~PgPool() { Stop(); }

bool PgPool::Start(std::string& error) {
  std::unique_ptr<PgConnection> first = PgConnection::Open(
      settings_.url, settings_.connectTimeout, settings_.statementTimeout, error);
  if (!first) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  idle_.push_back(std::move(first));
  open_ = 1;
  keeper_ = std::thread([this] { Keep(); });
  return true;
}

PgClock::time_point PgPool::Deadline() const {
  return PgClock::now() + settings_.statementTimeout + std::chrono::seconds(2);
}

PgPool::Lease PgPool::Take(std::chrono::milliseconds wait) {
  std::vector<std::unique_ptr<PgConnection>> stale;  // closed after the lock is let go
  std::unique_lock<std::mutex> lock(mutex_);
  const auto deadline = PgClock::now() + wait;
  for (;;) {
    if (stopping_) return {};
    while (!idle_.empty()) {
      std::unique_ptr<PgConnection> connection = std::move(idle_.back());
      idle_.pop_back();
      if (!connection->ClosedWhileIdle()) return Lease(this, std::move(connection));
      stale.push_back(std::move(connection));  // the server went away while it was idle
      --open_;
    }
    if (down_) return {};
    ++waiting_;
    wanted_.notify_one();
    const bool woke = changed_.wait_until(lock, deadline, [this] {
      return stopping_ || down_ || !idle_.empty();
    });
    --waiting_;
    if (!woke) return {};
  }
}

void PgPool::Return(std::unique_ptr<PgConnection> connection) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || connection->Broken()) {
    // The idle ones are suspect too (a server that went away, or stopped answering): new
    // connections replace them, rather than each costing a request its deadline.
    std::vector<std::unique_ptr<PgConnection>> dropped;
    if (!stopping_) dropped.swap(idle_);
    open_ -= 1 + static_cast<int>(dropped.size());
    wanted_.notify_one();
    lock.unlock();
    connection.reset();
    return;
  }
  idle_.push_back(std::move(connection));
  changed_.notify_one();
}

void PgPool::Keep() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    // One connection is always kept (or sought, while the database is away); more while
    // callers wait for one and none is idle.
    const bool needed = open_ < settings_.size && (open_ == 0 || (waiting_ > 0 && idle_.empty()));
    if (!needed) {
      wanted_.wait(lock);
      continue;
    }
    if (PgClock::now() < retryAt_) {
      wanted_.wait_until(lock, retryAt_);
      continue;
    }
    ++open_;
    lock.unlock();
    std::string error;
    std::unique_ptr<PgConnection> connection = PgConnection::Open(
        settings_.url, settings_.connectTimeout, settings_.statementTimeout, error);
    lock.lock();
    if (!connection || stopping_) {
      --open_;
      if (!connection && !stopping_) {
        if (!down_) say_("the database cannot be reached (" + error + "); trying again");
        down_ = true;
        retry_ = std::clamp(retry_ * 2, settings_.firstRetry, settings_.lastRetry);
        retryAt_ = PgClock::now() + retry_;
      }
      changed_.notify_all();
      if (connection) {
        lock.unlock();
        connection.reset();
        lock.lock();
      }
      continue;
    }
    if (down_) say_("the database answers again");
    down_ = false;
    retry_ = std::chrono::milliseconds(0);
    idle_.push_back(std::move(connection));
    changed_.notify_all();
  }
}

void PgPool::Stop() {
  std::vector<std::unique_ptr<PgConnection>> idle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ && !keeper_.joinable()) return;
    stopping_ = true;
    idle.swap(idle_);
    open_ -= static_cast<int>(idle.size());
    changed_.notify_all();
    wanted_.notify_all();
  }
  if (keeper_.joinable()) keeper_.join();
}
