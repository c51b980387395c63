#include "service/rate_limiter.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double HourMs = 3600.0 * 1000.0;

}  // namespace

// FNV-1a over the salt and the key, then a final mix.
uint64_t RateKeyHash(uint64_t salt, std::string_view key) {
  uint64_t h = 0xcbf29ce484222325ull ^ salt;
  for (char c : key) {
    h ^= static_cast<uint8_t>(c);
    h *= 0x100000001b3ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

RateLimiter::RateLimiter(uint32_t perHour, uint64_t salt, size_t maxKeys)
    : perHour_(perHour < 1 ? 1.0 : perHour), salt_(salt), maxKeys_(maxKeys < 1 ? 1 : maxKeys) {}

double RateLimiter::Refilled(const Bucket& bucket, int64_t nowMs) const {
  const double elapsed = static_cast<double>(std::max<int64_t>(0, nowMs - bucket.updatedMs));
  return std::min(perHour_, bucket.uploads + elapsed * perHour_ / HourMs);
}

bool RateLimiter::Take(std::initializer_list<std::string_view> keys, int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t hashes[8];
  size_t count = 0;
  for (std::string_view key : keys) {
    if (count == 8) break;
    hashes[count++] = RateKeyHash(salt_, key);
  }
  for (size_t i = 0; i < count; ++i) {
    auto found = buckets_.find(hashes[i]);
    if (found != buckets_.end() && Refilled(found->second, nowMs) < 1.0) return false;
  }
  if (buckets_.size() + count > maxKeys_) Forget(nowMs);
  for (size_t i = 0; i < count; ++i) {
    auto [it, fresh] = buckets_.try_emplace(hashes[i]);
    const double now = fresh ? perHour_ : Refilled(it->second, nowMs);
    it->second.uploads = now - 1.0;
    it->second.updatedMs = nowMs;
  }
  return true;
}

void RateLimiter::Forget(int64_t nowMs) {
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    if (Refilled(it->second, nowMs) >= perHour_) it = buckets_.erase(it);
    else ++it;
  }
  if (buckets_.empty() || buckets_.size() + 8 <= maxKeys_) return;
  // Still full: drop the older half.
  std::vector<int64_t> times;
  times.reserve(buckets_.size());
  for (const auto& entry : buckets_) times.push_back(entry.second.updatedMs);
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  const int64_t median = times[times.size() / 2];
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    if (it->second.updatedMs <= median) it = buckets_.erase(it);
    else ++it;
  }
}

size_t RateLimiter::KeyCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buckets_.size();
}
