// The calls that may wait on the store (a database across the network), run on threads of
// their own, so that the threads serving connections never wait for it: pages that need no
// store are answered at once while the database does not answer. A call that has waited in
// line past its deadline, or finds the line full, gets its `late` instead (a 503).
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class StoreCalls {
 public:
  StoreCalls(int threads, size_t maxWaiting, std::chrono::milliseconds maxWait);
  // Calls what still waits with its `late`, then joins the threads.
  ~StoreCalls();
  StoreCalls(const StoreCalls&) = delete;
  StoreCalls& operator=(const StoreCalls&) = delete;

  // Runs `call` on a thread of the pool, or `late` (on that thread, or at once when the line
  // is full or the pool is closing).
  void Run(std::function<void()> call, std::function<void()> late);

 private:
  struct Waiting {
    std::function<void()> call, late;
    std::chrono::steady_clock::time_point since;
  };
  void Serve();

  const size_t maxWaiting_;
  const std::chrono::milliseconds maxWait_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Waiting> waiting_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};
