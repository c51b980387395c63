#include "service/service_metrics.h"

#include <cstdio>

void ServiceMetrics::UploadRefused(UploadRefusal refusal) {
  const size_t index = static_cast<size_t>(refusal);
  if (index < refused_.size()) refused_[index].fetch_add(1, std::memory_order_relaxed);
}

void ServiceMetrics::RequestServed(double seconds) {
  size_t bucket = 0;
  while (bucket < LatencyBounds.size() && seconds > LatencyBounds[bucket]) ++bucket;
  buckets_[bucket].fetch_add(1, std::memory_order_relaxed);
  latencyMicros_.fetch_add(static_cast<uint64_t>(seconds > 0 ? seconds * 1e6 : 0),
                           std::memory_order_relaxed);
}

std::string ServiceMetrics::Text(const StoreTotals& totals, bool storeAnswered) const {
  std::string out;
  char line[160];
  auto add = [&](const char* format, auto... values) {
    std::snprintf(line, sizeof line, format, values...);
    out += line;
  };
  out += "# HELP quavella_uploads_accepted_total Ringtones accepted and stored.\n"
         "# TYPE quavella_uploads_accepted_total counter\n";
  add("quavella_uploads_accepted_total %llu\n",
      static_cast<unsigned long long>(accepted_.load(std::memory_order_relaxed)));
  out += "# HELP quavella_uploads_refused_total Uploads refused, by reason.\n"
         "# TYPE quavella_uploads_refused_total counter\n";
  for (int i = 1; i < UploadRefusalCount; ++i)
    add("quavella_uploads_refused_total{reason=\"%s\"} %llu\n",
        UploadRefusalName(static_cast<UploadRefusal>(i)),
        static_cast<unsigned long long>(refused_[static_cast<size_t>(i)].load(std::memory_order_relaxed)));
  out += "# HELP quavella_downloads_total Ringtone downloads served.\n"
         "# TYPE quavella_downloads_total counter\n";
  add("quavella_downloads_total %llu\n",
      static_cast<unsigned long long>(downloads_.load(std::memory_order_relaxed)));
  out += "# HELP quavella_requests_timed_out_total Requests not read whole within their deadline (408).\n"
         "# TYPE quavella_requests_timed_out_total counter\n";
  add("quavella_requests_timed_out_total %llu\n",
      static_cast<unsigned long long>(timedOut_.load(std::memory_order_relaxed)));
  out += "# HELP quavella_request_duration_seconds Time from a whole request to its reply.\n"
         "# TYPE quavella_request_duration_seconds histogram\n";
  uint64_t cumulative = 0;
  for (size_t i = 0; i < buckets_.size(); ++i) {
    cumulative += buckets_[i].load(std::memory_order_relaxed);
    if (i < LatencyBounds.size())
      add("quavella_request_duration_seconds_bucket{le=\"%g\"} %llu\n", LatencyBounds[i],
          static_cast<unsigned long long>(cumulative));
    else
      add("quavella_request_duration_seconds_bucket{le=\"+Inf\"} %llu\n",
          static_cast<unsigned long long>(cumulative));
  }
  add("quavella_request_duration_seconds_sum %.6f\n",
      static_cast<double>(latencyMicros_.load(std::memory_order_relaxed)) / 1e6);
  add("quavella_request_duration_seconds_count %llu\n",
      static_cast<unsigned long long>(cumulative));
  if (storeAnswered) {
    out += "# HELP quavella_store_ringtones Ringtones in the store.\n"
           "# TYPE quavella_store_ringtones gauge\n";
    add("quavella_store_ringtones %lld\n", static_cast<long long>(totals.ringtones));
    out += "# HELP quavella_store_bytes Bytes of the ringtones in the store.\n"
           "# TYPE quavella_store_bytes gauge\n";
    add("quavella_store_bytes %lld\n", static_cast<long long>(totals.bytes));
  }
  return out;
}
