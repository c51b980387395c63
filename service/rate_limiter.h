// Uploads per phone number and per client address: a token bucket per key that holds at
// most N uploads and refills at N per hour, so at most N uploads pass in any hour after a
// quiet one, and N per hour in the long run. Keys are kept as salted 64-bit hashes, never as
// the text itself (so no phone number stays in memory after its ringtone is gone).
#pragma once
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string_view>
#include <unordered_map>

enum class LimitAnswer { Taken, Over, Unavailable };

// Where the buckets are kept: in the node's memory (RateLimiter), or in the database that
// several nodes share. Safe to use from several threads.
class UploadLimiter {
 public:
  virtual ~UploadLimiter() = default;
  // Takes one upload from the bucket of every key at `nowMs` (milliseconds), or from none:
  // Over when one of them is empty; Unavailable when the buckets cannot be reached now.
  virtual LimitAnswer TakeUpload(std::initializer_list<std::string_view> keys, int64_t nowMs) = 0;
};

// The salted hash a key is kept under.
uint64_t RateKeyHash(uint64_t salt, std::string_view key);

// The buckets in the node's memory.
class RateLimiter final : public UploadLimiter {
 public:
  // `perHour` >= 1. `maxKeys` bounds the memory: past it, buckets that are full again are
  // forgotten first, then the ones used least recently.
  RateLimiter(uint32_t perHour, uint64_t salt, size_t maxKeys = 100000);

  // Takes one upload from the bucket of every key at `nowMs` (milliseconds), or from none:
  // false, and nothing taken, when one of them is empty.
  bool Take(std::initializer_list<std::string_view> keys, int64_t nowMs);
  LimitAnswer TakeUpload(std::initializer_list<std::string_view> keys, int64_t nowMs) override {
    return Take(keys, nowMs) ? LimitAnswer::Taken : LimitAnswer::Over;
  }

  size_t KeyCount() const;

 private:
  struct Bucket {
    double uploads = 0;  // uploads that can pass now
    int64_t updatedMs = 0;
  };
  double Refilled(const Bucket& bucket, int64_t nowMs) const;
  void Forget(int64_t nowMs);

  const double perHour_;
  const uint64_t salt_;
  const size_t maxKeys_;
  mutable std::mutex mutex_;
  std::unordered_map<uint64_t, Bucket> buckets_;
};
