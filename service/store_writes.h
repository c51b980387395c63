// The writes a store has been asked for and not yet made (new ringtones, deletes, sweeps,
// download counts), handed to the store's writer threads in batches, so that the writes
// that arrive while one commit is on its way share the next one.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "service/ringtone_store.h"

struct StoreWrite {
  enum Kind { Add, Delete, Sweep } kind = Add;
  RingtoneRecord record;  // Add: the ringtone; Delete: record.token
  int64_t now = 0;
  int64_t forgetBefore = 0;
  RingtoneStore::Done done;
  StoreStatus status = StoreStatus::Unavailable;  // what `done` is told
};

struct StoreWriteBatch {
  std::vector<StoreWrite> writes;  // adds and deletes, or one sweep alone
  std::unordered_map<std::string, int64_t> downloads;  // token: downloads to add

  bool IsSweep() const { return !writes.empty() && writes.front().kind == StoreWrite::Sweep; }
  // Tells every write its status.
  void Finish() {
    for (StoreWrite& write : writes) write.done(write.status);
  }
};

class StoreWriteQueue {
 public:
  // `batchLimit`: adds and deletes in one batch at most. Counts are handed out with the next
  // batch of writes, or alone once `countInterval` has passed since they were last taken.
  StoreWriteQueue(size_t batchLimit, std::chrono::milliseconds countInterval)
      : batchLimit_(batchLimit), countInterval_(countInterval) {}

  void Add(RingtoneRecord ringtone, RingtoneStore::Done done);
  void Delete(std::string token, int64_t now, RingtoneStore::Done done);
  void Sweep(int64_t now, int64_t forgetBefore, RingtoneStore::Done done);
  void CountDownload(std::string_view token);
  // Puts back counts that could not be written (dropped once closing).
  void KeepCounts(const std::unordered_map<std::string, int64_t>& downloads);

  // Whether writes wait for the next batch.
  bool Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !writes_.empty();
  }
  // Whether the queue takes writes and none waits.
  bool Idle() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !closing_ && writes_.empty();
  }
  // Waits for the next batch. False once the queue is closed and empty.
  bool Next(StoreWriteBatch& batch);
  // New writes are refused from now on (Unavailable); Next hands out what is left.
  void Close();

 private:
  void Submit(StoreWrite write);

  const size_t batchLimit_;
  const std::chrono::milliseconds countInterval_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<StoreWrite> writes_;
  std::unordered_map<std::string, int64_t> downloads_;
  std::chrono::steady_clock::time_point countsTaken_ = std::chrono::steady_clock::now();
  bool closing_ = false;
};

// A store whose writes go through a StoreWriteQueue: asking for a write queues it, and the
// store's own writer threads take the batches with writes_.Next.
class QueuedRingtoneStore : public RingtoneStore {
 public:
  void Add(RingtoneRecord ringtone, Done done) override {
    writes_.Add(std::move(ringtone), std::move(done));
  }
  void Delete(std::string token, int64_t now, Done done) override {
    writes_.Delete(std::move(token), now, std::move(done));
  }
  void Sweep(int64_t now, int64_t forgetBefore, Done done) override {
    writes_.Sweep(now, forgetBefore, std::move(done));
  }
  void CountDownload(std::string_view token) override { writes_.CountDownload(token); }

 protected:
  QueuedRingtoneStore(size_t batchLimit, std::chrono::milliseconds countInterval)
      : writes_(batchLimit, countInterval) {}

  StoreWriteQueue writes_;
};
