// The HTTP/1.1 side of the service, on Boost.Beast: accepts connections within their bounds,
// reads each request within the header and body limits and deadlines, hands it to the
// handler, writes the reply, keeps the connection for the next request, and stops cleanly.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "service/web_exchange.h"

struct HttpLimits {
  int threads = 2;                    // event loops, one thread each; connections spread over them
  // When full, the connection furthest behind is closed: the longest waiting for its request,
  // or a body or reply that has fallen behind the minimum rate.
  size_t maxConnections = 1024;
  size_t connectionsPerAddress = 64;  // not applied when the addresses come from a proxy
  uint32_t headerBytes = 8192;        // request line and headers together
  uint64_t bodyBytes = 1024 * 1024;   // past it: 413, and nothing more is read
  // The bodies being read share this much memory (a body is promised its Content-Length, or
  // bodyBytes when chunked): a body that would pass it is answered 503 at once.
  uint64_t bodyMemory = 64 * 1024 * 1024;
  // No client address (an IPv6 /64 counts as one) is promised more of it than this: past it,
  // its body is answered 503 as above while other addresses' bodies go through.
  uint64_t bodyMemoryPerAddress = 4 * 1024 * 1024;
  // An unfinished chunk-size line (with its extensions) or trailer section of a chunked body:
  // past this many bytes, 400 and the connection closes. Extensions are never kept.
  uint32_t chunkMetaBytes = 8192;
  std::chrono::seconds headerTimeout{10};  // for a request's line and headers
  std::chrono::seconds idleTimeout{15};    // for the next request on a kept connection
  // Bodies and replies keep moving: in every window a body being read, or a reply being
  // written, moves at least minBytesPerSecond a second (or ends); else a body is answered 408
  // and a reply is cut. A connection that falls more than a second behind that rate may
  // also give its slot up when every slot is taken.
  std::chrono::seconds progressWindow{10};
  uint64_t minBytesPerSecond = 1024;
  std::chrono::seconds stopGrace{10};      // for the requests in flight when stopping
  bool trustForwardedFor = false;  // the client's address is the last of X-Forwarded-For
};

class HttpServer {
 public:
  using Reply = std::function<void(WebReply)>;
  // Answers a whole request by calling the reply function once, from any thread.
  using Handler = std::function<void(WebRequest, Reply)>;
  // The reply to a request that was not read whole (413, 431, 408, 400, 505 for an HTTP
  // version past 1, or 503 when the bodies' memory is spoken for) to `target`.
  using Refuser = std::function<WebReply(int status, const std::string& target)>;
  // Told of every reply written: its log line and the seconds from the whole request to the
  // whole reply.
  using Observer = std::function<void(const std::string& logLine, double seconds)>;

  HttpServer(HttpLimits limits, Handler handler, Refuser refuser, Observer observer);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and listens on an IPv4 or IPv6 address ("0.0.0.0", "127.0.0.1", "::", "localhost");
  // port 0 takes a free one. False with `error` when that fails.
  bool Listen(const std::string& host, uint16_t port, std::string& error);
  uint16_t Port() const;

  // Calls `task` now and then every `period` while the server runs, on one of its threads.
  void Every(std::chrono::seconds period, std::function<void()> task);
  // SIGTERM and SIGINT stop the server (see Stop).
  void StopOnSignals();

  // Serves on the limits' threads until stopped; returns when every connection has closed, or
  // when the stop's grace has run out.
  void Run();
  // Stops accepting, closes the connections that wait for a request, lets the requests in
  // flight finish and closes their connections after the reply. Any thread.
  void Stop();

  struct Impl;  // the Beast side, out of this header

 private:
  std::shared_ptr<Impl> impl_;
};
