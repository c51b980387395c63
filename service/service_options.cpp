#include "service/service_options.h"

#include <cstdlib>
#include <string_view>

namespace {

bool ReadCount(std::string_view text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  value = std::strtoll(std::string(text).c_str(), nullptr, 10);
  return value >= low && value <= high;
}

bool ReadListen(std::string_view text, std::string& host, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view name = text.substr(0, colon);
  if (name.front() == '[') {
    if (name.size() < 3 || name.back() != ']') return false;
    name = name.substr(1, name.size() - 2);
  } else if (name.find(':') != std::string_view::npos) {
    return false;  // an IPv6 address needs its brackets
  }
  int64_t value = 0;
  if (!ReadCount(text.substr(colon + 1), 0, 65535, value)) return false;
  host.assign(name);
  port = static_cast<uint16_t>(value);
  return true;
}

bool ReadUrl(std::string_view text, std::string& url) {
  const size_t scheme = text.find("://");
  if (scheme == std::string_view::npos ||
      (text.substr(0, scheme) != "http" && text.substr(0, scheme) != "https"))
    return false;
  const size_t host = scheme + 3;
  if (host >= text.size() || text[host] == '/' ||
      text.find_first_of("?# \t\"<>", host) != std::string_view::npos)
    return false;
  while (text.size() > host && text.back() == '/') text.remove_suffix(1);
  url.assign(text);
  return true;
}

}  // namespace

std::string LocalUrl(const std::string& host, uint16_t port) {
  // Every address is reached through the loopback one.
  const std::string& reach = host == "0.0.0.0" ? std::string("127.0.0.1") : host == "::" ? std::string("::1") : host;
  const bool v6 = reach.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + reach + "]" : reach) + ":" + std::to_string(port);
}

bool ParseServiceOptions(int argc, const char* const* argv, ServiceOptions& options,
                         std::string& error) {
  bool haveListen = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view value;
    bool inlineValue = false;
    const size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      inlineValue = true;
    }
    auto next = [&](std::string_view& out) {
      if (inlineValue) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = std::string(arg) + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto count = [&](int64_t low, int64_t high, int64_t& out) {
      std::string_view text;
      if (!next(text)) return false;
      if (ReadCount(text, low, high, out)) return true;
      error = std::string(arg) + " takes a whole number from " + std::to_string(low) + " to " +
              std::to_string(high);
      return false;
    };
    int64_t number = 0;
    std::string_view text;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return true;
    } else if (arg == "--listen") {
      if (!next(text)) return false;
      if (!ReadListen(text, options.listenHost, options.listenPort)) {
        error = "--listen takes ADDRESS:PORT, e.g. 0.0.0.0:80, 127.0.0.1:0 or [::]:80";
        return false;
      }
      haveListen = true;
    } else if (arg == "--metrics-listen") {
      if (!next(text)) return false;
      if (!ReadListen(text, options.metricsHost, options.metricsPort)) {
        error = "--metrics-listen takes ADDRESS:PORT, e.g. 127.0.0.1:9100";
        return false;
      }
    } else if (arg == "--body-memory") {
      if (!count(2, 65536, number)) return false;
      options.bodyMemoryMiB = static_cast<int>(number);
    } else if (arg == "--data") {
      if (!next(text)) return false;
      if (text.empty()) {
        error = "--data needs a folder";
        return false;
      }
      options.dataFolder.assign(text);
    } else if (arg == "--database") {
      if (!next(text)) return false;
      if (text.rfind("postgresql://", 0) != 0 && text.rfind("postgres://", 0) != 0) {
        error = "--database takes a PostgreSQL connection URI, e.g. "
                "postgresql://quavella@db.example.com/quavella";
        return false;
      }
      options.databaseUrl.assign(text);
    } else if (arg == "--database-connections") {
      if (!count(2, 1000, number)) return false;
      options.databaseConnections = static_cast<int>(number);
    } else if (arg == "--statement-timeout") {
      if (!count(1, 3600, number)) return false;
      options.statementTimeout = static_cast<int>(number);
    } else if (arg == "--public-url") {
      if (!next(text)) return false;
      if (!ReadUrl(text, options.publicUrl)) {
        error = "--public-url takes an http:// or https:// address without query, e.g. "
                "http://ringtones.example.com";
        return false;
      }
    } else if (arg == "--installer") {
      if (!next(text)) return false;
      options.installer.assign(text);
    } else if (arg == "--ready-file") {
      if (!next(text)) return false;
      options.readyFile.assign(text);
    } else if (arg == "--retention-days") {
      if (!count(1, 3650, number)) return false;
      options.retentionDays = static_cast<int>(number);
    } else if (arg == "--uploads-per-hour") {
      if (!count(1, 100000000, number)) return false;
      options.uploadsPerHour = static_cast<uint32_t>(number);
    } else if (arg == "--max-connections") {
      if (!count(1, 100000, number)) return false;
      options.maxConnections = static_cast<int>(number);
    } else if (arg == "--connections-per-address") {
      if (!count(1, 100000, number)) return false;
      options.connectionsPerAddress = static_cast<int>(number);
    } else if (arg == "--threads") {
      if (!count(1, 256, number)) return false;
      options.threads = static_cast<int>(number);
    } else if (arg == "--trust-forwarded-for" && !inlineValue) {
      options.trustForwardedFor = true;
    } else {
      error = "unknown option " + std::string(argv[i]);
      return false;
    }
  }
  if (!haveListen) {
    error = "--listen ADDRESS:PORT is required";
    return false;
  }
  if (options.dataFolder.empty() == options.databaseUrl.empty()) {
    error = options.dataFolder.empty() ? "--data FOLDER or --database URL is required"
                                       : "--data and --database name two stores: give one";
    return false;
  }
  const std::string& host = options.listenHost;
  if (options.publicUrl.empty() && (host == "0.0.0.0" || host == "::")) {
    error = "--public-url is required when the service listens on every address";
    return false;
  }
  return true;
}

std::string ServiceUsage() {
  return
      "Usage: quavella-service --listen ADDRESS:PORT --data FOLDER --public-url URL\n"
      "                        [--installer FILE] [--retention-days N] [--uploads-per-hour N]\n"
      "                        [options]\n"
      "       quavella-service --listen ADDRESS:PORT --database URL --public-url URL ...\n"
      "\n"
      "The Quavella ringtone service: takes the ringtones Quavella uploads, keeps them, and\n"
      "serves each on a page of its own for the phone to fetch.\n"
      "\n"
      "  --listen ADDRESS:PORT      where to take connections: 0.0.0.0:80, 127.0.0.1:8080,\n"
      "                             [::]:80; port 0 takes a free port\n"
      "  --data FOLDER              the embedded store (created when missing); one service\n"
      "                             per folder\n"
      "  --database URL             instead of --data: PostgreSQL, which any number of nodes\n"
      "                             share (postgresql://user@host/dbname, libpq's form)\n"
      "  --database-connections N   connections to it at most (8)\n"
      "  --statement-timeout S      seconds a database statement may take (5)\n"
      "  --public-url URL           base of every address handed out, as phones reach the\n"
      "                             service (http://ringtones.example.com); may be left out\n"
      "                             when listening on one address, which it then names\n"
      "  --installer FILE           served at /download/QuavellaPackage.exe\n"
      "  --retention-days N         days a ringtone and its phone number are kept (30)\n"
      "  --uploads-per-hour N       uploads per client address (20; with --database, for all\n"
      "                             the nodes together)\n"
      "  --max-connections N        open connections at most (1024); when all are taken, the\n"
      "                             one waiting longest for its request is closed\n"
      "  --connections-per-address N  open connections per client address (64)\n"
      "  --body-memory MIB          memory for the request bodies being read, together (64);\n"
      "                             a body past it is answered 503\n"
      "  --metrics-listen ADDRESS:PORT  serve /metrics there (and no longer on --listen)\n"
      "  --trust-forwarded-for      behind a reverse proxy: the client's address is the last\n"
      "                             one of X-Forwarded-For (and connections are not counted\n"
      "                             per address)\n"
      "  --threads N                threads serving requests (one per processor, at least 2)\n"
      "  --ready-file FILE          once serving, write the service's address there\n"
      "  --help                     this text\n"
      "\n"
      "Requests are bounded: 8 KiB of headers, 1 MiB of body (then 413), 10 s for a request's\n"
      "headers and 60 s for a body (then 408), 15 s for the next request on a kept\n"
      "connection, 30 s for a reply. SIGTERM stops accepting, finishes the requests in flight (10 s at most) and\n"
      "closes the store. One line per request goes to standard output.\n";
}
