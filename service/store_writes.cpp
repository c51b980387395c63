#include "service/store_writes.h"

void StoreWriteQueue::Add(RingtoneRecord ringtone, RingtoneStore::Done done) {
  StoreWrite write;
  write.kind = StoreWrite::Add;
  write.record = std::move(ringtone);
  write.done = std::move(done);
  Submit(std::move(write));
}

void StoreWriteQueue::Delete(std::string token, int64_t now, RingtoneStore::Done done) {
  StoreWrite write;
  write.kind = StoreWrite::Delete;
  write.record.token = std::move(token);
  write.now = now;
  write.done = std::move(done);
  Submit(std::move(write));
}

void StoreWriteQueue::Sweep(int64_t now, int64_t forgetBefore, RingtoneStore::Done done) {
  StoreWrite write;
  write.kind = StoreWrite::Sweep;
  write.now = now;
  write.forgetBefore = forgetBefore;
  write.done = std::move(done);
  Submit(std::move(write));
}

void StoreWriteQueue::Submit(StoreWrite write) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closing_) {
      writes_.push_back(std::move(write));
      wake_.notify_one();
      return;
    }
  }
  write.done(StoreStatus::Unavailable);
}

void StoreWriteQueue::CountDownload(std::string_view token) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_) return;
  // The first count since the last were taken wakes the writer, which otherwise sleeps
  // until the next write: it writes the counts once their interval has passed.
  if (downloads_.empty()) wake_.notify_one();
  ++downloads_[std::string(token)];
}

void StoreWriteQueue::KeepCounts(const std::unordered_map<std::string, int64_t>& downloads) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_) return;
  for (const auto& [token, count] : downloads) downloads_[token] += count;
}

bool StoreWriteQueue::Next(StoreWriteBatch& batch) {
  batch.writes.clear();
  batch.downloads.clear();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const bool countsDue = !downloads_.empty() && (closing_ || now - countsTaken_ >= countInterval_);
    if (!writes_.empty() || countsDue) break;
    if (closing_) return false;
    if (downloads_.empty()) wake_.wait(lock);
    else wake_.wait_until(lock, countsTaken_ + countInterval_);
  }
  if (!writes_.empty() && writes_.front().kind == StoreWrite::Sweep) {
    batch.writes.push_back(std::move(writes_.front()));
    writes_.pop_front();
    return true;
  }
  while (!writes_.empty() && writes_.front().kind != StoreWrite::Sweep &&
         batch.writes.size() < batchLimit_) {
    batch.writes.push_back(std::move(writes_.front()));
    writes_.pop_front();
  }
  batch.downloads.swap(downloads_);
  countsTaken_ = std::chrono::steady_clock::now();
  return true;
}

void StoreWriteQueue::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closing_ = true;
  wake_.notify_all();
}
