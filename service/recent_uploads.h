// The uploads of the last few minutes, by what they hold: a client whose reply was lost (a
// time-out, a 503 while the store was slow) and that sends the same ringtone again, for the
// same number and phone, gets the ringtone it already has instead of a second one.
#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// A 64-bit digest of an upload's number, carrier, phone, format and bytes. Equal digests are
// only a hint: the caller compares the kept ringtone itself before taking it as the same.
uint64_t UploadFingerprint(std::string_view number, int32_t carrierId, int32_t phoneId,
                           int32_t format, std::string_view bytes);

class RecentUploads {
 public:
  // Remembers `capacity` uploads at most, each for `windowMs`.
  RecentUploads(int64_t windowMs, size_t capacity) : windowMs_(windowMs), capacity_(capacity) {}

  // The token kept for `fingerprint` within the window before `nowMs`, or "".
  std::string Find(uint64_t fingerprint, int64_t nowMs);
  void Remember(uint64_t fingerprint, const std::string& token, int64_t nowMs);

 private:
  struct Kept {
    std::string token;
    int64_t atMs = 0;
  };
  const int64_t windowMs_;
  const size_t capacity_;
  std::mutex mutex_;
  std::unordered_map<uint64_t, Kept> kept_;
  std::deque<uint64_t> order_;  // oldest first
};
