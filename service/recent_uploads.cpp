#include "service/recent_uploads.h"

#include <algorithm>
#include <functional>

uint64_t UploadFingerprint(std::string_view number, int32_t carrierId, int32_t phoneId,
                           int32_t format, std::string_view bytes) {
  // The ids, the size and the ringtone's first and last 4 KiB: cheap beside an upload's
  // commit, and two different ringtones of one number that agree there are all but unknown
  // (the caller compares the whole bytes anyway).
  const std::string ids = std::string(number) + "/" + std::to_string(carrierId) + "/" +
                          std::to_string(phoneId) + "/" + std::to_string(format) + "/" +
                          std::to_string(bytes.size());
  const size_t edge = std::min<size_t>(bytes.size(), 4096);
  const std::hash<std::string_view> hash;
  uint64_t value = hash(ids);
  value = value * 0x9E3779B97F4A7C15ull ^ hash(bytes.substr(0, edge));
  value = value * 0x9E3779B97F4A7C15ull ^ hash(bytes.substr(bytes.size() - edge));
  return value;
}

std::string RecentUploads::Find(uint64_t fingerprint, int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = kept_.find(fingerprint);
  if (found == kept_.end() || nowMs - found->second.atMs > windowMs_) return {};
  return found->second.token;
}

void RecentUploads::Remember(uint64_t fingerprint, const std::string& token, int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!order_.empty() &&
         (order_.size() >= capacity_ || nowMs - kept_[order_.front()].atMs > windowMs_)) {
    kept_.erase(order_.front());
    order_.pop_front();
  }
  if (kept_.count(fingerprint) == 0) order_.push_back(fingerprint);
  kept_[fingerprint] = Kept{token, nowMs};
}
