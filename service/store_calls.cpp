#include "service/store_calls.h"

StoreCalls::StoreCalls(int threads, size_t maxWaiting, std::chrono::milliseconds maxWait)
    : maxWaiting_(maxWaiting), maxWait_(maxWait) {
  for (int i = 0; i < (threads < 1 ? 1 : threads); ++i) threads_.emplace_back([this] { Serve(); });
}

StoreCalls::~StoreCalls() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void StoreCalls::Run(std::function<void()> call, std::function<void()> late) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closing_ && waiting_.size() < maxWaiting_) {
      waiting_.push_back({std::move(call), std::move(late), std::chrono::steady_clock::now()});
      wake_.notify_one();
      return;
    }
  }
  late();
}

void StoreCalls::Serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // closing, and nothing left
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    const bool closing = closing_;
    lock.unlock();
    if (closing || std::chrono::steady_clock::now() - next.since > maxWait_) next.late();
    else next.call();
    lock.lock();
  }
}
