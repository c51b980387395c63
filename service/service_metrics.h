// The service's counters and the latency histogram, read as Prometheus text by /metrics.
// Safe to update from any thread.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "service/upload_checks.h"

struct StoreTotals {
  int64_t ringtones = 0;
  int64_t bytes = 0;
};

class ServiceMetrics {
 public:
  // Upper bounds of the latency buckets, in seconds.
  static constexpr std::array<double, 12> LatencyBounds = {
      0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0, 2.5, 10.0};

  void UploadAccepted() { accepted_.fetch_add(1, std::memory_order_relaxed); }
  void UploadRefused(UploadRefusal refusal);
  void Downloaded() { downloads_.fetch_add(1, std::memory_order_relaxed); }
  // A request answered 408: it did not arrive whole within its deadline.
  void TimedOut() { timedOut_.fetch_add(1, std::memory_order_relaxed); }
  void RequestServed(double seconds);

  // The text format (version 0.0.4); the store's figures only when `storeAnswered`.
  std::string Text(const StoreTotals& totals, bool storeAnswered) const;

 private:
  std::atomic<uint64_t> accepted_{0};
  std::array<std::atomic<uint64_t>, UploadRefusalCount> refused_{};
  std::atomic<uint64_t> downloads_{0};
  std::atomic<uint64_t> timedOut_{0};
  std::array<std::atomic<uint64_t>, LatencyBounds.size() + 1> buckets_{};  // last: +Inf
  std::atomic<uint64_t> latencyMicros_{0};
};
