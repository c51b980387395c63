// quavella-service: the web service at the other end of Quavella's uploads.
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "service/http_server.h"
#include "service/postgres_store.h"
#include "service/rate_limiter.h"
#include "service/ringtone_service.h"
#include "service/service_metrics.h"
#include "service/service_options.h"
#include "service/sqlite_store.h"

namespace {

// Expired ringtones are removed this often (and once at start).
constexpr std::chrono::seconds SweepPeriod{600};

int64_t WallMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// One write per line, so that lines from several threads never mix.
void WriteLine(int fd, const std::string& line) {
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void Say(const std::string& text) { WriteLine(2, "quavella-service: " + text + "\n"); }

bool WriteReadyFile(const std::string& path, const std::string& url) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << url << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed log pipe or socket is an error, not the end
  ServiceOptions options;
  std::string error;
  if (!ParseServiceOptions(argc, argv, options, error)) {
    Say(error + " (see --help)");
    return 2;
  }
  if (options.help) {
    std::fputs(ServiceUsage().c_str(), stdout);
    return 0;
  }
  if (!options.installer.empty() && access(options.installer.c_str(), R_OK) != 0) {
    Say(options.installer + ": the installer cannot be read");
    return 2;
  }

  PhoneCatalog catalog;
  if (!catalog.Load(CatalogueText, CatalogueTextSize)) {
    Say("the built-in catalogue cannot be read");
    return 1;
  }
  std::unique_ptr<RingtoneStore> store;
  std::unique_ptr<UploadLimiter> limiter;
  std::string storeName;
  if (!options.databaseUrl.empty()) {
    PostgresSettings database;
    database.url = options.databaseUrl;
    database.connections = options.databaseConnections;
    database.statementTimeout = std::chrono::seconds(options.statementTimeout);
    database.uploadsPerHour = options.uploadsPerHour;
    PostgresStore opened;
    if (!OpenPostgresStore(database, Say, opened, error)) {
      Say(error);
      return 1;
    }
    store = std::move(opened.store);
    limiter = std::move(opened.limiter);
    storeName = "ringtones in PostgreSQL";  // the URL may hold a password
  } else {
    store = OpenSqliteStore(options.dataFolder, error);
    if (!store) {
      Say(error);
      return 1;
    }
    uint64_t salt = 0;
    if (getrandom(&salt, sizeof salt, 0) != static_cast<ssize_t>(sizeof salt)) salt = WallMilliseconds();
    limiter = std::make_unique<RateLimiter>(options.uploadsPerHour, salt);
    storeName = "data in " + options.dataFolder;
  }

  ServiceMetrics metrics;
  ServiceSettings settings;
  settings.retentionDays = options.retentionDays;
  settings.uploadsPerHour = options.uploadsPerHour;
  settings.installerPath = options.installer;
  settings.metricsPublic = options.metricsHost.empty();
  if (!options.databaseUrl.empty()) {
    // Each call that waits on the database holds a connection: threads enough for all of
    // them and as many again that find none free and answer 503 after their wait.
    settings.storeThreads = 2 * options.databaseConnections;
    settings.storeWait = std::chrono::seconds(options.statementTimeout);
  }

  // The service needs the public address, which may name the port the server gets; the
  // server needs the service's handlers. The handlers are reached through this pointer.
  std::unique_ptr<RingtoneService> service;
  HttpLimits limits;
  limits.maxConnections = static_cast<size_t>(options.maxConnections);
  limits.connectionsPerAddress = static_cast<size_t>(options.connectionsPerAddress);
  limits.trustForwardedFor = options.trustForwardedFor;
  limits.bodyMemory = static_cast<uint64_t>(options.bodyMemoryMiB) * 1024 * 1024;
  // A sixteenth of the bodies' memory for one client address, and room for one body at least.
  limits.bodyMemoryPerAddress = std::max<uint64_t>(limits.bodyMemory / 16, limits.bodyBytes);
  const unsigned processors = std::thread::hardware_concurrency();
  limits.threads = options.threads > 0 ? options.threads : static_cast<int>(processors > 2 ? processors : 2);
  HttpServer server(
      limits,
      [&service](WebRequest request, HttpServer::Reply reply) {
        service->Handle(std::move(request), std::move(reply));
      },
      [&service](int status, const std::string& target) { return service->Refusal(status, target); },
      [&metrics](const std::string& line, double seconds) {
        metrics.RequestServed(seconds);
        WriteLine(1, line);
      });
  if (!server.Listen(options.listenHost, options.listenPort, error)) {
    Say(error);
    store->Close();
    return 1;
  }
  // /metrics on an address of its own, one thread, never counted with the public requests.
  std::unique_ptr<HttpServer> metricsServer;
  if (!options.metricsHost.empty()) {
    HttpLimits metricsLimits;
    metricsLimits.threads = 1;
    metricsLimits.maxConnections = 16;
    metricsServer = std::make_unique<HttpServer>(
        metricsLimits,
        [&service](WebRequest request, HttpServer::Reply reply) {
          const bool read = request.method == "GET" || request.method == "HEAD";
          const std::string path = request.target.substr(0, request.target.find('?'));
          WebReply answer;
          if (read && path == "/metrics") {
            answer = service->Metrics(request.method == "HEAD");
          } else {
            answer.status = 404;
            answer.body = "not found\n";
            answer.Set("Content-Type", "text/plain; charset=utf-8");
          }
          reply(std::move(answer));
        },
        [](int status, const std::string&) {
          WebReply refused;
          refused.status = status;
          return refused;
        },
        [](const std::string&, double) {});
    if (!metricsServer->Listen(options.metricsHost, options.metricsPort, error)) {
      Say("--metrics-listen " + error);
      store->Close();
      return 1;
    }
  }
  settings.publicUrl = options.publicUrl.empty() ? LocalUrl(options.listenHost, server.Port())
                                                 : options.publicUrl;
  service = std::make_unique<RingtoneService>(settings, catalog, *store, *limiter, metrics,
                                              WallMilliseconds);
  server.Every(SweepPeriod, [&service] {
    service->Sweep([](StoreStatus status) {
      if (status != StoreStatus::Ok) Say("the expiry sweep failed; it runs again later");
    });
  });
  server.StopOnSignals();
  if (!options.readyFile.empty() &&
      !WriteReadyFile(options.readyFile, LocalUrl(options.listenHost, server.Port()))) {
    Say(options.readyFile + ": cannot be written");
    store->Close();
    return 1;
  }
  Say("serving " + settings.publicUrl + " on " + LocalUrl(options.listenHost, server.Port()) +
      ", " + storeName);
  std::thread metricsThread;
  if (metricsServer) {
    Say("metrics on " + LocalUrl(options.metricsHost, metricsServer->Port()) + "/metrics");
    metricsThread = std::thread([&metricsServer] { metricsServer->Run(); });
  }
  server.Run();
  if (metricsServer) {
    metricsServer->Stop();
    metricsThread.join();
  }
  service.reset();  // its store calls finish before the store closes
  store->Close();
  Say("stopped");
  return 0;
}
