#include "service/recent_uploads.h"

namespace {

// FNV-1a, 64 bits.
uint64_t Mix(uint64_t hash, std::string_view bytes) {
  for (char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001B3ull;
  return hash;
}

}  // namespace

uint64_t UploadFingerprint(std::string_view number, int32_t carrierId, int32_t phoneId,
                           int32_t format, std::string_view bytes) {
  const std::string ids = std::to_string(carrierId) + "/" + std::to_string(phoneId) + "/" +
                          std::to_string(format) + "/" + std::to_string(bytes.size()) + "/";
  return Mix(Mix(Mix(0xCBF29CE484222325ull, number), ids), bytes);
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
