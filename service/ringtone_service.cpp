#include "service/ringtone_service.h"

#include <cstdio>
#include <memory>

#include "delivery/upload_fields.h"
#include "formats/ringtone_formats.h"
#include "service/pages.h"
#include "service/qr_svg.h"
#include "service/request_target.h"
#include "service/upload_checks.h"
#include "service/upload_form_reader.h"
#include "service/web_text.h"
#include "session/ringtone_format.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char UploadPath[] = "/ringtones/upload2.php";
const char InstallerPath[] = "/download/QuavellaPackage.exe";

// For every page: no framing (the delete button), no outside resources, same-site referrers.
void PageHeaders(WebReply& reply) {
  reply.Set("Content-Type", "text/html; charset=utf-8");
  reply.Set("X-Content-Type-Options", "nosniff");
  reply.Set("X-Frame-Options", "DENY");
  reply.Set("Referrer-Policy", "same-origin");
  reply.Set("Content-Security-Policy",
            "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data:; "
            "media-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
}

WebReply PageReply(int status, std::string html, bool head) {
  WebReply reply;
  reply.status = status;
  reply.body = std::move(html);
  reply.headOnly = head;
  PageHeaders(reply);
  return reply;
}

WebReply TextReply(int status, std::string text, bool head = false) {
  WebReply reply;
  reply.status = status;
  reply.body = std::move(text);
  reply.headOnly = head;
  reply.Set("Content-Type", "text/plain; charset=utf-8");
  reply.Set("Cache-Control", "no-store");
  return reply;
}

// The store cannot be reached: a page that says so, and when to ask again.
WebReply UnavailableReply(const std::string& notDone, const std::string& againPath, bool head) {
  WebReply reply = PageReply(503, UnavailablePage(notDone, againPath), head);
  reply.Set("Retry-After", "10");
  reply.Set("Cache-Control", "no-store");
  reply.logNote = "store unavailable";
  return reply;
}

WebReply MethodNotAllowed(const char* allowed) {
  WebReply reply = PageReply(405, MessagePage("Not allowed", "This address does not take that "
                                                             "kind of request."), false);
  reply.Set("Allow", allowed);
  return reply;
}

const char* MediaType(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts ? facts->mediaType : "application/octet-stream";
}

// The type word of a RingtoneFormat, as the program sends it.
std::string FormatWord(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts ? facts->typeWord : "bin";
}

// The file-name extension of a RingtoneFormat's download.
std::string FormatExtension(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts ? facts->extension : "bin";
}

// "http://host:port" of "http://host:port/anything".
std::string OriginOf(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  return url.substr(0, url.find('/', scheme + 3));
}

std::string NewToken() {
  uint8_t bits[TokenBytes];
  size_t got = 0;
  while (got < sizeof bits) {
    const ssize_t n = getrandom(bits + got, sizeof bits - got, 0);
    if (n <= 0) return {};
    got += static_cast<size_t>(n);
  }
  return TokenText(bits);
}

// What a GET of a file of `size` bytes tagged `etag` asks for. A tag the client holds already
// gives 304 (nothing, as `NotModified`); otherwise its Range, honoured (If-Range) only while
// the file is the one the client began with, so that a cut download resumes where it stopped.
// `file` gets the status and the headers of the answer; an unsatisfiable range is answered
// with the 416 in `file`.
enum class FileAnswer { NotModified, Whole, Partial, Unsatisfiable };
FileAnswer AnswerConditions(const WebRequest& request, const std::string& etag, uint64_t size,
                            bool head, WebReply& file, ByteRange& range) {
  const std::string* noneMatch = request.Header("If-None-Match");
  if (noneMatch && (noneMatch->find(etag) != std::string::npos || *noneMatch == "*")) {
    file.status = 304;
    file.headOnly = true;  // no body, and no length of one
    return FileAnswer::NotModified;
  }
  const std::string* rangeHeader = request.Header("Range");
  const std::string* ifRange = request.Header("If-Range");
  const RangeAnswer answer = rangeHeader && (!ifRange || *ifRange == etag)
                                 ? ReadByteRange(*rangeHeader, size, range)
                                 : RangeAnswer::Whole;
  if (answer == RangeAnswer::Unsatisfiable) {
    file = TextReply(416, "", head);
    file.Set("Content-Range", "bytes */" + std::to_string(size));
    return FileAnswer::Unsatisfiable;
  }
  if (answer == RangeAnswer::Whole) return FileAnswer::Whole;
  file.status = 206;
  file.Set("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                std::to_string(range.last) + "/" + std::to_string(size));
  return FileAnswer::Partial;
}

}  // namespace

RingtoneService::RingtoneService(ServiceSettings settings, const PhoneCatalog& catalog,
                                 RingtoneStore& store, UploadLimiter& limiter,
                                 ServiceMetrics& metrics, Clock clock)
    : settings_(std::move(settings)),
      publicOrigin_(OriginOf(settings_.publicUrl)),
      catalog_(catalog),
      store_(store),
      limiter_(limiter),
      metrics_(metrics),
      clock_(std::move(clock)) {
  if (settings_.storeThreads > 0)
    storeCalls_ = std::make_unique<StoreCalls>(settings_.storeThreads, 4096, settings_.storeWait);
}

void RingtoneService::Handle(WebRequest request, Reply reply) {
  RequestTarget target;
  if (!SplitRequestTarget(request.target, target)) {
    reply(Refusal(400, request.target));
    return;
  }
  // What reads or writes the store runs where waiting for it holds up no one else.
  const bool storeCall = (target.path == UploadPath && request.method == "POST") ||
                         (target.path.rfind("/r/", 0) == 0 && request.method != "POST") ||
                         (target.path == "/metrics" && settings_.metricsPublic);
  if (!storeCall || !storeCalls_) {
    HandleNow(request, std::move(reply));
    return;
  }
  auto shared = std::make_shared<std::pair<WebRequest, Reply>>(std::move(request), std::move(reply));
  storeCalls_->Run([this, shared] { HandleNow(shared->first, std::move(shared->second)); },
                   [this, shared, path = target.path] {
                     WebReply late = StoreLate(path);
                     late.headOnly = shared->first.method == "HEAD";
                     shared->second(std::move(late));
                   });
}

WebReply RingtoneService::StoreLate(const std::string& path) {
  if (path == UploadPath) return RefuseUpload(UploadRefusal::Store, "the store did not answer in time");
  return UnavailableReply("The store did not answer in time.", path, false);
}

void RingtoneService::HandleNow(const WebRequest& request, Reply reply) {
  RequestTarget target;
  SplitRequestTarget(request.target, target);
  const std::string& method = request.method;
  const bool head = method == "HEAD";
  const bool read = method == "GET" || head;
  const std::string& path = target.path;

  if (path == UploadPath) {
    if (method != "POST") {
      WebReply refused = TextReply(405, "error");
      refused.Set("Allow", "POST");
      reply(std::move(refused));
      return;
    }
    Upload(request, std::move(reply));
    return;
  }
  if (path.rfind("/r/", 0) == 0) {
    const std::string rest = path.substr(3);
    const size_t slash = rest.find('/');
    const std::string token = rest.substr(0, slash);
    const std::string name = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    if (!IsTokenText(token) || (slash != std::string::npos && name.empty())) {
      reply(PageReply(404, NotFoundPage(), head));
    } else if (name == "delete") {
      if (method == "POST") Delete(request, token, std::move(reply));
      else reply(MethodNotAllowed("POST"));
    } else if (!read) {
      reply(MethodNotAllowed("GET, HEAD"));
    } else if (name.empty()) {
      ShowRingtone(request, token, head, std::move(reply));
    } else {
      Download(request, token, name, std::move(reply));
    }
    return;
  }
  if (!read) {
    reply(MethodNotAllowed("GET, HEAD"));
    return;
  }
  if (path == "/" || path == "/index.php") {
    const std::optional<std::string> page = QueryParameter(target.query, "page");
    if (!page || page->empty()) reply(PageReply(200, HomePage(Facts()), head));
    else if (*page == "support") reply(PageReply(200, HelpPage(Facts()), head));
    else if (*page == "supported_phones") reply(PageReply(200, PhonesPage(catalog_), head));
    else reply(PageReply(404, NotFoundPage(), head));
  } else if (path == InstallerPath) {
    reply(Installer(request, head));
  } else if (path == "/healthz") {
    reply(Health(head));
  } else if (path == "/metrics" && settings_.metricsPublic) {
    reply(Metrics(head));
  } else {
    reply(PageReply(404, NotFoundPage(), head));
  }
}

WebReply RingtoneService::Refusal(int status, const std::string& target) {
  if (status == 408) metrics_.TimedOut();
  RequestTarget split;
  if (SplitRequestTarget(target, split) && split.path == UploadPath) {
    const UploadRefusal refusal = status == 413   ? UploadRefusal::TooLarge
                                  : status == 408 ? UploadRefusal::Timeout
                                  : status == 503 ? UploadRefusal::Busy
                                                  : UploadRefusal::Form;
    WebReply refused = RefuseUpload(refusal, status == 413   ? "the body passes 1 MiB"
                                             : status == 408 ? "the request did not arrive in time"
                                             : status == 503 ? "the memory for bodies is spoken for"
                                                             : "the request could not be read whole");
    refused.status = status;
    return refused;
  }
  const char* title = status == 413   ? "Request too large"
                      : status == 431 ? "Request headers too large"
                      : status == 505 ? "HTTP version not supported"
                      : status == 408 ? "Request too slow"
                      : status == 503 ? "Server busy"
                                      : "Bad request";
  WebReply page =
      PageReply(status, MessagePage(title, "The server could not take this request."), false);
  if (status == 408) page.logNote = "timeout";
  if (status == 503) page.Set("Retry-After", "10");
  return page;
}

WebReply RingtoneService::RefuseUpload(UploadRefusal refusal, const std::string& problem) {
  metrics_.UploadRefused(refusal);
  WebReply refused = TextReply(UploadRefusalStatus(refusal), "error");
  refused.logNote = std::string("refused=") + UploadRefusalName(refusal) + " (" + problem + ")";
  return refused;
}

void RingtoneService::Upload(const WebRequest& request, Reply reply) {
  const std::string* contentType = request.Header("Content-Type");
  UploadSubmission submission;
  std::string problem;
  if (request.body.size() > UploadBodyMaxBytes) {
    reply(RefuseUpload(UploadRefusal::TooLarge, "the body passes 1 MiB"));
    return;
  }
  if (!contentType || !ReadUploadForm(*contentType, request.body, submission, problem)) {
    reply(RefuseUpload(UploadRefusal::Form, contentType ? problem : "no Content-Type"));
    return;
  }
  AcceptedUpload accepted;
  const UploadRefusal refusal = CheckUpload(submission, catalog_, accepted, problem);
  if (refusal != UploadRefusal::None) {
    reply(RefuseUpload(refusal, problem));
    return;
  }
  const int64_t nowMs = clock_();
  const std::string number(submission.fields[UploadSms]);
  // The same ringtone again within minutes (its reply was lost): the one already kept.
  const uint64_t fingerprint = UploadFingerprint(number, accepted.carrier->id, accepted.phone->id,
                                                 accepted.format, submission.ringtone);
  const std::string earlier = recentUploads_.Find(fingerprint, nowMs);
  if (!earlier.empty()) {
    RingtoneRecord kept;
    GoneReason reason = GoneReason::Expired;
    if (store_.Find(earlier, nowMs / 1000, true, kept, reason) == StoreStatus::Ok &&
        kept.phoneNumber == number && kept.carrierId == accepted.carrier->id &&
        kept.phoneId == accepted.phone->id && kept.Bytes() == submission.ringtone) {
      WebReply again = TextReply(200, settings_.publicUrl + "/r/" + earlier);
      again.logNote = "stored before";
      reply(std::move(again));
      return;
    }
  }
  // Counted per client address only: the service sends nothing to the number, so uploads for
  // it from elsewhere cost its owner nothing, and a count per number would let anyone who
  // knows it lock it out.
  switch (limiter_.TakeUpload({"address:" + request.clientAddress}, nowMs)) {
    case LimitAnswer::Taken: break;
    case LimitAnswer::Over:
      reply(RefuseUpload(UploadRefusal::RateLimit, "over the uploads per hour"));
      return;
    case LimitAnswer::Unavailable:
      reply(RefuseUpload(UploadRefusal::Store, "the upload limits could not be read"));
      return;
  }
  RingtoneRecord record;
  record.token = NewToken();
  if (record.token.empty()) {
    reply(RefuseUpload(UploadRefusal::Store, "no random token"));
    return;
  }
  record.createdAt = nowMs / 1000;
  record.expiresAt = record.createdAt + RetentionSeconds();
  record.phoneNumber = number;
  record.carrierId = accepted.carrier->id;
  record.phoneId = accepted.phone->id;
  record.format = accepted.format;
  record.songName.assign(submission.fields[UploadSongName]);
  record.fileName.assign(submission.fields[UploadFileName]);
  record.size = static_cast<int64_t>(submission.ringtone.size());
  record.bytes.assign(submission.ringtone);
  // Not in this node's memory, the store is asked: another node may have kept it.
  record.digest = static_cast<int64_t>(fingerprint);
  record.sameSince = (nowMs - RetryWindowMs) / 1000;
  record.sameAs = std::make_shared<std::string>();
  std::shared_ptr<std::string> sameAs = record.sameAs;
  const std::string token = record.token;
  store_.Add(std::move(record), [this, fingerprint, nowMs, token, sameAs,
                                 reply = std::move(reply)](StoreStatus status) {
    if (status != StoreStatus::Ok) {
      reply(RefuseUpload(UploadRefusal::Store, "the store did not keep it"));
      return;
    }
    const bool before = !sameAs->empty();
    const std::string& kept = before ? *sameAs : token;
    recentUploads_.Remember(fingerprint, kept, nowMs);
    if (!before) metrics_.UploadAccepted();
    WebReply accepted = TextReply(200, settings_.publicUrl + "/r/" + kept);
    accepted.logNote = before ? "stored before" : "stored";
    reply(std::move(accepted));
  });
}

void RingtoneService::ShowRingtone(const WebRequest& request, const std::string& token,
                                   bool head, Reply reply) {
  RingtoneRecord record;
  GoneReason reason = GoneReason::Expired;
  const StoreStatus status = store_.Find(token, NowSeconds(), false, record, reason);
  if (status == StoreStatus::NotFound) {
    reply(PageReply(404, NotFoundPage(), head));
    return;
  }
  if (status == StoreStatus::Gone) {
    reply(PageReply(410, GonePage(reason == GoneReason::Deleted, Facts()), head));
    return;
  }
  if (status != StoreStatus::Ok) {
    reply(UnavailableReply("This ringtone's page cannot be shown.", "/r/" + token, head));
    return;
  }
  RingtoneView view;
  view.songName = SongTitle(record.songName);
  for (int i = 0; i < catalog_.PhoneCount(); ++i)
    if (catalog_.PhoneAt(i).id == record.phoneId) view.phoneName = catalog_.PhoneAt(i).name;
  for (int i = 0; i < catalog_.CarrierCount(); ++i)
    if (catalog_.CarrierAt(i).id == record.carrierId) view.carrierName = catalog_.CarrierAt(i).name;
  view.formatWord = FormatWord(record.format);
  view.size = record.size;
  view.expiresAt = record.expiresAt;
  view.numberEnding = record.phoneNumber.size() >= 4
                          ? record.phoneNumber.substr(record.phoneNumber.size() - 4)
                          : std::string();
  view.downloads = record.downloads;
  view.pageUrl = settings_.publicUrl + "/r/" + token;
  view.downloadPath = "/r/" + token + "/" + DownloadFileName(record.songName, FormatExtension(record.format));
  view.deletePath = "/r/" + token + "/delete";
  view.playable = view.formatWord == "mp3" || view.formatWord == "m4r" ||
                  view.formatWord == "ogg" || view.formatWord == "wav";
  const std::string* agent = request.Header("User-Agent");
  view.visitor = agent ? PhoneOfUserAgent(*agent) : VisitorPhone::Other;
  int size = 0;
  const std::vector<bool> modules = QrModules(view.pageUrl, size);
  view.qrSvg = QrSvg(modules, size, 200);
  WebReply page = PageReply(200, RingtonePage(view), head);
  page.Set("Cache-Control", "no-store");
  page.Set("X-Robots-Tag", "noindex");
  page.Set("Vary", "User-Agent");
  reply(std::move(page));
}

void RingtoneService::Download(const WebRequest& request, const std::string& token,
                               const std::string& name, Reply reply) {
  const bool head = request.method == "HEAD";
  RingtoneRecord record;
  GoneReason reason = GoneReason::Expired;
  const StoreStatus status = store_.Find(token, NowSeconds(), !head, record, reason);
  if (status == StoreStatus::Gone) {
    reply(PageReply(410, GonePage(reason == GoneReason::Deleted, Facts()), head));
    return;
  }
  if (status == StoreStatus::Unavailable) {
    reply(UnavailableReply("The ringtone cannot be downloaded.", "/r/" + token + "/" + name,
                           head));
    return;
  }
  const std::string fileName = DownloadFileName(record.songName, FormatExtension(record.format));
  if (status == StoreStatus::NotFound || name != fileName) {
    reply(PageReply(404, NotFoundPage(), head));
    return;
  }
  const std::string etag = "\"" + token + "\"";
  WebReply file;
  file.headOnly = head;
  file.Set("Content-Type", MediaType(record.format));
  file.Set("ETag", etag);
  file.Set("Accept-Ranges", "bytes");
  file.Set("Cache-Control", "private, no-cache");
  file.Set("X-Content-Type-Options", "nosniff");
  file.Set("Content-Disposition",
           DownloadDisposition(record.songName, FormatExtension(record.format), fileName));
  const uint64_t size = static_cast<uint64_t>(record.size);
  ByteRange range;
  const FileAnswer answer = AnswerConditions(request, etag, size, head, file, range);
  if (answer == FileAnswer::NotModified || answer == FileAnswer::Unsatisfiable) {
    reply(std::move(file));
    return;
  }
  // One download is one whole file: a range counts when it reaches the file's end (the end
  // of a download that began with a whole request, or one resumed), never a probe.
  const bool counted =
      !head && (answer == FileAnswer::Whole || range.last + 1 == size);
  // The bytes go out from where the store holds them, as they are.
  std::shared_ptr<const void> lender;
  std::string_view bytes;
  if (record.lent) {
    bytes = record.lent->bytes;
    lender = std::move(record.lent);
  } else {
    auto owned = std::make_shared<const std::string>(std::move(record.bytes));
    bytes = *owned;
    lender = std::move(owned);
  }
  if (answer == FileAnswer::Partial && !head)
    bytes = bytes.substr(range.first, range.last - range.first + 1);
  if (!head) {
    file.lender = std::move(lender);
    file.lentBody = bytes;
  }
  if (head)
    file.headLength = static_cast<int64_t>(answer == FileAnswer::Partial ? range.last - range.first + 1 : size);
  if (counted) {
    store_.CountDownload(token);
    metrics_.Downloaded();
  }
  reply(std::move(file));
}

bool RingtoneService::SameSite(const WebRequest& request) const {
  // Browsers mark where a request comes from: Sec-Fetch-Site, else Origin, else Referer.
  // Older browsers that send none of them never send a cross-site form without one either.
  if (const std::string* site = request.Header("Sec-Fetch-Site"))
    return *site == "same-origin" || *site == "none";
  const std::string* host = request.Header("Host");
  auto sameOrigin = [&](const std::string& origin) {
    if (origin == publicOrigin_) return true;
    const size_t scheme = origin.find("://");
    return host && scheme != std::string::npos && origin.substr(scheme + 3) == *host;
  };
  if (const std::string* origin = request.Header("Origin")) return sameOrigin(*origin);
  if (const std::string* referer = request.Header("Referer")) return sameOrigin(OriginOf(*referer));
  return true;
}

void RingtoneService::Delete(const WebRequest& request, const std::string& token, Reply reply) {
  if (!SameSite(request)) {
    WebReply refused = PageReply(403, MessagePage("Not deleted", "A ringtone can be deleted "
                                                  "only from its own page."), false);
    refused.logNote = "cross-site delete refused";
    reply(std::move(refused));
    return;
  }
  const int64_t now = NowSeconds();
  store_.Delete(token, now, [this, token, now, reply = std::move(reply)](StoreStatus status) {
    switch (status) {
      case StoreStatus::Ok: {
        WebReply done = TextReply(303, "");
        done.Set("Location", "/r/" + token);
        done.logNote = "deleted";
        reply(std::move(done));
        return;
      }
      case StoreStatus::NotFound: reply(PageReply(404, NotFoundPage(), false)); return;
      case StoreStatus::Gone: {  // gone before: say how, as its page does
        RingtoneRecord record;
        GoneReason reason = GoneReason::Expired;
        store_.Find(token, now, false, record, reason);
        reply(PageReply(410, GonePage(reason == GoneReason::Deleted, Facts()), false));
        return;
      }
      case StoreStatus::Unavailable:
        reply(UnavailableReply("The ringtone was not deleted.", "/r/" + token, false));
        return;
    }
  });
}

WebReply RingtoneService::Installer(const WebRequest& request, bool head) const {
  struct stat facts {};
  if (settings_.installerPath.empty() || access(settings_.installerPath.c_str(), R_OK) != 0 ||
      stat(settings_.installerPath.c_str(), &facts) != 0)
    return PageReply(404, InstallerMissingPage(), head);
  // The tag changes with the file: its size and the time it was last written.
  char tag[64];
  std::snprintf(tag, sizeof tag, "\"%llx-%llx\"", static_cast<unsigned long long>(facts.st_size),
                static_cast<unsigned long long>(facts.st_mtim.tv_sec) * 1000000000ull +
                    static_cast<unsigned long long>(facts.st_mtim.tv_nsec));
  const std::string etag = tag;
  const uint64_t size = static_cast<uint64_t>(facts.st_size);
  WebReply file;
  file.filePath = settings_.installerPath;
  file.headOnly = head;
  file.Set("Content-Type", "application/octet-stream");
  file.Set("Content-Disposition", "attachment; filename=\"QuavellaPackage.exe\"");
  file.Set("X-Content-Type-Options", "nosniff");
  file.Set("ETag", etag);
  file.Set("Accept-Ranges", "bytes");
  ByteRange range;
  switch (AnswerConditions(request, etag, size, head, file, range)) {
    case FileAnswer::NotModified:
      file.filePath.clear();
      break;
    case FileAnswer::Partial:
      file.fileOffset = range.first;
      file.fileLength = static_cast<int64_t>(range.last - range.first + 1);
      break;
    case FileAnswer::Whole:
    case FileAnswer::Unsatisfiable:
      break;
  }
  return file;
}

WebReply RingtoneService::Health(bool head) {
  return store_.Ping() == StoreStatus::Ok ? TextReply(200, "ok\n", head)
                                           : TextReply(503, "store unavailable\n", head);
}

WebReply RingtoneService::Metrics(bool head) {
  StoreTotals totals;
  const bool answered = store_.Totals(totals) == StoreStatus::Ok;
  WebReply reply = TextReply(200, metrics_.Text(totals, answered), head);
  reply.headers.front().second = "text/plain; version=0.0.4; charset=utf-8";
  return reply;
}

void RingtoneService::Sweep(RingtoneStore::Done done) {
  const int64_t now = NowSeconds();
  store_.Sweep(now, now - RetentionSeconds(), std::move(done));
}
