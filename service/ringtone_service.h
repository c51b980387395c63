// The service's handlers: the upload, the ringtone pages, downloads and deletes, the site's
// pages, the installer, health and metrics. They work on WebRequest and WebReply, read and
// write through a RingtoneStore and never block on a commit: the reply of a write is sent
// from the store's thread once the commit is on disk.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "profile/phone_catalog.h"
#include "service/pages.h"
#include "service/rate_limiter.h"
#include "service/recent_uploads.h"
#include "service/ringtone_store.h"
#include "service/service_metrics.h"
#include "service/store_calls.h"
#include "service/web_exchange.h"

struct ServiceSettings {
  std::string publicUrl;  // base of every address handed out, without a trailing "/"
  int retentionDays = 30;
  uint32_t uploadsPerHour = 20;
  std::string installerPath;  // the installer served at /download/QuavellaPackage.exe; "" none
  bool metricsPublic = true;  // /metrics on the public address (else on --metrics-listen's)
  // Threads for the calls that may wait on the store (0: none, for a store that never waits:
  // its calls run on the serving thread), and how long such a call may wait for one.
  int storeThreads = 0;
  std::chrono::milliseconds storeWait{5000};
};

class RingtoneService {
 public:
  using Reply = std::function<void(WebReply)>;
  using Clock = std::function<int64_t()>;  // milliseconds since 1970

  // `limiter` keeps the uploads per hour. Every reference must outlive the service.
  RingtoneService(ServiceSettings settings, const PhoneCatalog& catalog, RingtoneStore& store,
                  UploadLimiter& limiter, ServiceMetrics& metrics, Clock clock);

  // Answers `request` through `reply`, exactly once: at once, or from the store's thread.
  void Handle(WebRequest request, Reply reply);

  // The answer to a request the HTTP layer stopped reading (413 for a body past the limit,
  // 431 for headers past theirs, 400 for broken HTTP, 408 for a client too slow): "error"
  // for the upload address, a page elsewhere.
  WebReply Refusal(int status, const std::string& target);

  // The Prometheus text of /metrics (served where --metrics-listen says).
  WebReply Metrics(bool head);

  // Removes the ringtones whose time is up and forgets old notes of gone ones.
  void Sweep(RingtoneStore::Done done);

  int64_t RetentionSeconds() const { return int64_t{settings_.retentionDays} * 86400; }

 private:
  void Upload(const WebRequest& request, Reply reply);
  void ShowRingtone(const WebRequest& request, const std::string& token, bool head,
                    Reply reply);
  void Download(const WebRequest& request, const std::string& token, const std::string& name,
                Reply reply);
  void Delete(const WebRequest& request, const std::string& token, Reply reply);
  WebReply Installer(const WebRequest& request, bool head) const;
  void HandleNow(const WebRequest& request, Reply reply);
  WebReply StoreLate(const std::string& path);
  WebReply Health(bool head);
  WebReply RefuseUpload(UploadRefusal refusal, const std::string& problem);
  bool SameSite(const WebRequest& request) const;
  int64_t NowSeconds() const { return clock_() / 1000; }
  SiteFacts Facts() const { return SiteFacts{settings_.retentionDays, settings_.uploadsPerHour}; }

  const ServiceSettings settings_;
  const std::string publicOrigin_;  // scheme://host[:port] of the public URL
  const PhoneCatalog& catalog_;
  RingtoneStore& store_;
  UploadLimiter& limiter_;
  ServiceMetrics& metrics_;
  const Clock clock_;
  std::unique_ptr<StoreCalls> storeCalls_;  // null when the store never waits
  static constexpr int64_t RetryWindowMs = 5 * 60 * 1000;  // a retry within 5 minutes
  RecentUploads recentUploads_{RetryWindowMs, 4096};
};
