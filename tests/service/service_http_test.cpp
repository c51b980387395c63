// The service over real HTTP, in this process: the exact request Quavella.exe sends (recorded
// by the end-to-end upload test through the proxy route) and damaged variants of it, then
// the page, the download, the delete, the site's pages and the bounds of the HTTP side. The
// tests of what is kept run against both stores (SQLite and PostgreSQL); those of the HTTP
// side alone against the embedded one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>

#include "delivery/upload_fields.h"
#include "profile/catalogue_text.h"
#include "service/http_server.h"
#include "service/ringtone_service.h"
#include "service/service_options.h"
#include "service/sqlite_store.h"
#include "service/upload_form_reader.h"
#include "tests/service/http_client.h"
#include "tests/service/ringtone_samples.h"
#include "tests/service/test_stores.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The request recorded from Quavella.exe: a WAV ringtone for a Motorola MPx200 on Cingular.
const std::string& Recorded() {
  static const std::string raw = ReadFile(QV_SERVICE_FIXTURES "/upload-wav.raw");
  return raw;
}

struct Upload {
  std::string head;  // request line and headers, CRLF CRLF included
  std::string body;
  std::string boundary;
  std::string values[UploadFieldCount];
  std::string fileName, typeWord, ringtone;

  static Upload Parse(const std::string& raw) {
    Upload u;
    const size_t end = raw.find("\r\n\r\n");
    u.head = raw.substr(0, end + 4);
    u.body = raw.substr(end + 4);
    const size_t at = u.head.find("boundary=") + 9;
    u.boundary = u.head.substr(at, u.head.find("\r\n", at) - at);
    UploadSubmission s;
    std::string problem;
    const std::string type = "multipart/form-data; boundary=" + u.boundary;
    EXPECT_TRUE(ReadUploadForm(type, u.body, s, problem)) << problem;
    for (int i = 0; i < UploadFieldCount; ++i) u.values[i] = s.fields[i];
    u.fileName = s.fileName;
    u.typeWord = s.typeWord;
    u.ringtone = s.ringtone;
    return u;
  }
  // The body with its pieces as they are now, laid out as Quavella lays it out.
  std::string Body() const {
    SampleUpload sample;
    std::string* fields[] = {&sample.sms, &sample.fileName, &sample.songName,
                             &sample.carrierIndex, &sample.phoneId, &sample.version,
                             &sample.serial, &sample.fileSize};
    for (int i = 0; i < UploadFieldCount; ++i) *fields[i] = values[i];
    sample.localFile = fileName;
    sample.typeWord = typeWord;
    sample.ringtone = ringtone;
    return UploadBody(sample, boundary);
  }
  // The request with `body` and a Content-Length that matches it.
  std::string With(const std::string& newBody) const {
    std::string h = head;
    const size_t at = h.find("Content-Length: ") + 16;
    h.replace(at, h.find("\r\n", at) - at, std::to_string(newBody.size()));
    return h + newBody;
  }
  std::string Request() const { return With(Body()); }
};

// A store that cannot be reached, as a database that is down.
class UnreachableStore final : public RingtoneStore, public UploadLimiter {
 public:
  void Add(RingtoneRecord, Done done) override { done(StoreStatus::Unavailable); }
  StoreStatus Find(std::string_view, int64_t, bool, RingtoneRecord&, GoneReason&) override {
    return StoreStatus::Unavailable;
  }
  void Delete(std::string, int64_t, Done done) override { done(StoreStatus::Unavailable); }
  void CountDownload(std::string_view) override {}
  void Sweep(int64_t, int64_t, Done done) override { done(StoreStatus::Unavailable); }
  StoreStatus Totals(StoreTotals&) override { return StoreStatus::Unavailable; }
  void Close() override {}
  LimitAnswer TakeUpload(std::initializer_list<std::string_view>, int64_t) override {
    return limits;
  }
  LimitAnswer limits = LimitAnswer::Taken;
};

class ServiceOverHttp : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qv-service-test.XXXXXX";
    folder_ = mkdtemp(pattern);
    ASSERT_TRUE(catalog_.Load(CatalogueText, CatalogueTextSize));
    std::string error;
    place_ = std::make_unique<TestStorePlace>(GetParam(), error);
    ASSERT_TRUE(error.empty()) << error;
  }
  void TearDown() override {
    StopServer();
    std::filesystem::remove_all(folder_);
  }

  void StartServer(HttpLimits limits = {}, uint32_t perHour = 1000,
                   std::string installer = std::string(), UnreachableStore* unreachable = nullptr) {
    std::string error;
    if (unreachable) {
      storeRef_ = unreachable;
      limiterRef_ = unreachable;
    } else {
      ASSERT_TRUE(place_->Open(store_, limiter_, error, perHour, statementTimeoutMs_)) << error;
      storeRef_ = store_.get();
      limiterRef_ = limiter_.get();
    }
    server_ = std::make_unique<HttpServer>(
        limits,
        [this](WebRequest request, HttpServer::Reply reply) {
          service_->Handle(std::move(request), std::move(reply));
        },
        [this](int status, const std::string& target) { return service_->Refusal(status, target); },
        [this](const std::string& line, double seconds) {
          metrics_.RequestServed(seconds);
          std::lock_guard<std::mutex> lock(logMutex_);
          log_ += line;
        });
    ASSERT_TRUE(server_->Listen("127.0.0.1", 0, error)) << error;
    port_ = server_->Port();
    ServiceSettings settings;
    settings.publicUrl = LocalUrl("127.0.0.1", port_);
    settings.uploadsPerHour = perHour;
    settings.installerPath = std::move(installer);
    settings.metricsPublic = metricsPublic_;
    if (GetParam() == StoreKind::Postgres) {  // as the service runs on a database
      settings.storeThreads = 16;
      settings.storeWait = std::chrono::milliseconds(statementTimeoutMs_ ? statementTimeoutMs_ : 5000);
    }
    service_ = std::make_unique<RingtoneService>(settings, catalog_, *storeRef_, *limiterRef_,
                                                 metrics_, [this] { return nowMs_.load(); });
    runner_ = std::thread([this] { server_->Run(); });
  }
  void StopServer() {
    if (!server_) return;
    server_->Stop();
    runner_.join();
    service_.reset();  // its store calls end before the store closes
    storeRef_->Close();
    server_.reset();
  }
  std::string Log() {
    std::lock_guard<std::mutex> lock(logMutex_);
    return log_;
  }
  // The log once it holds `piece` (a line is written just after its reply has gone out).
  std::string LogWith(const std::string& piece) {
    for (int tries = 0; tries < 100 && Log().find(piece) == std::string::npos; ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Log();
  }
  std::string PublicUrl() const { return LocalUrl("127.0.0.1", port_); }
  // Sends the request and returns the page address of the accepted upload.
  std::string Accepted(const std::string& request) {
    const HttpAnswer answer = Exchange(port_, request);
    EXPECT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.body.rfind(PublicUrl() + "/r/", 0), 0u) << answer.body;
    return answer.body;
  }
  static std::string PathOf(const std::string& url) { return url.substr(url.find("/r/")); }

  std::string folder_;
  bool metricsPublic_ = true;
  int statementTimeoutMs_ = 0;
  PhoneCatalog catalog_;
  ServiceMetrics metrics_;
  std::atomic<int64_t> nowMs_{1700000000000};
  std::unique_ptr<TestStorePlace> place_;
  std::unique_ptr<RingtoneStore> store_;
  std::unique_ptr<UploadLimiter> limiter_;
  RingtoneStore* storeRef_ = nullptr;
  UploadLimiter* limiterRef_ = nullptr;
  std::unique_ptr<RingtoneService> service_;
  std::unique_ptr<HttpServer> server_;
  std::thread runner_;
  uint16_t port_ = 0;
  std::mutex logMutex_;
  std::string log_;
};

INSTANTIATE_TEST_SUITE_P(Stores, ServiceOverHttp,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres), StoreKindName);

// The HTTP side, whatever keeps the ringtones.
class HttpSide : public ServiceOverHttp {};
INSTANTIATE_TEST_SUITE_P(Embedded, HttpSide, ::testing::Values(StoreKind::Sqlite), StoreKindName);

TEST_P(ServiceOverHttp, TheRecordedRequestIsAcceptedAsItIs) {
  ASSERT_FALSE(Recorded().empty()) << "fixture missing";
  const Upload recorded = Upload::Parse(Recorded());
  EXPECT_EQ(recorded.Request(), Recorded()) << "the variants below differ only where they mean to";
  EXPECT_EQ(recorded.head.rfind("POST http://", 0), 0u) << "the proxy's absolute form";
  StartServer();
  const HttpAnswer answer = Exchange(port_, Recorded());
  ASSERT_EQ(answer.status, 200) << answer.raw;
  const std::string token = answer.body.substr(answer.body.rfind('/') + 1);
  EXPECT_EQ(answer.body, PublicUrl() + "/r/" + token) << "the address and nothing else";
  EXPECT_EQ(token.size(), 22u);

  // The page names the phone and carrier; the download is the ringtone byte for byte.
  const HttpAnswer page = Exchange(port_, GetRequest("/r/" + token));
  EXPECT_EQ(page.status, 200);
  for (const char* shown : {"Motorola MPx200", "Cingular", "WAV", "ending in 4567", "<svg"})
    EXPECT_NE(page.body.find(shown), std::string::npos) << shown;
  EXPECT_EQ(page.body.find("5551234567"), std::string::npos) << "only the last four digits";
  const std::string name = "/r/" + token + "/My_Song___You.wav";
  EXPECT_NE(page.body.find("href=\"" + name + "\""), std::string::npos);
  const HttpAnswer file = Exchange(port_, GetRequest(name));
  ASSERT_EQ(file.status, 200);
  EXPECT_TRUE(file.body == recorded.ringtone);
  EXPECT_EQ(*file.Header("Content-Type"), "audio/wav");
  EXPECT_EQ(*file.Header("Content-Length"), std::to_string(recorded.ringtone.size()));
  EXPECT_EQ(*file.Header("Content-Disposition"),
            "attachment; filename=\"My_Song___You.wav\"; filename*=UTF-8''My%20Song%20You.wav");
  EXPECT_EQ(Log().find(recorded.values[UploadSms]), std::string::npos) << "never in the log";
}

TEST_P(ServiceOverHttp, DamagedRequestsAreRefusedWithTheWordError) {
  ASSERT_FALSE(Recorded().empty()) << "fixture missing";
  const Upload recorded = Upload::Parse(Recorded());
  StartServer();
  auto changed = [&](auto change) {
    Upload u = recorded;
    change(u);
    return u.Request();
  };
  std::string otherBoundary = Recorded();
  otherBoundary.replace(otherBoundary.find("boundary=") + 9 + 27, 12, "FFFFFFFFFFFF");
  std::string cut = recorded.With(recorded.body.substr(0, recorded.body.size() / 2));
  std::string missing = recorded.Request();
  const size_t songAt = missing.find("--" + recorded.boundary + "\r\nContent-Disposition: form-data; name=\"song_name\"");
  missing.erase(songAt, missing.find("--" + recorded.boundary, songAt + 1) - songAt);
  missing = recorded.With(missing.substr(missing.find("\r\n\r\n") + 4));
  std::string repeated = recorded.body;
  repeated.insert(0, repeated.substr(0, repeated.find("--" + recorded.boundary, 2)));
  std::string mmfBadCrc = SampleMmf(8000);
  mmfBadCrc.back() ^= 1;
  const struct {
    const char* what;
    std::string request;
    int status;
    const char* reason;
  } cases[] = {
      {"a cut body", cut, 400, "form"},
      {"another boundary", otherBoundary, 400, "form"},
      {"a missing field", missing, 400, "form"},
      {"a repeated field", recorded.With(repeated), 400, "form"},
      {"a wrong type word", changed([](Upload& u) { u.typeWord = "amr"; }), 400, "type_word"},
      {"bytes of another format", changed([](Upload& u) {
         u.ringtone = SampleAmr(40);
         u.values[UploadFileSize] = std::to_string(u.ringtone.size());
       }), 400, "bytes"},
      {"an MMF with a bad CRC", changed([&](Upload& u) {
         u.values[UploadPhoneId] = "148";
         u.typeWord = "mmf";
         u.ringtone = mmfBadCrc;
         u.values[UploadFileSize] = std::to_string(u.ringtone.size());
       }), 400, "bytes"},
      {"an 11-digit number", changed([](Upload& u) { u.values[UploadSms] += "8"; }), 400, "number"},
      {"an unknown carrier", changed([](Upload& u) { u.values[UploadCarrierIndex] = "31"; }), 400, "carrier"},
      {"an unknown phone", changed([](Upload& u) { u.values[UploadPhoneId] = "208"; }), 400, "phone"},
      {"a wrong size", changed([](Upload& u) { u.values[UploadFileSize] += "0"; }), 400, "file_size"},
  };
  for (const auto& c : cases) {
    const HttpAnswer answer = Exchange(port_, c.request);
    EXPECT_EQ(answer.status, c.status) << c.what;
    EXPECT_EQ(answer.body, "error") << c.what;
    EXPECT_NE(LogWith(std::string("refused=") + c.reason).find(std::string("refused=") + c.reason),
              std::string::npos) << c.what;
  }
  // The same MMF with its CRC whole is taken, for a phone that plays MMF.
  EXPECT_FALSE(Accepted(changed([](Upload& u) {
                 u.values[UploadPhoneId] = "148";
                 u.typeWord = "mmf";
                 u.ringtone = SampleMmf(8000);
                 u.values[UploadFileSize] = std::to_string(u.ringtone.size());
               })).empty());

  // A body that stops before its Content-Length: the client gives up sending.
  HttpClient early(port_);
  ASSERT_TRUE(early.Send(Recorded().substr(0, Recorded().size() - 100)));
  early.FinishSending();
  HttpAnswer answer = early.Read();
  EXPECT_EQ(answer.status, 400);
  EXPECT_EQ(answer.body, "error");

  // Past 1 MiB: refused from the headers alone, and nothing more is read.
  std::string oversize = recorded.head;
  const size_t at = oversize.find("Content-Length: ") + 16;
  oversize.replace(at, oversize.find("\r\n", at) - at, std::to_string(2 * 1024 * 1024));
  HttpClient large(port_);
  ASSERT_TRUE(large.Send(oversize));
  answer = large.Read();
  EXPECT_EQ(answer.status, 413);
  EXPECT_EQ(answer.body, "error");
  EXPECT_TRUE(large.ClosedByServer());

  // Nothing refused was kept.
  StoreTotals totals;
  ASSERT_EQ(store_->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, 1);
  const HttpAnswer metrics = Exchange(port_, GetRequest("/metrics"));
  EXPECT_NE(metrics.body.find("quavella_uploads_refused_total{reason=\"form\"} 5"), std::string::npos)
      << metrics.body;
  EXPECT_NE(metrics.body.find("quavella_uploads_refused_total{reason=\"too_large\"} 1"), std::string::npos);
  EXPECT_NE(metrics.body.find("quavella_uploads_accepted_total 1"), std::string::npos);
  EXPECT_EQ(Log().find(recorded.values[UploadSms]), std::string::npos);
}

TEST_P(ServiceOverHttp, DownloadsHonourRangesTagsAndHead) {
  StartServer();
  SampleUpload sample;
  sample.phoneId = "164";  // LG 325: AMR
  sample.typeWord = "amr";
  sample.localFile = "a.amr";
  sample.ringtone = SampleAmr(60);
  const std::string boundary = "---------------------------00AA11BB22CC";
  const std::string body = UploadBody(sample, boundary);
  const std::string url = Accepted("POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\nContent-Type: " +
                                   UploadContentType(boundary) + "\r\nContent-Length: " +
                                   std::to_string(body.size()) + "\r\n\r\n" + body);
  const std::string file = PathOf(url) + "/My_Song.amr";
  const std::string token = PathOf(url).substr(3);

  HttpAnswer whole = Exchange(port_, GetRequest(file));
  ASSERT_EQ(whole.status, 200);
  EXPECT_EQ(*whole.Header("Content-Type"), "audio/amr");
  EXPECT_EQ(*whole.Header("ETag"), "\"" + token + "\"");
  EXPECT_EQ(*whole.Header("Accept-Ranges"), "bytes");
  EXPECT_TRUE(whole.body == sample.ringtone);

  HttpAnswer part = Exchange(port_, GetRequest(file, "Range: bytes=0-5\r\n"));
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.body, "#!AMR\n");
  EXPECT_EQ(*part.Header("Content-Range"), "bytes 0-5/" + std::to_string(sample.ringtone.size()));
  part = Exchange(port_, GetRequest(file, "Range: bytes=-4\r\n"));
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.body, sample.ringtone.substr(sample.ringtone.size() - 4));
  part = Exchange(port_, GetRequest(file, "Range: bytes=99999-\r\n"));
  EXPECT_EQ(part.status, 416);
  EXPECT_EQ(*part.Header("Content-Range"), "bytes */" + std::to_string(sample.ringtone.size()));
  part = Exchange(port_, GetRequest(file, "Range: bytes=0-5\r\nIf-Range: \"other\"\r\n"));
  EXPECT_EQ(part.status, 200) << "a changed tag gets the whole file";

  HttpAnswer cached = Exchange(port_, GetRequest(file, "If-None-Match: \"" + token + "\"\r\n"));
  EXPECT_EQ(cached.status, 304);
  EXPECT_TRUE(cached.body.empty());
  HttpAnswer head = Exchange(port_, GetRequest(file, "", "HEAD"), true);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(*head.Header("Content-Length"), std::to_string(sample.ringtone.size()));
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url) + "/other.amr")).status, 404);
  EXPECT_EQ(Exchange(port_, GetRequest("/r/AAAAAAAAAAAAAAAAAAAAAA")).status, 404);
  EXPECT_EQ(Exchange(port_, GetRequest("/r/short")).status, 404);

  // Whole downloads and ranges that reach the end count; the rest do not.
  const HttpAnswer metrics = Exchange(port_, GetRequest("/metrics"));
  EXPECT_NE(metrics.body.find("quavella_downloads_total 3\n"), std::string::npos) << metrics.body;
  StopServer();  // the counts kept back are written on closing
  std::string error;
  std::unique_ptr<RingtoneStore> store;
  std::unique_ptr<UploadLimiter> limiter;
  ASSERT_TRUE(place_->Open(store, limiter, error)) << error;
  RingtoneRecord record;
  GoneReason why;
  ASSERT_EQ(store->Find(token, nowMs_ / 1000, false, record, why), StoreStatus::Ok);
  EXPECT_EQ(record.downloads, 3);
}

// Today's phones: the iPhone's m4r and the Android phone's ogg, taken up to their length and
// refused beyond it (files of the system's ffmpeg in the fixtures), downloaded with their type
// and extension, and played on the ringtone's page.
TEST_P(ServiceOverHttp, TodaysPhonesByTheirLength) {
  StartServer();
  const struct {
    const char *phoneId, *word, *mediaType, *shortFile, *longFile, *steps;
  } rows[] = {{"184", "m4r", "audio/mp4", "short.m4r", "long.m4r", "Use as Ringtone"},
              {"185", "ogg", "audio/ogg", "short.ogg", "long.ogg", "Phone ringtone"}};
  for (const auto& row : rows) {
    SampleUpload sample;
    sample.carrierIndex = "9";
    sample.phoneId = row.phoneId;
    sample.typeWord = row.word;
    sample.localFile = std::string("a.") + row.word;
    const std::string boundary = "---------------------------00AA11BB22CC";
    auto request = [&](const char* fixture) {
      std::ifstream in(std::string(QV_SERVICE_FIXTURES) + "/" + fixture, std::ios::binary);
      sample.ringtone.assign(std::istreambuf_iterator<char>(in), {});
      EXPECT_GT(sample.ringtone.size(), 1000u) << fixture;
      const std::string body = UploadBody(sample, boundary);
      return "POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\nContent-Type: " +
             UploadContentType(boundary) + "\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n\r\n" + body;
    };
    const HttpAnswer tooLong = Exchange(port_, request(row.longFile));
    EXPECT_EQ(tooLong.status, 400) << row.word;
    EXPECT_EQ(tooLong.body, "error");

    const std::string url = Accepted(request(row.shortFile));
    const HttpAnswer file =
        Exchange(port_, GetRequest(PathOf(url) + "/My_Song." + row.word));
    ASSERT_EQ(file.status, 200) << row.word;
    EXPECT_EQ(*file.Header("Content-Type"), row.mediaType);
    EXPECT_TRUE(file.body == sample.ringtone);
    const HttpAnswer page = Exchange(port_, GetRequest(PathOf(url)));
    EXPECT_NE(page.body.find("<audio controls"), std::string::npos) << row.word;
    ASSERT_TRUE(page.Header("Content-Security-Policy"));
    EXPECT_NE(page.Header("Content-Security-Policy")->find("media-src 'self'"), std::string::npos)
        << "the player may load the ringtone";
    EXPECT_NE(page.body.find(row.steps), std::string::npos) << row.word;
  }
}

TEST_P(ServiceOverHttp, DeleteOnlyFromTheSiteAndThenGone) {
  StartServer();
  const std::string url = Accepted(Recorded());
  const std::string del = "POST " + PathOf(url) + "/delete HTTP/1.1\r\nHost: 127.0.0.1:" +
                          std::to_string(port_) + "\r\nContent-Length: 0\r\n";
  EXPECT_EQ(Exchange(port_, del + "Origin: http://evil.example\r\n\r\n").status, 403);
  EXPECT_EQ(Exchange(port_, del + "Sec-Fetch-Site: cross-site\r\n\r\n").status, 403);
  EXPECT_EQ(Exchange(port_, del + "Referer: http://evil.example/r/x\r\n\r\n").status, 403);
  EXPECT_EQ(Exchange(port_, del + "Origin: null\r\n\r\n").status, 403);
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url))).status, 200) << "still there";
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url) + "/delete")).status, 405);

  const HttpAnswer done = Exchange(port_, del + "Origin: " + PublicUrl() + "\r\n\r\n");
  EXPECT_EQ(done.status, 303);
  EXPECT_EQ(*done.Header("Location"), PathOf(url));
  const HttpAnswer gone = Exchange(port_, GetRequest(PathOf(url)));
  EXPECT_EQ(gone.status, 410);
  EXPECT_NE(gone.body.find("deleted"), std::string::npos);
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url) + "/My_Song___You.wav")).status, 410);
  const HttpAnswer again = Exchange(port_, del + "\r\n");
  EXPECT_EQ(again.status, 410) << "a second delete";
  EXPECT_NE(again.body.find("was deleted"), std::string::npos);
}

TEST_P(ServiceOverHttp, RingtonesExpireAndTheSweepRemovesThem) {
  StartServer();
  const std::string url = Accepted(Recorded());
  nowMs_ += int64_t{30} * 86400 * 1000;  // the default 30 days later
  const HttpAnswer gone = Exchange(port_, GetRequest(PathOf(url)));
  EXPECT_EQ(gone.status, 410);
  EXPECT_NE(gone.body.find("expired"), std::string::npos);
  std::promise<StoreStatus> swept;
  service_->Sweep([&](StoreStatus status) { swept.set_value(status); });
  EXPECT_EQ(swept.get_future().get(), StoreStatus::Ok);
  StoreTotals totals;
  ASSERT_EQ(store_->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, 0);
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url))).status, 410);
}

TEST_P(HttpSide, SitePagesHealthAndTheInstaller) {
  const std::string installer = folder_ + "/QuavellaPackage.exe";
  { std::ofstream(installer, std::ios::binary) << "MZ installer bytes"; }
  StartServer({}, 1000, installer);
  const struct { std::string target; int status; const char* shown; } pages[] = {
      {"/", 200, "Download Quavella"},
      {"/index.php", 200, "Download Quavella"},
      {"/index.php?page=support", 200, "Upload error"},
      {"http://quavella.example/index.php?page=supported_phones", 200, "Motorola V3 RAZR"},
      {"/index.php?page=other", 404, "Page not found"},
      {"/nothing/here", 404, "Page not found"},
      {"/healthz", 200, "ok"},
      {"/metrics", 200, "quavella_store_ringtones 0"},
      {"/download/QuavellaPackage.exe", 200, "MZ installer bytes"},
  };
  for (const auto& p : pages) {
    const HttpAnswer answer = Exchange(port_, GetRequest(p.target));
    EXPECT_EQ(answer.status, p.status) << p.target;
    EXPECT_NE(answer.body.find(p.shown), std::string::npos) << p.target;
  }
  EXPECT_EQ(Exchange(port_, GetRequest("/ringtones/upload2.php")).status, 405);
  EXPECT_EQ(Exchange(port_, GetRequest("/", "", "DELETE")).status, 405);
  std::filesystem::remove(installer);
  const HttpAnswer missing = Exchange(port_, GetRequest("/download/QuavellaPackage.exe"));
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("Installer not available"), std::string::npos);
  const std::string log = LogWith(" GET /download/QuavellaPackage.exe 404 ");
  EXPECT_NE(log.find(" GET /index.php?page=supported_phones 200 "), std::string::npos) << log;
  size_t lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(lines, std::size(pages) + 3) << "one line per request";
}

// `request` with header lines added after its request line.
std::string WithHeaders(const std::string& request, const std::string& lines) {
  std::string changed = request;
  changed.insert(changed.find("\r\n") + 2, lines);
  return changed;
}

TEST_P(ServiceOverHttp, UploadsPerHourPerClientBehindTheProxy) {
  HttpLimits limits;
  limits.trustForwardedFor = true;
  StartServer(limits, 2);
  // The client is what the proxy added last; the lines before are the client's own words.
  // Each upload is a new ringtone (the same one again would be a retry).
  uint32_t sent = 0;
  auto from = [&sent](const std::string& claimed, const std::string& client) {
    Upload u = Upload::Parse(Recorded());
    u.ringtone = SampleWav(4000, ++sent);
    u.values[UploadFileSize] = std::to_string(u.ringtone.size());
    return WithHeaders(u.Request(), "X-Forwarded-For: " + claimed + "\r\nX-Forwarded-For: " +
                                        client + "\r\n");
  };
  Accepted(from("1.1.1.1", "203.0.113.7"));
  Accepted(from("2.2.2.2", "203.0.113.7"));
  const HttpAnswer third = Exchange(port_, from("3.3.3.3", "203.0.113.7"));
  EXPECT_EQ(third.status, 429) << "a varied first line changes nothing";
  EXPECT_EQ(third.body, "error");
  // The same number from another client: a stranger cannot lock a number out.
  Accepted(from("1.1.1.1", "198.51.100.9"));
  Accepted(from("1.1.1.1", "198.51.100.9"));
  nowMs_ += 1800 * 1000;  // half an hour gives one back
  Accepted(from("4.4.4.4", "203.0.113.7"));
}

TEST_P(ServiceOverHttp, TheSameUploadSentAgainWithinMinutesIsTheSameRingtone) {
  StartServer();
  const std::string first = Accepted(Recorded());
  EXPECT_EQ(Accepted(Recorded()), first) << "a retry whose reply was lost";
  StoreTotals totals;
  ASSERT_EQ(store_->Totals(totals), StoreStatus::Ok);
  EXPECT_EQ(totals.ringtones, 1);
  nowMs_ += 10 * 60 * 1000;
  EXPECT_NE(Accepted(Recorded()), first) << "ten minutes later, a new one";
}

// Two nodes on one database: a retry that reaches the other node, whose memory never saw the
// first upload, gets the ringtone the first node kept.
class SharedDatabase : public ServiceOverHttp {};
INSTANTIATE_TEST_SUITE_P(Nodes, SharedDatabase, ::testing::Values(StoreKind::Postgres),
                         StoreKindName);

TEST_P(SharedDatabase, ARetryThatReachesAnotherNodeIsTheSameRingtone) {
  StartServer();
  const std::string first = Accepted(Recorded());
  std::string error;
  std::unique_ptr<RingtoneStore> store;
  std::unique_ptr<UploadLimiter> limiter;
  ASSERT_TRUE(place_->Open(store, limiter, error)) << error;
  ServiceSettings settings;
  settings.publicUrl = PublicUrl();
  auto other = std::make_unique<RingtoneService>(settings, catalog_, *store, *limiter, metrics_,
                                                 [this] { return nowMs_.load(); });
  const Upload upload = Upload::Parse(Recorded());
  const WebRequest request{"POST", "/ringtones/upload2.php",
                           {{"Content-Type", "multipart/form-data; boundary=" + upload.boundary}},
                           upload.body, "192.0.2.4"};
  std::promise<WebReply> answer;
  other->Handle(request, [&](WebReply reply) { answer.set_value(std::move(reply)); });
  EXPECT_EQ(answer.get_future().get().body, first) << "the same ringtone, nothing added";
  other.reset();
  store->Close();
}

TEST_P(HttpSide, HttpBoundsAndKeptConnections) {
  HttpLimits limits;
  limits.connectionsPerAddress = 3;
  limits.headerTimeout = std::chrono::seconds(1);
  StartServer(limits);

  // Two requests on one connection; a waiting client, answered with 100 Continue.
  HttpClient kept(port_);
  ASSERT_TRUE(kept.Send(GetRequest("/healthz")));
  EXPECT_EQ(kept.Read().status, 200);
  std::string expect = Recorded();
  const size_t headEnd = expect.find("\r\n\r\n");
  ASSERT_TRUE(kept.Send(expect.substr(0, headEnd) + "\r\nExpect: 100-continue\r\n\r\n"));
  const HttpAnswer interim = kept.Read(false, 2);
  EXPECT_EQ(interim.status, 100) << "nothing but the 100 before the body";
  EXPECT_EQ(interim.raw.rfind("HTTP/1.1 100 Continue\r\n", 0), 0u) << interim.raw;
  ASSERT_TRUE(kept.Send(expect.substr(headEnd + 4)));
  EXPECT_EQ(kept.Read().status, 200);

  // Headers past 8 KiB.
  const HttpAnswer big = Exchange(port_, GetRequest("/", "X-Big: " + std::string(9000, 'a') + "\r\n"));
  EXPECT_EQ(big.status, 431);

  // A client that never finishes its headers is let go.
  HttpClient slow(port_);
  ASSERT_TRUE(slow.Send("GET / HTTP/1.1\r\nHost: x\r\n"));
  EXPECT_TRUE(slow.ClosedByServer());

  // At most three connections from one address: the fourth is closed at once.
  HttpClient a(port_), b(port_);
  ASSERT_TRUE(a.Send(GetRequest("/healthz")));
  ASSERT_TRUE(b.Send(GetRequest("/healthz")));
  EXPECT_EQ(a.Read().status, 200);
  EXPECT_EQ(b.Read().status, 200);
  HttpClient refused(port_);
  EXPECT_TRUE(refused.ClosedByServer());
  EXPECT_EQ(kept.Send(GetRequest("/healthz")) ? kept.Read().status : 0, 200) << "the others stay";
}

TEST_P(HttpSide, StoppingFinishesWhatIsInFlightAndClosesTheRest) {
  HttpLimits limits;
  limits.stopGrace = std::chrono::seconds(60);  // the reply below must come well before it
  StartServer(limits);
  HttpClient idle(port_);
  ASSERT_TRUE(idle.Send(GetRequest("/healthz")));
  EXPECT_EQ(idle.Read().status, 200);
  HttpClient busy(port_);
  const std::string request = Recorded();
  ASSERT_TRUE(busy.Send(request.substr(0, request.size() - 10)));  // mid-body
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  server_->Stop();
  EXPECT_TRUE(idle.ClosedByServer()) << "a kept connection that waits is closed";
  ASSERT_TRUE(busy.Send(request.substr(request.size() - 10)));
  const HttpAnswer answer = busy.Read();
  EXPECT_EQ(answer.status, 200) << "the upload in flight is finished";
  EXPECT_TRUE(busy.ClosedByServer());
  runner_.join();
  storeRef_->Close();
  server_.reset();
  EXPECT_FALSE(HttpClient(port_).Connected()) << "no longer accepting";
}

TEST_P(HttpSide, StoppingGivesUpOnAClientThatStalls) {
  HttpLimits limits;
  limits.stopGrace = std::chrono::seconds(1);
  StartServer(limits);
  HttpClient stalled(port_);
  ASSERT_TRUE(stalled.Send(Recorded().substr(0, Recorded().size() / 2)));  // and no more
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  server_->Stop();
  runner_.join();  // returns once the grace has run out, long before the body's own deadline
  store_->Close();
  server_.reset();
  EXPECT_TRUE(stalled.ClosedByServer());
}

TEST_P(HttpSide, WhileTheStoreIsAwayUploadsSayErrorAndPagesSaySo) {
  UnreachableStore unreachable;
  StartServer({}, 1000, std::string(), &unreachable);
  const std::string page = "/r/AAAAAAAAAAAAAAAAAAAAAA";
  const struct {
    const char* what;
    std::string request;
    bool upload;
  } requests[] = {
      {"an upload", Recorded(), true},
      {"a ringtone's page", GetRequest(page), false},
      {"a download", GetRequest(page + "/My_Song.amr"), false},
      {"a delete", "POST " + page + "/delete HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", false},
  };
  for (LimitAnswer limits : {LimitAnswer::Taken, LimitAnswer::Unavailable}) {
    unreachable.limits = limits;  // the limits answered, or not
    for (const auto& r : requests) {
      const HttpAnswer answer = Exchange(port_, r.request);
      EXPECT_EQ(answer.status, 503) << r.what;
      if (r.upload) {
        EXPECT_EQ(answer.body, "error");
        continue;
      }
      EXPECT_NE(answer.body.find("<h1>Temporarily unavailable</h1>"), std::string::npos) << r.what;
      EXPECT_NE(answer.body.find("nothing is lost"), std::string::npos) << r.what;
      ASSERT_TRUE(answer.Header("Retry-After")) << r.what;
    }
  }
  EXPECT_EQ(Exchange(port_, GetRequest("/healthz")).status, 503);
  EXPECT_EQ(Exchange(port_, GetRequest("/index.php?page=support")).status, 200) << "needs no store";
  const HttpAnswer metrics = Exchange(port_, GetRequest("/metrics"));
  EXPECT_NE(metrics.body.find("quavella_uploads_refused_total{reason=\"store\"} 2"), std::string::npos);
  StopServer();  // before the store goes
}

TEST_P(HttpSide, RepliesToHeadHaveNoBodyAndTheLengthOfGet) {
  const std::string installer = folder_ + "/QuavellaPackage.exe";
  { std::ofstream(installer, std::ios::binary) << "MZ installer bytes"; }
  StartServer({}, 1000, installer);
  // On one kept connection: each HEAD, then a GET whose reply must be read from its start.
  HttpClient kept(port_);
  for (const std::string target :
       {"/ringtones/upload2.php", "/r/AAAAAAAAAAAAAAAAAAAAAA/delete", "ftp://host/x",
        "/download/QuavellaPackage.exe", "/nothing/here", "/index.php?page=support"}) {
    const HttpAnswer get = Exchange(port_, GetRequest(target));
    ASSERT_TRUE(kept.Send(GetRequest(target, "", "HEAD"))) << target;
    const HttpAnswer head = kept.Read(true);
    EXPECT_EQ(head.status, get.status) << target;
    ASSERT_TRUE(head.Header("Content-Length")) << target;
    EXPECT_EQ(*head.Header("Content-Length"), std::to_string(get.body.size())) << target;
    ASSERT_TRUE(kept.Send(GetRequest("/healthz"))) << target;
    EXPECT_EQ(kept.Read().raw.substr(0, 15), "HTTP/1.1 200 OK") << "after HEAD " << target;
  }
}

TEST_P(HttpSide, StalledRequestsAreAnswered408AndCountedAsTimeouts) {
  HttpLimits limits;
  limits.headerTimeout = std::chrono::seconds(1);
  limits.progressWindow = std::chrono::seconds(1);
  StartServer(limits);
  const std::string& upload = Recorded();
  const struct { const char* what; std::string sent; const char* body; } stalls[] = {
      {"upload headers that never end", upload.substr(0, upload.find("\r\n\r\n")), "error"},
      {"an upload body that stops short", upload.substr(0, upload.size() - 100), "error"},
      {"a page's headers that never end", "GET /index.php HTTP/1.1\r\nHost: x\r\n", "Request too slow"},
  };
  for (const auto& stall : stalls) {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send(stall.sent));
    const HttpAnswer answer = client.Read();
    EXPECT_EQ(answer.status, 408) << stall.what;
    EXPECT_NE(answer.body.find(stall.body), std::string::npos) << stall.what << ": " << answer.raw;
    EXPECT_TRUE(client.ClosedByServer()) << stall.what;
  }
  EXPECT_NE(LogWith(" 408 ").find("refused=timeout"), std::string::npos) << Log();
  const HttpAnswer metrics = Exchange(port_, GetRequest("/metrics"));
  for (const char* line : {"quavella_uploads_refused_total{reason=\"timeout\"} 2\n",
                           "quavella_uploads_refused_total{reason=\"form\"} 0\n",
                           "quavella_requests_timed_out_total 3\n"})
    EXPECT_NE(metrics.body.find(line), std::string::npos) << line << metrics.body;
}

TEST_P(HttpSide, TransferCodingsOtherThanChunkedAloneCloseTheConnection) {
  StartServer();
  for (const char* coding : {"chunked, gzip", "identity"}) {  // the codings: unit tests
    HttpClient client(port_);
    // The would-be body is a whole request: it must never be answered.
    ASSERT_TRUE(client.Send(std::string("POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\n") +
                            "Transfer-Encoding: " + coding + "\r\n\r\n" + GetRequest("/healthz")));
    EXPECT_EQ(client.Read().status, 400) << coding;
    EXPECT_EQ(client.Read().status, 0) << coding << ": the connection closes, nothing follows";
  }
}

TEST_P(HttpSide, BodiesInFlightShareOneMemoryBudget) {
  const std::string& upload = Recorded();
  const size_t headEnd = upload.find("\r\n\r\n") + 4;
  const size_t bodySize = upload.size() - headEnd;
  HttpLimits limits;
  limits.bodyMemory = 2 * bodySize + bodySize / 2;  // two bodies, not three
  StartServer(limits);
  // Each asks to go on (100 Continue), which comes once its body's memory is promised.
  const std::string asking = upload.substr(0, headEnd - 2) + "Expect: 100-continue\r\n\r\n";
  HttpClient first(port_), second(port_), third(port_);
  for (HttpClient* client : {&first, &second}) {
    ASSERT_TRUE(client->Send(asking));
    for (int tries = 0; tries < 2000 && !client->HasReply(); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(client->Read(false, 0).status, 100);
    ASSERT_TRUE(client->Send(upload.substr(headEnd, bodySize / 2)));  // half of it, for now
  }
  ASSERT_TRUE(third.Send(asking));
  const HttpAnswer refused = third.Read();
  EXPECT_EQ(refused.status, 503) << "no room for a third";
  EXPECT_EQ(refused.body, "error");
  // Nothing already taken is dropped.
  for (HttpClient* client : {&first, &second}) {
    ASSERT_TRUE(client->Send(upload.substr(headEnd + bodySize / 2)));
    EXPECT_EQ(client->Read().status, 200);
  }
  EXPECT_EQ(Exchange(port_, upload).status, 200) << "the memory given back serves the next";
}

TEST_P(HttpSide, WhenEverySlotIsTakenTheLongestWaitingGivesItsUp) {
  HttpLimits limits;
  limits.maxConnections = 3;
  limits.headerTimeout = std::chrono::seconds(60);  // no deadline frees a slot here
  StartServer(limits);
  std::vector<std::unique_ptr<HttpClient>> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(std::make_unique<HttpClient>(port_));
    ASSERT_TRUE(slow.back()->Send("GET /index.php HT"));  // part of a request line, and no more
  }
  const HttpAnswer served = Exchange(port_, GetRequest("/healthz"));
  EXPECT_EQ(served.status, 200) << "a new client is served";
  EXPECT_TRUE(slow.front()->ClosedByServer()) << "the longest waiting left";
  EXPECT_EQ(Exchange(port_, GetRequest("/healthz")).status, 200) << "and again";
}

TEST_P(HttpSide, TokensStayOutOfTheLogAndMetricsOffThePublicAddress) {
  metricsPublic_ = false;
  StartServer();
  const std::string url = Accepted(Recorded());
  const std::string token = url.substr(url.rfind('/') + 1);
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url))).status, 200);
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url) + "/My_Song___You.wav")).status, 200);
  EXPECT_EQ(Exchange(port_, GetRequest("/metrics")).status, 404);
  for (const std::string spelt : {"//r/" + token, "/r//" + token, "/%72/" + token, "/x" + token})
    EXPECT_EQ(Exchange(port_, GetRequest(spelt)).status, 404) << spelt;
  EXPECT_NE(service_->Metrics(false).body.find("quavella_uploads_accepted_total 1"),
            std::string::npos);
  const std::string log = LogWith(" GET /metrics 404 ");
  EXPECT_NE(log.find(" GET /r/" + token.substr(0, 6) + ".../My_Song___You.wav 200 "), std::string::npos)
      << log;
  EXPECT_EQ(log.find(token.substr(0, 7)), std::string::npos) << log;
}

TEST_P(ServiceOverHttp, DownloadCountsShowAtOnceAndProbesDoNotCount) {
  StartServer();
  const std::string url = Accepted(Recorded());
  const std::string file = PathOf(url) + "/My_Song___You.wav";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange(port_, GetRequest(file)).status, 200);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Exchange(port_, GetRequest(file, "Range: bytes=0-1\r\n")).status, 206);
  const std::string three = "<dt>Downloads</dt><dd>3</dd>";
  std::string page;
  for (int tries = 0; tries < 100 && page.find(three) == std::string::npos; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    page = Exchange(port_, GetRequest(PathOf(url))).body;
  }
  EXPECT_NE(page.find(three), std::string::npos) << "written without waiting for another write";
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the probes' turn, if they counted
  EXPECT_NE(Exchange(port_, GetRequest(PathOf(url))).body.find(three), std::string::npos);
}

TEST_P(HttpSide, HostLinesAndVersionsAsHttp11Reads) {
  StartServer();
  const struct { const char* what; std::string request; int status; } rows[] = {
      {"no Host", "GET /healthz HTTP/1.1\r\n\r\n", 400},
      {"two Host lines", "GET /healthz HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
      {"a port past 65535", "GET /healthz HTTP/1.1\r\nHost: x:99999999\r\n\r\n", 400},
      {"HTTP/1.0 needs none", "GET /healthz HTTP/1.0\r\n\r\n", 200},
      {"HTTP/1.9 is read as 1.1", "GET /healthz HTTP/1.9\r\nHost: x\r\n\r\n", 200},
      {"HTTP/2.0", "GET /healthz HTTP/2.0\r\nHost: x\r\n\r\n", 505},
  };
  for (const auto& row : rows) EXPECT_EQ(Exchange(port_, row.request).status, row.status) << row.what;
}

TEST_P(HttpSide, PagesShowTheSongsTitleAndHelpCountsAddresses) {
  StartServer();
  const Upload recorded = Upload::Parse(Recorded());
  const struct { const char* sent; const char* shown; } names[] = {
      {"Beyonc\xC3\xA9_\xE2\x80\x93_D\xC3\xA9j\xC3\xA0_Vu.m4a", "<h1>Beyonc\xC3\xA9 \xE2\x80\x93 D\xC3\xA9j\xC3\xA0 Vu</h1>"},
      {"\xE3\x85\xA4\xE1\x85\x9F\xEF\xBE\xA0.mp3", "<h1>Ringtone</h1>"},  // Hangul fillers alone
  };
  uint32_t seed = 0;
  for (const auto& name : names) {
    Upload u = recorded;
    u.values[UploadSongName] = name.sent;
    u.ringtone = SampleWav(4000, ++seed);  // a new ringtone, not the first sent again
    u.values[UploadFileSize] = std::to_string(u.ringtone.size());
    const HttpAnswer page = Exchange(port_, GetRequest(PathOf(Accepted(u.Request()))));
    EXPECT_NE(page.body.find(name.shown), std::string::npos) << name.sent;
  }
  const std::string help = Exchange(port_, GetRequest("/index.php?page=support")).body;
  EXPECT_NE(help.find("Each Internet address"), std::string::npos);
  EXPECT_EQ(help.find("Each phone number"), std::string::npos);
}

TEST_P(HttpSide, ChunkLinesAndTrailersStopAtTheirLimit) {
  HttpLimits limits;
  limits.progressWindow = std::chrono::seconds(30);  // no deadline answers here
  StartServer(limits);
  const std::string head =
      "POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n";
  const size_t limit = limits.chunkMetaBytes;
  const struct { const char* what; std::string sent; } endless[] = {
      {"a chunk extension", "5;" + std::string(limit - 2, 'e')},
      {"leading zeros", std::string(limit, '0')},
      {"a trailer field", "0\r\nX-Trailer: " + std::string(limit - 14, 't')},
  };
  for (const auto& e : endless) {
    HttpClient client(port_);
    ASSERT_TRUE(client.Send(head + e.sent));
    EXPECT_EQ(client.Read(false, 10).status, 400) << e.what;
    EXPECT_TRUE(client.ClosedByServer(10)) << e.what;
  }
}

TEST_P(HttpSide, OneAddressHoldsNoMoreThanItsShareOfTheBodyMemory) {
  const std::string& upload = Recorded();
  const size_t headEnd = upload.find("\r\n\r\n") + 4;
  const size_t bodySize = upload.size() - headEnd;
  HttpLimits limits;
  limits.bodyMemory = 3 * bodySize;
  limits.bodyMemoryPerAddress = 2 * bodySize;
  StartServer(limits);
  const std::string asking = upload.substr(0, headEnd - 2) + "Expect: 100-continue\r\n\r\n";
  HttpClient first(port_), second(port_), third(port_);
  for (HttpClient* client : {&first, &second}) {
    ASSERT_TRUE(client->Send(asking));
    for (int tries = 0; tries < 2000 && !client->HasReply(); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(client->Read(false, 0).status, 100);  // and sends nothing more
  }
  ASSERT_TRUE(third.Send(asking));
  EXPECT_EQ(third.Read().status, 503) << "past the address's share";
  HttpClient other(port_, "127.0.0.2");
  ASSERT_TRUE(other.Send(upload));
  EXPECT_EQ(other.Read().status, 200) << "another address's upload goes through";
}

TEST_P(HttpSide, SlowBodiesAndUnreadRepliesGiveTheirSlotsUp) {
  const std::string installer = folder_ + "/QuavellaPackage.exe";
  const size_t installerSize = 16 << 20;
  { std::ofstream(installer, std::ios::binary) << std::string(installerSize, 'q'); }
  HttpLimits limits;
  limits.maxConnections = 3;
  limits.headerTimeout = std::chrono::seconds(60);
  limits.progressWindow = std::chrono::seconds(60);  // no deadline frees a slot here
  StartServer(limits, 1000, installer);
  const std::string& upload = Recorded();
  const std::string trickle = upload.substr(0, upload.find("\r\n\r\n") + 10);
  HttpClient slowA(port_), slowB(port_), unread(port_, nullptr, 4096);
  ASSERT_TRUE(slowA.Send(trickle));
  ASSERT_TRUE(slowB.Send(trickle));
  ASSERT_TRUE(unread.Send(GetRequest("/download/QuavellaPackage.exe")));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a second behind the rate
  std::vector<std::unique_ptr<HttpClient>> fresh;  // each keeps its slot
  for (int i = 0; i < 3; ++i) {
    // The reply that is not read falls a second behind once the server's socket buffer has
    // filled: on a busy machine that can take a while, and a client that came too early is
    // turned away and comes again.
    int status = 0;
    for (int tries = 0; tries < 20 && status != 200; ++tries) {
      if (tries > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
      auto client = std::make_unique<HttpClient>(port_);
      if (!client->Send(GetRequest("/healthz"))) continue;
      status = client->Read().status;
      if (status == 200) fresh.push_back(std::move(client));
    }
    EXPECT_EQ(status, 200) << "new client " << i;
  }
  EXPECT_TRUE(slowA.ClosedByServer(5));
  EXPECT_TRUE(slowB.ClosedByServer(5));
  EXPECT_LT(unread.ReadRaw(installerSize + 4096, 5).size(), installerSize) << "cut";
}

TEST_P(HttpSide, TheInstallerGoesOutAtAnyPaceAboveTheRateAndResumes) {
  const std::string installer = folder_ + "/QuavellaPackage.exe";
  std::string bytes(16 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 / 4096);
  { std::ofstream(installer, std::ios::binary) << bytes; }
  HttpLimits limits;
  limits.progressWindow = std::chrono::seconds(1);
  limits.minBytesPerSecond = 256 * 1024;
  StartServer(limits, 1000, installer);
  const std::string path = "/download/QuavellaPackage.exe";
  // 1 MiB every 100 ms: longer than a window in all, never below the rate.
  HttpClient slow(port_, nullptr, 65536);
  ASSERT_TRUE(slow.Send(GetRequest(path)));
  std::string got;
  for (;;) {
    const std::string read = slow.ReadRaw(1 << 20, 5);
    got += read;
    const size_t end = got.find("\r\n\r\n");
    if (read.empty() || (end != std::string::npos && got.size() - end - 4 >= bytes.size())) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const size_t bodyAt = got.find("\r\n\r\n") + 4;
  ASSERT_EQ(got.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(got.size() - bodyAt, bytes.size()) << "whole";
  EXPECT_TRUE(got.compare(bodyAt, std::string::npos, bytes) == 0);
  const size_t tagAt = got.find("ETag: ") + 6;
  const std::string etag = got.substr(tagAt, got.find("\r\n", tagAt) - tagAt);
  ASSERT_FALSE(etag.empty());
  const HttpAnswer rest = Exchange(port_, GetRequest(path, "Range: bytes=10000000-\r\nIf-Range: " + etag + "\r\n"));
  EXPECT_EQ(rest.status, 206);
  EXPECT_EQ(*rest.Header("Content-Range"), "bytes 10000000-" + std::to_string(bytes.size() - 1) + "/" +
                                              std::to_string(bytes.size()));
  EXPECT_TRUE(rest.body == bytes.substr(10000000));
}

// The database stops answering (its processes are stopped): the pages that need no store are
// answered at once, those that need it 503, health says not ready; and all is well again
// once it goes on. Run alone (it stops the server every PostgreSQL test uses).
class HungDatabase : public ServiceOverHttp {
 protected:
  static bool Fixture(const char* action) {
    const char* url = std::getenv("QV_TEST_POSTGRES");
    if (!url) return false;
    const std::string state = std::filesystem::path(url).parent_path().string();
    return std::system(("bash " QV_POSTGRES_FIXTURE " " + std::string(action) + " " + state).c_str()) == 0;
  }
};
INSTANTIATE_TEST_SUITE_P(Shared, HungDatabase, ::testing::Values(StoreKind::Postgres), StoreKindName);

TEST_P(HungDatabase, PagesThatNeedNoStoreDoNotWaitForIt) {
  statementTimeoutMs_ = 4000;
  StartServer();
  const std::string url = Accepted(Recorded());
  auto ready = [&](int status) {
    for (int tries = 0; tries < 200; ++tries) {
      if (Exchange(port_, GetRequest("/healthz")).status == status) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  };
  ASSERT_TRUE(Fixture("freeze"));
  struct Thaw {
    ~Thaw() { Fixture("thaw"); }
  } thaw;
  // More requests that wait on the store than the service has serving threads.
  std::vector<std::unique_ptr<HttpClient>> waiting;
  for (int i = 0; i < 4; ++i) {
    waiting.push_back(std::make_unique<HttpClient>(port_));
    ASSERT_TRUE(waiting.back()->Send(GetRequest(PathOf(url))));
  }
  const HttpAnswer help = Exchange(port_, GetRequest("/index.php?page=support"));
  EXPECT_EQ(help.status, 200);
  for (auto& client : waiting) EXPECT_FALSE(client->HasReply()) << "the page came first";
  EXPECT_TRUE(ready(503)) << "not ready while the database hangs";
  for (auto& client : waiting) EXPECT_EQ(client->Read().status, 503) << "within its deadline";
  ASSERT_TRUE(Fixture("thaw"));
  EXPECT_TRUE(ready(200)) << "ready again by itself";
  EXPECT_EQ(Exchange(port_, GetRequest(PathOf(url))).status, 200);
}

// An upload that reached the database just before it stopped answering is refused; once the
// database goes on, nothing of it is kept (it would hold a number nobody could delete).
TEST_P(HungDatabase, AnUploadRefusedWhileTheDatabaseHangsIsNotKept) {
  std::string error;
  ASSERT_TRUE(place_->Open(store_, limiter_, error, 1000, 1500)) << error;
  RingtoneRecord warm;
  warm.token = "AAAAAAAAAAAAAAAAAAAAAA";
  warm.expiresAt = INT64_MAX / 2;
  warm.phoneNumber = "5551234567";
  warm.bytes = SampleWav(400);
  std::promise<StoreStatus> first;
  store_->Add(warm, [&](StoreStatus status) { first.set_value(status); });
  ASSERT_EQ(first.get_future().get(), StoreStatus::Ok);
  ASSERT_TRUE(Fixture("freeze"));
  struct Thaw {
    ~Thaw() { Fixture("thaw"); }
  } thaw;
  RingtoneRecord refused = warm;
  refused.token = "BBBBBBBBBBBBBBBBBBBBBB";
  std::promise<StoreStatus> second;
  store_->Add(refused, [&](StoreStatus status) { second.set_value(status); });
  EXPECT_EQ(second.get_future().get(), StoreStatus::Unavailable);
  ASSERT_TRUE(Fixture("thaw"));
  std::this_thread::sleep_for(std::chrono::seconds(3));  // what the database still had runs
  RingtoneRecord found;
  GoneReason why;
  StoreStatus status = StoreStatus::Unavailable;
  for (int tries = 0; tries < 100 && status == StoreStatus::Unavailable; ++tries) {
    status = store_->Find(refused.token, 0, false, found, why);
    if (status == StoreStatus::Unavailable) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(status, StoreStatus::NotFound);
  store_->Close();
}

}  // namespace
